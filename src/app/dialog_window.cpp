#include "app/dialog_window.h"

namespace {
DialogWindow* g_window = nullptr;
}  // namespace

DialogWindow* SetDialogWindow(DialogWindow* window) {
  DialogWindow* previous = g_window;
  g_window = window;
  return previous;
}

DialogWindow* GetDialogWindow() { return g_window; }
