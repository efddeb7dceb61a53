#include "tests/support/scripted_user.h"

#include "dialog/resource.h"

namespace testing_support {

ScriptedUser::ScriptedUser() : m_previousKeys(SetKeyStateBackend(this)) {}

ScriptedUser::~ScriptedUser() { SetKeyStateBackend(m_previousKeys); }

std::vector<std::string> ScriptedUser::Texts() const {
  std::vector<std::string> texts;
  for (const RecordedBox& box : boxes) texts.push_back(box.text);
  return texts;
}

std::vector<std::string> ScriptedUser::Statuses() const {
  std::vector<std::string> statuses;
  for (const std::string& line : log) {
    if (line.rfind("status:", 0) == 0) statuses.push_back(line.substr(7));
  }
  return statuses;
}

int ScriptedUser::MessageBox(const CString& text, const CString& caption, UINT style) {
  boxes.push_back({text.str(), caption.str(), style});
  log.push_back("box:" + text.str());
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

CString ScriptedUser::GetControlText(int id) { return CString(controls[id]); }

void ScriptedUser::SetControlText(int id, const CString& text) {
  ++controlWrites;
  if (id == IDC_STATUS && controls[id] != text.str()) log.push_back("status:" + text.str());
  controls[id] = text.str();
}

void ScriptedUser::BeginWaitCursor() {
  ++waitCursor;
  if (waitCursor > maxWaitCursor) maxWaitCursor = waitCursor;
  log.emplace_back("cursor:on");
}

void ScriptedUser::EndWaitCursor() {
  --waitCursor;
  log.emplace_back("cursor:off");
}

SHORT ScriptedUser::Poll(int vKey) {
  if (vKey != VK_ESCAPE) return 0;
  ++escapePolls;
  return (m_escapeAtPoll > 0 && escapePolls >= m_escapeAtPoll) ? SHORT{1} : SHORT{0};
}

}  // namespace testing_support
