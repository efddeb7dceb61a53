#include "platform/user/icon.h"

#include <map>

namespace {
std::map<UINT, HICON>& Icons() {
  static std::map<UINT, HICON> icons;
  return icons;
}
}  // namespace

void RegisterIcon(UINT id, HICON icon) { Icons()[id] = icon; }

HICON LoadIconA(UINT id) {
  const auto found = Icons().find(id);
  return found == Icons().end() ? nullptr : found->second;
}
