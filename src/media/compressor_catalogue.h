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
  /// Who reads the files it writes, as far as we know for sure: "nearly every player".
  const char* readBy;
  /// The bytes a pixel of the colour file typically takes on film-like frames at the default
  /// quality; exactly 4 for Full Frames.
  double bytesPerPixel;
  /// An older format, kept for old players: the compressor dialog lists these apart, last.
  bool forOldPlayers;
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

/// Who reads the files the compressor writes for a width x height frame: its readBy, or less
/// where that size takes a format fewer players read (x264's 4:4:4 for odd sides).
std::string CompressorReaders(const CompressorInfo& compressor, int width, int height);

/// The estimated bytes of one width x height frame of the colour file (the matte file comes on
/// top), from the compressor's typical bytes a pixel; 0 when a side is 0 or less (not known).
double EstimatedFrameBytes(const CompressorInfo& compressor, int width, int height);

/// An estimate of a frame's bytes in words, to two figures: "about 850 kB a frame", "about
/// 3.1 MB a frame", "about 12 MB a frame" (kB and MB of 1000 and 1000000 bytes); "" for 0.
std::string FrameSizeText(double bytes);

/// What the compressor is for, in one line for the compressor dialog and the command line's
/// list: "lossless, keeps alpha, about 8.3 MB a frame, read nearly everywhere"; the size is
/// left out when width or height is 0 (not known).
std::string CompressorSummary(const CompressorInfo& compressor, int width, int height);

/// The code as its four characters: "MJPG"; a zero code gives "".
std::string FourCCText(FourCC fourcc);
