#pragma once
// The Escape key as the window sees it: a press since the last poll, kept by the input gate.

#include "platform/user/key_state.h"

class WxKeyState final : public KeyStateBackend {
 public:
  /// Installs itself as the key-state backend for as long as it lives.
  WxKeyState() : m_previous(SetKeyStateBackend(this)) {}
  ~WxKeyState() override { SetKeyStateBackend(m_previous); }
  WxKeyState(const WxKeyState&) = delete;
  WxKeyState& operator=(const WxKeyState&) = delete;

  /// Dispatches what is pending first, so the window repaints and a fresh press is seen. Only
  /// the "pressed since the last poll" bit is reported: whether the key is down at this very
  /// moment is left out, because a press that dismissed one of the job's message boxes may
  /// still be held and must not stop the job (and Wayland does not say).
  SHORT Poll(int vKey) override;

 private:
  KeyStateBackend* m_previous;
};
