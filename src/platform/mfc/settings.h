#pragma once
// The few choices the window remembers from one run to the next (the last folder browsed, the
// last compressor and quality), each a short text under a name, kept in the user's configuration
// folder: $XDG_CONFIG_HOME/tga2avi/settings.ini, or ~/.config/tga2avi/settings.ini. Declared
// without the toolkit; wxWidgets' file configuration keeps them (settings_wx.cpp). Only the
// window's thread calls these.

#include <string>

/// The text last saved under name, or "" when there is none.
std::string LoadSetting(const std::string& name);

/// Keeps value under name for this run and the next; a configuration folder that cannot be
/// written only loses the setting.
void SaveSetting(const std::string& name, const std::string& value);
