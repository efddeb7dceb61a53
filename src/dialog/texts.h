#pragma once
// The texts the converter shows in more than one place. Every other message is written where
// it is shown; tests compare all of them word for word.

/// The caption of every message the converter shows about a job.
constexpr const char* kConverterCaption = "TGA to AVI Converter";

/// The line the status shows before the first conversion.
constexpr const char* kStatusNotice = "Choose frames, then Convert";

// Texts of the Convert command that a console reads back as well as shows: the command line
// follows the passes by the status line and tells repeated frames by their messages.

/// The status line while a pass writes frame n: "Saving Video Frame 12", "Saving Matte Frame 12".
constexpr char kVideoFrameStatus[] = "Saving Video Frame %d";
constexpr char kMatteFrameStatus[] = "Saving Matte Frame %d";

/// Asked (Yes/No) before an existing AVI file is written over.
constexpr const char* kOverwriteQuestion = "AVI file exists, overwrite?";

/// Said when both passes have ended.
constexpr const char* kFileCreated = "AVI File Created";

/// Said at a frame's turn when the frame cannot be used; the previous frame stands in for it.
constexpr char kFrameOpenError[] = "Error on opening %s";
constexpr char kFrameReadError[] = "Error on reading %s";
constexpr char kFrameSizeDiffers[] =
    "Frame size differs from the first frame: %s (%d x %d, expected %d x %d)";
