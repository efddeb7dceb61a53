#include "platform/user/key_state.h"

namespace {
KeyStateBackend* g_backend = nullptr;
}  // namespace

KeyStateBackend* SetKeyStateBackend(KeyStateBackend* backend) {
  KeyStateBackend* previous = g_backend;
  g_backend = backend;
  return previous;
}

SHORT GetAsyncKeyState(int vKey) { return g_backend ? g_backend->Poll(vKey) : SHORT{0}; }
