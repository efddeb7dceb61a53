#pragma once
// The pieces of the Convert command that stand on their own: the first frame's geometry and
// rate, and the matte file's name.

#include <cstddef>
#include <optional>
#include <string>

#include "dialog/job_events.h"
#include "frames/frame_rate.h"
#include "platform/mfc/cstring.h"
#include "platform/mfc/win_types.h"

/// What the first frame decides for the whole job.
struct FrameGeometry {
  int width = 0;
  int height = 0;
  FrameRate rate;         ///< 30000/1001 for frames at most 500 rows high, 25 otherwise
  int frameByteSize = 0;  ///< width * height * 4
};

/// The geometry of a first frame of columns x rows, or nothing when it is empty or one frame
/// buffer (columns * rows * 4 bytes) would not fit a signed 32-bit count: 720 x 486 gives
/// 29.97 and 1,399,680 bytes; 32768 x 16384 gives nothing.
std::optional<FrameGeometry> MakeFrameGeometry(std::size_t columns, std::size_t rows);

/// The rate of both files and where it came from: the chosen one, else the one the first
/// frame's header declares, else the geometry's.
struct JobRate {
  FrameRate rate;
  RateSource source = RateSource::kSize;
};
JobRate ChooseRate(const std::optional<FrameRate>& chosen, const std::optional<FrameRate>& header,
                   const FrameGeometry& geometry);

/// The matte file beside an output file. A name ending in a three-character extension has
/// those three characters replaced: "D:\clips\shot.avi" gives "D:\clips\shot.matte.avi",
/// "clip.mov" gives "clip.matte.avi". Any other name keeps all of itself: "edit_v2" gives
/// "edit_v2.matte.avi", "out/ab" gives "out/ab.matte.avi".
CString MatteFileName(const CString& aviFile);

/// Whether the output's name ends in ".avi" (in any case); the file is an AVI file either way.
bool EndsInAvi(const std::string& aviFile);
