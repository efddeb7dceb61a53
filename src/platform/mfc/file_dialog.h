#pragma once
// The file dialog: a path chosen by the user, in the open or the save style, with a filter in
// the "Description|*.ext||" form and a default extension.

#include <string>
#include <utility>
#include <vector>

#include "platform/mfc/cstring.h"
#include "platform/mfc/win_types.h"

class CWnd;

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

class CFileDialog {
 public:
  /// bOpenFileDialog TRUE: pick an existing file; FALSE: pick a name to write (it may be new).
  /// lpszDefExt ("avi", no dot) is added to a name the user typed without an extension.
  CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
              DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
              CWnd* pParentWnd = nullptr);

  /// Runs the dialog modally: IDOK when the user chose a path, IDCANCEL otherwise.
  int DoModal();
  /// The full path chosen, with the default extension added where the Save style asks for it.
  CString GetPathName() const { return m_pathName; }

  bool IsOpenStyle() const { return m_bOpen; }
  DWORD Flags() const { return m_dwFlags; }
  const CString& DefaultExtension() const { return m_defExt; }
  const CString& InitialFileName() const { return m_fileName; }
  /// The filter's entries as (description, pattern) pairs:
  /// "Video Files (*.avi)|*.avi||" gives {("Video Files (*.avi)", "*.avi")}.
  const std::vector<std::pair<std::string, std::string>>& Filters() const { return m_filters; }

 private:
  bool m_bOpen;
  CString m_defExt;
  CString m_fileName;
  DWORD m_dwFlags;
  std::vector<std::pair<std::string, std::string>> m_filters;
  CString m_pathName;
};

/// Parses a filter "Graphic Files (*.tga)|*.tga||": pairs of description and pattern separated by
/// '|', ended by "||" (or by the end of the text). An unpaired description is dropped.
std::vector<std::pair<std::string, std::string>> ParseFileFilter(LPCSTR filter);

/// path with "." + ext added when its file-name part has no '.': ("/v.d/movie", "avi") gives
/// "/v.d/movie.avi"; "/v/movie.mov" stays as it is, and so does a path ending in a separator.
std::string AddDefaultExtension(const std::string& path, const std::string& ext);

/// Where file dialogs are shown: the window (wx) or a test's script.
class FileDialogBackend {
 public:
  virtual ~FileDialogBackend() = default;
  /// Shows dialog modally. On IDOK, *path is the full path the user chose, as typed or picked.
  virtual int Run(const CFileDialog& dialog, std::string* path) = 0;
};

/// Installs backend for every later DoModal (not owned) and returns the previous one. With no
/// backend every file dialog is cancelled.
FileDialogBackend* SetFileDialogBackend(FileDialogBackend* backend);
