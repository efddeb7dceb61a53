#include "platform/mfc/file_dialog.h"

namespace {
FileDialogBackend* g_backend = nullptr;
}  // namespace

std::vector<std::pair<std::string, std::string>> ParseFileFilter(LPCSTR filter) {
  std::vector<std::pair<std::string, std::string>> entries;
  if (!filter) return entries;
  std::vector<std::string> parts;
  std::string text(filter);
  std::string::size_type start = 0;
  while (start <= text.size()) {
    const std::string::size_type bar = text.find('|', start);
    const std::string part = text.substr(start, bar == std::string::npos ? bar : bar - start);
    // An empty part is the "||" that ends the filter.
    if (part.empty()) break;
    parts.push_back(part);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
    entries.emplace_back(parts[i], parts[i + 1]);
  return entries;
}

std::string AddDefaultExtension(const std::string& path, const std::string& ext) {
  const std::string::size_type slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (ext.empty() || name.empty() || name.find('.') != std::string::npos) return path;
  return path + "." + ext;
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName,
                         DWORD dwFlags, LPCSTR lpszFilter, CWnd* /*pParentWnd*/)
    : m_bOpen(bOpenFileDialog != FALSE),
      m_defExt(lpszDefExt),
      m_fileName(lpszFileName),
      m_dwFlags(dwFlags),
      m_filters(ParseFileFilter(lpszFilter)) {}

int CFileDialog::DoModal() {
  std::string path;
  if (!g_backend || g_backend->Run(*this, &path) != IDOK || path.empty()) return IDCANCEL;
  // An open dialog returns a file that exists; only a name typed for saving may lack the
  // extension the caller expects.
  m_pathName = m_bOpen ? path : AddDefaultExtension(path, m_defExt.str());
  return IDOK;
}

FileDialogBackend* SetFileDialogBackend(FileDialogBackend* backend) {
  FileDialogBackend* previous = g_backend;
  g_backend = backend;
  return previous;
}
