#pragma once
// The command line's options, parsed by CLI11: a conversion (first and last frame, output file,
// compressor, quality), or the list of compressors, help or version.
//
//   tga2avi --first shot0001.tga --last shot0240.tga --output shot.avi --compressor ffv1

#include <cstdint>
#include <optional>
#include <string>

#include "dialog/job_settings.h"
#include "media/compressor_catalogue.h"

/// What the options ask for.
struct CommandLine {
  std::string first;   ///< the first frame file: shot0001.tga
  std::string last;    ///< the last frame file: shot0240.tga; "" to take the run's last
  std::string output;  ///< the colour file, the matte beside it; "" to take the run's name
  /// The compressor chosen by --compressor, or Full Frames; one of AvailableCompressors().
  const CompressorInfo* compressor = nullptr;
  /// The quality: --quality Q as the compressor dialog's slider gives it
  /// (Q * 100), or kDefaultQuality without --quality.
  std::uint32_t quality = kDefaultQuality;
  bool overwrite = false;        ///< an existing output is written over without a question
  JobSettings settings;          ///< --rate, --fill, --transfer
  bool json = false;             ///< a JSON object on standard output at the end
  bool listCompressors = false;  ///< list the compressors instead of converting
  /// --label: every message line names the shot, by this text or, when it is "", by the
  /// colour file's name: "tga2avi: sh010.avi: <text>".
  std::optional<std::string> label;
};

/// How the options were taken: either options to act on (exitStatus < 0), or an exit status
/// with what to print first (help and version on standard output, a usage error on standard
/// error).
struct ParsedCommandLine {
  CommandLine options;
  int exitStatus = -1;
  std::string out;
  std::string err;
};

/// Parses argv[1..argc). Help and version give status 0; an option the program cannot act on
/// gives kExitUsage with a "tga2avi: " line saying why.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

/// The available compressor that text names, matched without regard to case against its
/// FourCC (trailing spaces left out: "dib") or its name: "ffv1", "Ut Video" and "ULRA" name
/// compressors; null when none matches.
const CompressorInfo* MatchCompressor(const std::string& text);

/// The FourCC as --list-compressors shows it: "FFV1", "DIB" (no trailing spaces).
std::string ShownFourCC(FourCC fourcc);

/// --list-compressors: one line per available compressor in the dialog's order, FourCC, name,
/// lossless or lossy, keeps alpha or not, the quality range where there is one, "grey matte"
/// where the matte is coded grey, and who reads the files:
/// "FFV1  FFV1  lossless  keeps alpha  grey matte  read by FFmpeg-based players (...)".
std::string CompressorListText();
