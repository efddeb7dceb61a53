#include "platform/mfc/window_thread_wx.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <exception>
#include <future>

void RunOnWindowThread(const std::function<void()>& work) {
  if (wxThread::IsMain()) {
    work();
    return;
  }
  std::promise<void> done;
  // The caller waits below, so the work and the promise outlive the call.
  wxTheApp->CallAfter([&work, &done] {
    try {
      work();
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  done.get_future().get();
}
