#pragma once
// Keeps two conversions from writing the same output file at once: an advisory lock (flock) on
// "<output>.lock" beside the output, which holds the locking process's id for the one refused.
// The lock goes with the process that holds it, so a run that crashed leaves at most a stale
// file that blocks nobody; the next run takes it over.

#include <string>

class OutputLock {
 public:
  enum class State {
    kHeld,         ///< this job holds the output
    kBusy,         ///< another conversion holds it
    kUnavailable,  ///< no lock could be made (a folder that cannot be written); the writing
                   ///< itself then says what is wrong
  };

  /// Locks output, named as the user gave it; links and relative names of one file meet at
  /// the same lock.
  explicit OutputLock(const std::string& output);
  /// Removes the lock file (when it is ours) and lets the lock go.
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

  State state() const { return m_state; }
  /// When busy, the process id the holder wrote; 0 when it has not written it yet.
  long Holder() const { return m_holder; }

 private:
  std::string m_path;  // the lock file
  int m_fd = -1;
  bool m_ours = false;  // the file holds our process id and goes when the lock does
  State m_state = State::kUnavailable;
  long m_holder = 0;
};
