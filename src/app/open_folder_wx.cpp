#include "app/open_folder_wx.h"

#include <gio/gio.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

wxIMPLEMENT_DYNAMIC_CLASS(OpenFolderButton, wxButton);

namespace {

struct GFreeDeleter {
  void operator()(gchar* text) const { g_free(text); }
};
struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;

// Takes the error a GLib call left in *slot, or a general reason when it left none.
std::string Reason(GError*& slot) {
  const std::unique_ptr<GError, GErrorDeleter> error(slot);
  slot = nullptr;
  return error && error->message ? error->message : "unknown error";
}

}  // namespace

void OpenFolderButton::ShowFor(const std::string& file) {
  std::error_code failed;
  std::filesystem::path path = std::filesystem::absolute(file, failed);
  if (failed) path = file;
  m_folder = path.lexically_normal().parent_path().string();
  Show();
}

std::string OpenInFileManager(const std::string& folder) {
  GError* error = nullptr;
  const GText uri(g_filename_to_uri(folder.c_str(), nullptr, &error));
  if (!uri) return Reason(error);
  // Looks the handler up and starts it; neither waits for the file manager to do anything.
  if (!g_app_info_launch_default_for_uri(uri.get(), nullptr, &error)) return Reason(error);
  return "";
}
