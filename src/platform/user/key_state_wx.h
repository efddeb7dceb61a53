#pragma once
// The Escape key as the window sees it while a job runs on a thread of its own: the window tells
// each press, and the job's polls take it, from any thread and without waiting.

#include <atomic>
#include <memory>

#include "platform/user/key_state.h"

class WxKeyState final : public KeyStateBackend {
 public:
  /// Installs itself as the key-state backend for as long as it lives. Create it on the window's
  /// thread once the toolkit runs.
  WxKeyState();
  ~WxKeyState() override;
  WxKeyState(const WxKeyState&) = delete;
  WxKeyState& operator=(const WxKeyState&) = delete;

  /// Escape was pressed in the busy window (window's thread): the next poll reports it. Until
  /// the key is released its repeats reach no window, since the key that stopped a job is
  /// usually still down when the job's last message appears, and must neither dismiss it nor
  /// close the window afterwards.
  void PressEscape();
  /// Forgets a press no poll has taken yet, so that it cannot stop the next job.
  void ForgetEscape();

  /// Only the "pressed since the last poll" bit is reported: whether the key is down at this
  /// very moment is left out, because a press that dismissed one of the job's message boxes may
  /// still be held and must not stop the job (and Wayland does not say).
  SHORT Poll(int vKey) override;

 private:
  class HeldEscape;

  KeyStateBackend* m_previous;
  std::atomic<bool> m_escapePressed{false};
  std::unique_ptr<HeldEscape> m_held;
};
