#include "platform/user/icon_wx.h"

#include <wx/iconbndl.h>
#include <wx/image.h>

#include <map>
#include <memory>

struct IconImage {
  wxIconBundle bundle;
};

namespace {
std::map<UINT, std::unique_ptr<IconImage>>& Loaded() {
  static std::map<UINT, std::unique_ptr<IconImage>> loaded;
  return loaded;
}
}  // namespace

bool LoadIconFiles(UINT id, const std::vector<std::string>& files) {
  auto icon = std::make_unique<IconImage>();
  for (const std::string& file : files) {
    wxImage image;
    if (!image.LoadFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG)) continue;
    wxIcon single;
    single.CopyFromBitmap(wxBitmap(image));
    icon->bundle.AddIcon(single);
  }
  if (icon->bundle.IsEmpty()) return false;
  RegisterIcon(id, icon.get());
  Loaded()[id] = std::move(icon);
  return true;
}

void UnloadIcons() {
  for (const auto& entry : Loaded()) RegisterIcon(entry.first, nullptr);
  Loaded().clear();
}

const wxIconBundle& IconBundle(HICON icon) { return icon->bundle; }
