#pragma once
// What the converter dialog's own handlers ask of the window that shows it: its icons and the
// painting of its minimised picture. The wx window provides it; tests script it.

#include "platform/mfc/win_types.h"
#include "platform/user/icon.h"

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

struct ClientRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  /// WM_SETICON: bBigIcon TRUE for the large (task switcher) icon, FALSE for the title bar's.
  virtual void SetIcon(HICON icon, BOOL bBigIcon) = 0;
  virtual BOOL IsIconic() = 0;
  virtual ClientRect GetClientRect() = 0;
  /// SM_CXICON or SM_CYICON: the size of a large icon.
  virtual int GetSystemMetrics(int index) = 0;
  /// Paints the window as the toolkit would by itself.
  virtual void DefaultPaint() = 0;
  /// Erases the background of the minimised window and draws icon at (x, y) of the client area.
  virtual void DrawIcon(int x, int y, HICON icon) = 0;
};

/// Installs window for the dialog's handlers (not owned) and returns the previous one. With none,
/// the handlers that need a window do nothing.
DialogWindow* SetDialogWindow(DialogWindow* window);
DialogWindow* GetDialogWindow();

/// Where an icon of iconSize is drawn to centre it in clientSize, by the platform's rounding:
/// (clientSize - iconSize + 1) / 2, truncated toward zero. 36 and 32 give 2; 30 and 32 give 0.
constexpr int CentredIconOffset(int clientSize, int iconSize) {
  return (clientSize - iconSize + 1) / 2;
}
