#pragma once
// A user who follows a script: message boxes are recorded and answered from a queue, control
// texts live in a map, the wait cursor is a counter and Escape is pressed at a chosen poll.
// Attach it to a dialog; while it lives it is also the keyboard the conversion polls.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/mfc/dialog.h"
#include "platform/user/key_state.h"

namespace testing_support {

struct RecordedBox {
  std::string text;
  std::string caption;
  unsigned style = 0;
};

class ScriptedUser : public DialogBackend, public KeyStateBackend {
 public:
  ScriptedUser();
  ~ScriptedUser() override;
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  /// Makes this user the one dlg talks to.
  void Attach(CDialog& dlg) { dlg.SetBackend(this); }

  // Message boxes: every box shown, in order. Answers are taken from the queue; when it is
  // empty an OK box is answered IDOK and a Yes/No box IDYES.
  std::vector<RecordedBox> boxes;
  std::deque<int> answers;
  std::vector<std::string> Texts() const;

  // Controls, by identifier; every SetControlText is also counted.
  std::map<int, std::string> controls;
  int controlWrites = 0;

  // The wait cursor: begins minus ends, and the most it ever was.
  int waitCursor = 0;
  int maxWaitCursor = 0;

  /// Escape is seen at the k-th poll (1-based) and every poll after it; 0 never.
  void PressEscapeAtPoll(int k) { m_escapeAtPoll = k; }
  int escapePolls = 0;

  /// Everything the user saw, in order: "box:<text>", "cursor:on", "cursor:off",
  /// "status:<text>". Other scripted parts may add their own lines.
  std::vector<std::string> log;
  /// The status texts of the log, in order ("status:" lines without their prefix).
  std::vector<std::string> Statuses() const;

  int MessageBox(const CString& text, const CString& caption, UINT style) override;
  CString GetControlText(int id) override;
  void SetControlText(int id, const CString& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  SHORT Poll(int vKey) override;

 private:
  KeyStateBackend* m_previousKeys;
  int m_escapeAtPoll = 0;
};

}  // namespace testing_support
