#pragma once
// The seam between a dialog and whatever shows it: the one interface through which the
// dialog's logic reaches its window. The window supplies one backend (wx), the tests another (a
// scripted user), the console a third; the conversion logic cannot tell them apart.

#include "platform/mfc/cstring.h"
#include "platform/mfc/win_types.h"

/// GetSystemMetrics indices: the width and height of a large icon.
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

/// A window's client area in pixels; left and top are 0.
struct ClientRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;

  /// Shows text modally under the caption with the buttons and icon of style (MB_OK, MB_YESNO,
  /// MB_ICONEXCLAMATION, MB_TOPMOST) and returns the button pressed (IDOK, IDYES, IDNO).
  virtual int MessageBox(const CString& text, const CString& caption, UINT style) = 0;

  /// The text of the control with identifier id; setting it shows the new text at once.
  virtual CString GetControlText(int id) = 0;
  virtual void SetControlText(int id, const CString& text) = 0;

  /// The application's busy cursor. Calls nest: the cursor shows while begins outnumber ends.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // The window itself, for the dialog's start and its painting. A backend without a window
  // (the console, most tests) keeps these: no icon, never minimised, nothing to paint.

  /// bBigIcon TRUE for the large (task switcher) icon, FALSE for the title bar's.
  virtual void SetIcon(HICON /*icon*/, BOOL /*bBigIcon*/) {}
  virtual BOOL IsIconic() { return FALSE; }
  virtual ClientRect GetClientRect() { return {}; }
  /// SM_CXICON or SM_CYICON: the size of a large icon.
  virtual int GetSystemMetrics(int /*index*/) { return 32; }
  /// Lets the window paint itself as it would with no handler.
  virtual void DefaultPaint() {}
  /// Erases the background of the minimised window and draws icon at (x, y) of the client area.
  virtual void DrawIcon(int /*x*/, int /*y*/, HICON /*icon*/) {}
};
