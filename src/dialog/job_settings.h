#pragma once
// What a Convert command is asked to do beyond the three file names: the rate of both files and
// how the colour is made from the frames. The window's choices and the command line's options
// set it in the dialog; the job only reads it.

#include <optional>

#include "frames/frame_look.h"
#include "frames/frame_rate.h"

struct JobSettings {
  /// The rate of both files; nothing: the rate the first frame's header declares, else the one
  /// its height gives (RateSource in job_events.h says which was used).
  std::optional<FrameRate> rate;
  FrameLook look;  ///< linear light and the fill convention of the colour file
};
