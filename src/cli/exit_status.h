#pragma once
// The command line's exit statuses, as --help and the README list them.

/// Both files written with every frame.
constexpr int kExitConverted = 0;
/// Anything failed, or a frame was repeated in place of one that could not be used.
constexpr int kExitFailed = 1;
/// The options asked for something the program cannot do: an unknown option, a missing file
/// name, a compressor that is not listed, a quality for a compressor without one.
constexpr int kExitUsage = 2;
/// Stopped by the user or the system: SIGINT (Ctrl-C), SIGTERM, SIGHUP or SIGXCPU, as 128 + SIGINT.
constexpr int kExitStopped = 130;
