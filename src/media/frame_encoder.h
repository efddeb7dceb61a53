#pragma once
// The frame encoder: one compressor at work for one stream. It takes 32-bit frames as the AVI
// writer receives them (blue, green, red, alpha; rows bottom-up or top-down) and hands out the
// encoded packets. The tests reach it only through the writer (avi_writer.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/compressor_catalogue.h"
#include "media/ffmpeg_owners.h"

struct AVCodecParameters;

namespace media_detail {

/// Receives each encoded packet, its timestamps in the encoder's time base (scale / rate).
/// Returns 0, or a negative FFmpeg error that stops the encoding.
using PacketSink = std::function<int(AVPacket* packet)>;

struct EncoderSettings {
  const CompressorInfo* compressor = nullptr;
  int width = 0;
  int height = 0;           ///< rows, always positive
  bool bottomUp = true;     ///< the first row in memory is the bottom row of the picture
  std::uint32_t rate = 25;  ///< frames per scale seconds
  std::uint32_t scale = 1;
  std::uint32_t quality = kDefaultQuality;
  int threads = 0;  ///< the encoder's threads; 0: one per core
  /// The frames are a matte (its grey in every byte of a pixel): coded grey where the
  /// compressor writes the matte grey, else opaque in the compressor's own format.
  bool matte = false;
};

class FrameEncoder {
  struct PrivateTag {
    explicit PrivateTag() = default;
  };

 public:
  /// Opens the compressor for frames of these settings, or gives null and the reason (for
  /// example a size the codec cannot take) in *why.
  static std::unique_ptr<FrameEncoder> Open(const EncoderSettings& settings, std::string* why);

  explicit FrameEncoder(PrivateTag) {}
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;
  ~FrameEncoder();

  /// The stream's codec parameters as the file must declare them.
  int FillParameters(AVCodecParameters* parameters) const;

  /// Encodes one frame of width * height * 4 bytes shown at sample pts; a key frame makes the
  /// codec code it on its own (intra). Packets ready so far go to sink. 0 or an FFmpeg error.
  int Encode(const std::uint8_t* frame, long long pts, bool keyFrame, const PacketSink& sink);

  /// Drains the packets the codec still holds. 0 or an FFmpeg error.
  int Flush(const PacketSink& sink);

 private:
  int Drain(const PacketSink& sink);
  int FillPicture(const std::uint8_t* frame);  // 0 or an FFmpeg error
  int TakeWritablePicture();                   // 0 or an FFmpeg error

  EncoderSettings m_settings;
  int m_format = -1;               // AVPixelFormat
  bool m_fullRangeYuv420 = false;  // converted by hand (Motion JPEG), not by libswscale
  bool m_opaque = false;           // the alpha of every pixel is coded as 255
  CodecContextPtr m_codec;
  FramePtr m_picture;
  // Pictures the codec still holds (a frame-threaded codec holds one per frame in flight, FFV1
  // the last one), taken again once it lets them go.
  std::vector<FramePtr> m_held;
  std::size_t m_maxPictures = 2;
  PacketPtr m_packet;
  SwsContextPtr m_convert;
  FramePtr m_source;  // the caller's frame as the conversion's source
};

}  // namespace media_detail
