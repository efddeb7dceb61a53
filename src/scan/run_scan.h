#pragma once
// A run of frame files looked over before anything is converted: which frames of the range
// exist, the size each one declares, and what the Convert command would refuse. Names are
// checked for existence and headers read for sizes; no frame is decoded, so a run of 10,000
// frames is looked over in a fraction of a second. Also what one file of a run suggests for the
// other fields: the run's last file and an AVI name.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_buffer.h"
#include "sequence/sequence_name.h"

/// How many frame numbers a scan lists of each kind; the rest are only counted.
constexpr std::size_t kListedFrames = 5;

/// A frame of the run whose header declares another size than the first frame's.
struct SizedFrame {
  int number = 0;
  FrameSize size;
};

struct RunScan {
  /// The check that would stop the Convert command before any frame is read, in that check's
  /// own words ("Failed to open Last TGA file"); empty when every check passes. When it is set,
  /// nothing below it was looked at.
  std::string problem;
  SequenceName first;          ///< the first file's parts
  int digitWidth = 0;          ///< the width every frame name of the run is built with
  long long frameCount = 0;    ///< frames in the range, first and last included
  long long missingCount = 0;  ///< frames of the range whose file does not exist
  std::vector<int> missing;    ///< the first kListedFrames of them, in order
  /// The first frame's size as its header declares it; nothing when that cannot be read.
  std::optional<FrameSize> firstSize;
  long long otherSizeCount = 0;        ///< frames that declare another size than the first
  std::vector<SizedFrame> otherSizes;  ///< the first kListedFrames of them
  long long unreadableCount = 0;       ///< frames that exist but declare no size we can read
  std::vector<int> unreadable;         ///< the first kListedFrames of them
  /// The scan was given up because cancelled() said so; the counts are incomplete.
  bool cancelled = false;
};

/// Looks over the run from firstFile to lastFile as the Convert command would take it: the two
/// files must open, SequenceProblem must pass, then every frame name of the range is checked.
/// cancelled, when given, is asked between frames; a true answer ends the scan at once.
/// shot0001.tga .. shot0006.tga without shot0004.tga gives 6 frames, 1 missing: 4.
RunScan ScanRun(const std::string& firstFile, const std::string& lastFile,
                const std::function<bool()>& cancelled = {});

/// The highest-numbered file in firstFile's folder that belongs to its run (same root, digit
/// width and extension: the file FrameFileName gives for its number), or "" when firstFile has
/// no frame number or its folder cannot be listed. shot0001.tga beside shot0240.tga and
/// shot00241.tga gives shot0240.tga.
std::string LastFileOfRun(const std::string& firstFile);

/// The AVI file suggested for the run of firstFile: its root in the same folder, with trailing
/// '_', '-' and '.' dropped, and ".avi": "/clips/shot_0001.tga" gives "/clips/shot.avi". ""
/// when nothing of the root is left ("0001.tga").
std::string SuggestedAviFile(const std::string& firstFile);
