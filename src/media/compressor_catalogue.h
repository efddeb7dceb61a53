#pragma once
// The compressors the converter offers, each backed by one FFmpeg encoder and offered only when
// the installed FFmpeg has that encoder. A compressor is named by the four-character code it
// writes into the file.

#include <cstdint>
#include <string>
#include <vector>

/// A four-character code as a file stores it, first character in the lowest byte.
using FourCC = std::uint32_t;

/// MakeFourCC('v', 'i', 'd', 's') is the code that reads "vids" in a file.
constexpr FourCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<FourCC>(static_cast<unsigned char>(a)) |
         (static_cast<FourCC>(static_cast<unsigned char>(b)) << 8) |
         (static_cast<FourCC>(static_cast<unsigned char>(c)) << 16) |
         (static_cast<FourCC>(static_cast<unsigned char>(d)) << 24);
}

/// How a compressor turns a quality (0..10000) into its own setting.
enum class QualityKnob {
  kNone,    ///< nothing to set: lossless, or a codec without a quality control
  kQScale,  ///< a fixed quantiser, 2 (best) .. 31
  kCrf,     ///< x264's constant rate factor, 0 (best) .. 51
};

/// The quality value that asks for the compressor's default.
constexpr std::uint32_t kDefaultQuality = 0xFFFFFFFF;

struct CompressorInfo {
  const char* name;     ///< as the compressor dialog lists it: "Full Frames (Uncompressed)"
  FourCC fourcc;        ///< the code chosen and written into the file
  const char* encoder;  ///< the FFmpeg encoder; empty for Full Frames, which are stored as given
  bool lossless;        ///< the decoded frames equal the frames written
  bool keepsAlpha;      ///< the alpha byte of each pixel survives as well
  QualityKnob knob;
  std::uint32_t defaultQuality;  ///< what kDefaultQuality stands for (0..10000)
};

/// Full Frames: frames stored as they are written, 32 bits a pixel, rows bottom-up.
constexpr FourCC kFullFramesFourCC = MakeFourCC('D', 'I', 'B', ' ');

/// Every compressor of the catalogue, installed or not, in the order the dialog lists them.
const std::vector<CompressorInfo>& AllCompressors();

/// The compressors this machine's FFmpeg can write, in dialog order; Full Frames is always
/// there and always first.
std::vector<CompressorInfo> AvailableCompressors();

/// The available compressor with that code (compared exactly), or null.
const CompressorInfo* FindCompressor(FourCC fourcc);

/// The FFmpeg pixel format the compressor encodes a width x height frame in ("bgra",
/// "yuv420p", ...), or an empty string when it cannot take that size: Microsoft Video 1 and
/// Cinepak need both sides a multiple of 4, so 34 x 18 gives "".
std::string CompressorPixelFormat(const CompressorInfo& compressor, int width, int height);

/// Whether the compressor codes the matte as a grey picture of one plane (FFV1, MagicYUV and
/// PNG, where the installed encoder takes one). The other compressors code the matte in the
/// colour file's format with every pixel opaque; Full Frames stores the matte frames as given.
bool CompressorWritesGreyMatte(const CompressorInfo& compressor);

/// The pixel format the matte of a width x height frame is coded in: "gray" where the
/// compressor writes the matte grey, else as CompressorPixelFormat.
std::string CompressorMattePixelFormat(const CompressorInfo& compressor, int width, int height);

/// Why the compressor cannot take a width x height frame, in words for the compressor dialog
/// ("needs width and height divisible by 4"), or an empty string when it can.
std::string CompressorRefusal(const CompressorInfo& compressor, int width, int height);

/// The compressor's own setting for quality: the quantiser or rate factor; kDefaultQuality
/// stands for the compressor's default, values above 10000 count as 10000. 0 for kNone.
int CodecQualityValue(const CompressorInfo& compressor, std::uint32_t quality);

/// The code as its four characters: "MJPG"; a zero code gives "".
std::string FourCCText(FourCC fourcc);
