#include "platform/mfc/cstring.h"

#include <cstdarg>
#include <cstdio>

CString CString::Left(int n) const {
  if (n <= 0) return CString();
  return CString(m_str.substr(0, static_cast<std::size_t>(n)));
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    m_str.clear();
    return;
  }
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, again);
  va_end(again);
  out.resize(static_cast<std::size_t>(length));
  m_str = std::move(out);
}
