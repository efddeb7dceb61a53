#include "platform/user/key_state_wx.h"

#include "platform/mfc/input_gate.h"

SHORT WxKeyState::Poll(int vKey) {
  if (vKey != VK_ESCAPE) return 0;
  input_gate::DispatchPending();
  return input_gate::TakeEscapePress() ? SHORT{1} : SHORT{0};
}
