#pragma once
// The working state of one Convert command. The job creates it for one click and hands it to
// each output pass, which is why it lives with the pass that reads it.

#include <array>
#include <string>
#include <vector>

#include "dialog/job_events.h"
#include "frames/frame_look.h"
#include "frames/frame_rate.h"
#include "platform/vfw/vfw.h"
#include "sequence/sequence_name.h"

/// What one pass left on disk, for the check of the written files after both passes.
struct WrittenFile {
  CString file;           ///< the AVI file the pass wrote into; empty when it wrote none
  long long frames = 0;   ///< frames handed to the file
  bool told = false;      ///< a write error about this file was shown; it is not checked again
  bool finished = false;  ///< every frame of the range was written
  PassEnd end = PassEnd::kNotStarted;  ///< how the pass ended
  std::string reason;                  ///< why it failed, when it did
  /// The first and the last frame written, as they were handed over; kept only for a lossless
  /// compressor, whose file must give them back exactly.
  std::vector<BYTE> firstFrame;
  std::vector<BYTE> lastFrame;
};

struct ConversionJob {
  SequenceName first;  ///< the first file's parts; its number is the first frame number
  SequenceName last;   ///< the last file's parts; its number is the last frame number
  int digitWidth = 0;  ///< one width for every frame name of the run (the first file's)
  int width = 0;       ///< the first frame's columns
  int height = 0;      ///< the first frame's rows
  FrameRate rate;      ///< both files' frames per second
  RateSource rateSource = RateSource::kSize;
  FrameLook look;         ///< how the colour pass makes its frames
  int frameByteSize = 0;  ///< width * height * 4
  bool abort = false;     ///< set by Escape or a failed frame write
  int pass = 0;           ///< 0: the video pass, 1: the matte pass
  AVISTREAMINFOA streamInfo{};
  BITMAPINFOHEADER bitmapHeader{};
  AVICOMPRESSOPTIONS options{};
  // A std::array rather than a C array: clang-tidy 14 takes the copy loop the compiler writes
  // for a C array of class type for a reserved identifier of ours.
  std::array<WrittenFile, 2> written;  ///< per pass, what it wrote
};
