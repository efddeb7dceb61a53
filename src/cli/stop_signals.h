#pragma once
// Ctrl-C, SIGTERM, SIGHUP and SIGXCPU on the command line: they do what Escape does in the
// window. The handler only sets a flag; the conversion polls it as the Escape key (ConsoleUser),
// stops the pass at the next frame, finishes the file and skips the matte pass. A second SIGINT
// or SIGTERM ends the program at once, killed by that signal.

/// While one lives, those signals set the stop flag instead of ending the program; the
/// handlers that were there before come back when it goes.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  /// True once one of the signals came (or Request was called) since the flag was cleared.
  static bool Requested();
  /// Sets the flag as the signals do.
  static void Request();
  /// Clears the flag.
  static void Clear();
};
