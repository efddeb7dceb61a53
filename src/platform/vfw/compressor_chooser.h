#pragma once
// The seam behind AVISaveOptions: whoever asks the user for a compressor. The application
// installs the "Video Compression" dialog (video_compression_dialog_wx.h); tests install a
// scripted chooser. With none installed, no compressor is ever chosen.

#include "platform/mfc/win_types.h"

/// What the chooser is asked about: the stream's frame size and the choice so far.
struct CompressorRequest {
  int width = 0;
  int height = 0;
  FOURCC fourcc = 0;  ///< the options' fccHandler as passed in (0: none yet)
  DWORD quality = 0;  ///< the options' dwQuality as passed in (kDefaultQuality: default)
};

/// The user's answer: a catalogue code and a quality (0..10000, or kDefaultQuality).
struct CompressorChoice {
  FOURCC fourcc = 0;
  DWORD quality = 0;
};

class CompressorChooser {
 public:
  virtual ~CompressorChooser() = default;
  /// Asks modally. Returns 1 with *choice filled when the user accepts, 0 when they cancel
  /// (any other value also counts as no choice).
  virtual int ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) = 0;
};

/// Installs chooser for every later AVISaveOptions (not owned) and returns the previous one.
CompressorChooser* SetCompressorChooser(CompressorChooser* chooser);

/// The chooser now installed, or null.
CompressorChooser* GetCompressorChooser();
