#pragma once
// The window's services called from a job thread. The toolkit may only be used on the thread
// that runs the window's event loop; a job runs on a thread of its own, so each service it calls
// is handed to the window's thread and waited for there, while that thread goes on painting and
// handling input. Declared without the toolkit.

#include <functional>

/// Runs work on the window's thread and returns when it has run; an exception it throws is
/// thrown here. On the window's thread itself, work runs at once.
void RunOnWindowThread(const std::function<void()>& work);

/// RunOnWindowThread for work that returns a value:
///   const CString text = OnWindowThread([&] { return ReadControl(id); });
template <typename Work>
auto OnWindowThread(const Work& work) {
  decltype(work()) result{};
  RunOnWindowThread([&] { result = work(); });
  return result;
}
