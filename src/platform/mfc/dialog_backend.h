#pragma once
// The seam between a dialog and whatever shows it: the one interface through which the
// dialog's logic reaches its window. The window supplies one backend (wx), the tests another (a
// scripted user), the console a third; the conversion logic cannot tell them apart.

#include "platform/mfc/cstring.h"
#include "platform/mfc/win_types.h"

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

  /// The window's icons, set when the dialog starts; the desktop shows them in the title bar,
  /// the task switcher and for the minimised window. bBigIcon TRUE for the large one. A
  /// backend without a window (the console, most tests) has none.
  virtual void SetIcon(HICON /*icon*/, BOOL /*bBigIcon*/) {}
};
