#pragma once
// The icons the window loads from its resource files, behind the handles of icon.h.

#include <string>
#include <vector>

#include "platform/user/icon.h"

class wxIconBundle;

/// Loads the images of icon id, one file per size (PNG), and registers them so that
/// LoadIconA(id) finds them. False when no file loads.
bool LoadIconFiles(UINT id, const std::vector<std::string>& files);

/// Unregisters and frees every loaded icon; call before the toolkit shuts down.
void UnloadIcons();

/// The images behind a loaded icon handle (not null).
const wxIconBundle& IconBundle(HICON icon);
