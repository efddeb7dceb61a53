#pragma once
// The keyboard state a long job polls between frames.

#include "platform/mfc/win_types.h"

constexpr int VK_ESCAPE = 0x1B;

/// Where key states come from: the window (wx) or a test's script.
class KeyStateBackend {
 public:
  virtual ~KeyStateBackend() = default;
  /// The key's state as GetAsyncKeyState reports it: bit 0x8000 while the key is down, bit 1
  /// when it has been pressed since the previous poll; 0 when neither.
  virtual SHORT Poll(int vKey) = 0;
};

/// Installs backend for every later poll (not owned) and returns the previous one. With no
/// backend no key is ever down.
KeyStateBackend* SetKeyStateBackend(KeyStateBackend* backend);

/// Non-zero when vKey is down now or was pressed since the last poll: GetAsyncKeyState(VK_ESCAPE).
SHORT GetAsyncKeyState(int vKey);
