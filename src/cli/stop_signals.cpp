#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void OnStopSignal(int /*signal*/) { g_stopRequested.store(true); }

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Reads and waits go on after the signal; the conversion sees the flag at its next poll.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
}

bool StopSignals::Requested() { return g_stopRequested.load(); }

void StopSignals::Request() { g_stopRequested.store(true); }

void StopSignals::Clear() { g_stopRequested.store(false); }
