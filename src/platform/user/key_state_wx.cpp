#include "platform/user/key_state_wx.h"

#include <wx/event.h>
#include <wx/eventfilter.h>

// Keeps the presses of a held Escape from every window of the program, until the key goes up.
class WxKeyState::HeldEscape final : public wxEventFilter {
 public:
  HeldEscape() { wxEvtHandler::AddFilter(this); }
  ~HeldEscape() override { wxEvtHandler::RemoveFilter(this); }
  HeldEscape(const HeldEscape&) = delete;
  HeldEscape& operator=(const HeldEscape&) = delete;

  int FilterEvent(wxEvent& event) override {
    if (!held) return Event_Skip;
    const wxEventType type = event.GetEventType();
    const bool key = type == wxEVT_CHAR_HOOK || type == wxEVT_KEY_DOWN || type == wxEVT_CHAR ||
                     type == wxEVT_KEY_UP;
    if (!key || static_cast<wxKeyEvent&>(event).GetKeyCode() != WXK_ESCAPE) return Event_Skip;
    if (type == wxEVT_KEY_UP) {
      held = false;
      return Event_Skip;
    }
    // Processed: neither our windows nor the toolkit's own widgets see it.
    return Event_Processed;
  }

  bool held = false;  // used on the window's thread only
};

WxKeyState::WxKeyState()
    : m_previous(SetKeyStateBackend(this)), m_held(std::make_unique<HeldEscape>()) {}

WxKeyState::~WxKeyState() { SetKeyStateBackend(m_previous); }

void WxKeyState::PressEscape() {
  m_escapePressed = true;
  m_held->held = true;
}

void WxKeyState::ForgetEscape() { m_escapePressed = false; }

SHORT WxKeyState::Poll(int vKey) {
  if (vKey != VK_ESCAPE) return 0;
  return m_escapePressed.exchange(false) ? SHORT{1} : SHORT{0};
}
