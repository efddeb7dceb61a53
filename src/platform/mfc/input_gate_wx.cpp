#include "platform/mfc/input_gate.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/eventfilter.h>
#include <wx/toplevel.h>
#include <wx/window.h>

namespace input_gate {
namespace {

bool IsUserInput(wxEventType type) {
  static const wxEventType kInput[] = {
      wxEVT_CHAR_HOOK,    wxEVT_KEY_DOWN,      wxEVT_KEY_UP,       wxEVT_CHAR,
      wxEVT_LEFT_DOWN,    wxEVT_LEFT_UP,       wxEVT_LEFT_DCLICK,  wxEVT_MIDDLE_DOWN,
      wxEVT_MIDDLE_UP,    wxEVT_MIDDLE_DCLICK, wxEVT_RIGHT_DOWN,   wxEVT_RIGHT_UP,
      wxEVT_RIGHT_DCLICK, wxEVT_AUX1_DOWN,     wxEVT_AUX1_UP,      wxEVT_AUX2_DOWN,
      wxEVT_AUX2_UP,      wxEVT_MOUSEWHEEL,    wxEVT_CONTEXT_MENU, wxEVT_BUTTON,
      wxEVT_CLOSE_WINDOW, wxEVT_MENU,
  };
  for (const wxEventType input : kInput) {
    if (type == input) return true;
  }
  return false;
}

bool IsEscape(const wxEvent& event, wxEventType type) {
  return type == event.GetEventType() &&
         static_cast<const wxKeyEvent&>(event).GetKeyCode() == WXK_ESCAPE;
}

class Gate final : public wxEventFilter {
 public:
  int FilterEvent(wxEvent& event) override {
    if (!m_main) return Event_Skip;
    const wxEventType type = event.GetEventType();
    if (IsEscape(event, wxEVT_KEY_UP)) m_escapeHeld = false;
    if (!IsUserInput(type)) return Event_Skip;
    const bool escapeDown = IsEscape(event, wxEVT_CHAR_HOOK) || IsEscape(event, wxEVT_KEY_DOWN);
    // The key that stopped a job may still be down and repeating: it must neither dismiss the
    // message the job ends with nor close the window afterwards. A fresh press after its
    // release does both as usual.
    if (escapeDown && m_escapeHeld) return Event_Processed;
    if (!ForMainWindow(event)) return Event_Skip;
    if (running) {
      if (escapeDown) {
        escapePressed = true;
        m_escapeHeld = true;
      }
      // Processed: neither the window nor the toolkit's own widget sees it.
      return Event_Processed;
    }
    return Event_Skip;
  }

  void SetMain(wxWindow* main) {
    m_main = main;
    m_escapeHeld = false;
  }

  bool installed = false;
  bool running = false;
  bool escapePressed = false;

 private:
  bool ForMainWindow(const wxEvent& event) const {
    auto* window = wxDynamicCast(event.GetEventObject(), wxWindow);
    return window && wxGetTopLevelParent(window) == m_main;
  }

  wxWindow* m_main = nullptr;
  bool m_escapeHeld = false;
};

Gate& TheGate() {
  static Gate gate;
  return gate;
}

}  // namespace

void Install(wxWindow* mainWindow) {
  Gate& gate = TheGate();
  if (!gate.installed) {
    wxEvtHandler::AddFilter(&gate);
    gate.installed = true;
  }
  gate.SetMain(mainWindow);
}

void Uninstall() {
  Gate& gate = TheGate();
  if (gate.installed) {
    wxEvtHandler::RemoveFilter(&gate);
    gate.installed = false;
  }
  gate.SetMain(nullptr);
}

JobScope::JobScope() : m_entered(!TheGate().running) {
  if (!m_entered) return;
  TheGate().running = true;
  TheGate().escapePressed = false;
}

JobScope::~JobScope() {
  if (!m_entered) return;
  // What the user typed or clicked while the job ran was meant for a busy window: drop it now
  // rather than let the window act on it afterwards.
  DispatchPending();
  TheGate().running = false;
  TheGate().escapePressed = false;
}

bool JobRunning() { return TheGate().running; }

void DispatchPending() {
  if (wxTheApp) wxTheApp->Yield(true);
}

bool TakeEscapePress() {
  const bool pressed = TheGate().escapePressed;
  TheGate().escapePressed = false;
  return pressed;
}

}  // namespace input_gate
