#pragma once
// Icon handles. The window registers the icons it loaded from its resources; the conversion
// logic only carries the handle.

#include "platform/mfc/win_types.h"

/// Makes icon the one LoadIconA(id) returns (not owned; it must outlive its users).
void RegisterIcon(UINT id, HICON icon);

/// The icon registered under id, or null when there is none (as in the tests).
HICON LoadIconA(UINT id);
