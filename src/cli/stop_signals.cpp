#include "cli/stop_signals.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <iterator>

namespace {

std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

// SIGHUP (the terminal went) and SIGXCPU (the CPU time limit) would otherwise end the program
// with its file unfinished.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU};
struct sigaction g_previous[std::size(kStopSignals)]{};
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

void OnStopSignal(int number) {
  g_stopRequested.store(true);
  // A second Ctrl-C or SIGTERM means now: the default action, which ends the program. SIGHUP
  // and SIGXCPU (sent again each second past the soft limit) only ask once more.
  if ((number == SIGINT || number == SIGTERM) && g_interrupts.fetch_add(1) > 0) {
    ::signal(number, SIG_DFL);
    ::raise(number);
  }
}

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a call that waits (an open, a read) returns with EINTR, so nothing holds the
  // program past the signal; the conversion sees the flag at its next poll.
  action.sa_flags = 0;
  g_interrupts.store(0);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], &action, &g_previous[i]);
  }
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], &g_previous[i], nullptr);
  }
}

bool StopSignals::Requested() { return g_stopRequested.load(); }

void StopSignals::Request() { g_stopRequested.store(true); }

void StopSignals::Clear() { g_stopRequested.store(false); }
