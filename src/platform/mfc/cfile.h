#pragma once
// The framework's file object, as far as the conversion job uses it: prove that a file can be
// opened for reading, and ask whether an entry of a given name exists.

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/mfc/win_types.h"

struct CFileStatus {
  std::time_t m_mtime = 0;
  std::uint64_t m_size = 0;
  bool m_bDirectory = false;
  std::string m_szFullName;
};

class CFileException {
 public:
  int m_cause = 0;  // 0: none; otherwise the errno of the failed call
  std::string m_strFileName;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareDenyWrite = 0x0020,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
  };

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();

  /// Opens a file by name: Open("shot0001.tga", modeRead | shareDenyWrite | modeNoTruncate).
  /// Only reading is supported. Returns FALSE, filling *error when given, for a missing or
  /// unreadable file, an empty name, or a directory (which the desktop platform never opens
  /// as a file). Sharing flags have no effect here: Linux has no mandatory share locks.
  BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }

  /// TRUE when an entry of that name exists (a file or a directory), with its details.
  static BOOL GetStatus(LPCSTR fileName, CFileStatus& status);

 private:
  int m_fd = -1;
};
