#pragma once
// The pieces of the Convert command that stand on their own: the first frame's geometry and
// rate, and the matte file's name.

#include <cstddef>
#include <optional>

#include "platform/mfc/cstring.h"
#include "platform/mfc/win_types.h"

/// What the first frame decides for the whole job.
struct FrameGeometry {
  int width = 0;
  int height = 0;
  float rate = 0.0F;      ///< 29.97 for frames at most 500 rows high, 25 otherwise
  int frameByteSize = 0;  ///< width * height * 4
};

/// The geometry of a first frame of columns x rows, or nothing when it is empty or one frame
/// buffer (columns * rows * 4 bytes) would not fit a signed 32-bit count: 720 x 486 gives
/// 29.97 and 1,399,680 bytes; 32768 x 16384 gives nothing.
std::optional<FrameGeometry> MakeFrameGeometry(std::size_t columns, std::size_t rows);

/// The matte file beside an output file: the last three bytes give way to "matte.avi", so
/// "D:\clips\shot.avi" gives "D:\clips\shot.matte.avi" and "clip" gives "cmatte.avi". The cut
/// stops at the last path separator: "out/ab" gives "out/matte.avi".
CString MatteFileName(const CString& aviFile);
