#pragma once
// FFmpeg's own log lines. The converter tells the user what matters in its own words (a message
// box in the window, a "tga2avi: " line on the command line); the libraries' lines, such as
// swscale's "deprecated pixel format used" for Motion JPEG or an encoder's settings, are not
// for the user.

/// From now on FFmpeg's libraries write nothing to standard error, whatever log level is set
/// later. Call before the first file is written.
void SilenceLibraryLog();
