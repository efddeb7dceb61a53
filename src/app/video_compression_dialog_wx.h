#pragma once
// The real compressor choice: AVISaveOptions shows a modal "Video Compression" dialog listing
// the catalogue by name and code, with a quality slider for the compressors that have one.
// Declared without the toolkit; the application creates one once wxWidgets runs:
//
//   WxVideoCompressionChooser chooser;  // AVISaveOptions asks the user from now on

#include "platform/vfw/compressor_chooser.h"

class WxVideoCompressionChooser final : public CompressorChooser {
 public:
  /// Installs itself as the compressor chooser for as long as it lives.
  WxVideoCompressionChooser() : m_previous(SetCompressorChooser(this)) {}
  ~WxVideoCompressionChooser() override { SetCompressorChooser(m_previous); }
  WxVideoCompressionChooser(const WxVideoCompressionChooser&) = delete;
  WxVideoCompressionChooser& operator=(const WxVideoCompressionChooser&) = delete;

  /// Shows the dialog without an owner window, on the window's thread whichever thread asks:
  /// OK gives 1 and the choice, Cancel 0.
  int ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) override;

 private:
  CompressorChooser* m_previous;
};
