#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <cstdlib>

#include "platform/mfc/settings.h"

namespace {

wxString SettingsFile() {
  wxString folder;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // XDG_CONFIG_HOME counts only when it is an absolute path; otherwise ~/.config is used.
  if (xdg && xdg[0] == '/') {
    folder = wxString::FromUTF8(xdg);
  } else {
    folder = wxGetHomeDir() + "/.config";
  }
  return folder + "/tga2avi/settings.ini";
}

}  // namespace

std::string LoadSetting(const std::string& name) {
  const wxString file = SettingsFile();
  if (!wxFileName::FileExists(file)) return "";
  wxFileConfig config("tga2avi", "", file, "", wxCONFIG_USE_LOCAL_FILE);
  wxString value;
  if (!config.Read(wxString::FromUTF8(name), &value)) return "";
  const wxScopedCharBuffer utf8 = value.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

void SaveSetting(const std::string& name, const std::string& value) {
  const wxString file = SettingsFile();
  wxFileName::Mkdir(wxFileName(file).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  wxFileConfig config("tga2avi", "", file, "", wxCONFIG_USE_LOCAL_FILE);
  config.Write(wxString::FromUTF8(name), wxString::FromUTF8(value));
  config.Flush();
}
