#pragma once
// The command line: `tga2avi` with options runs the window's Convert command on console
// backends (console_user.h), without the toolkit and without a display.

/// Runs the command line for argv and returns the exit status (exit_status.h): --help,
/// --version, --list-compressors, or a conversion. Messages and progress go to standard
/// error, help, lists and the --json report to standard output.
int RunCommandLine(int argc, const char* const* argv);

/// Opens /dev/null in each of descriptors 0, 1 and 2 that is closed, so that no file the program
/// opens later takes one of them and receives its messages. Called first thing in main.
void OpenStandardDescriptors();
