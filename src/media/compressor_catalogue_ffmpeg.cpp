#include <algorithm>
#include <cmath>

#include "media/compressor_catalogue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

namespace {

// One pixel format a compressor can encode in, for frames whose sides are multiples of
// `multiple`. A compressor's formats are tried in order. `readBy` narrows the compressor's
// readers where fewer players read that format; null keeps them.
struct PixelChoice {
  AVPixelFormat format;
  int multiple;
  const char* readBy = nullptr;
};

struct CatalogueRow {
  CompressorInfo info;
  std::vector<PixelChoice> formats;
  // The one-plane grey format the matte is coded in where the encoder takes it, or none: the
  // matte is then coded in the colour's format, opaque.
  AVPixelFormat grey;
};

// Who reads what: the lossless codecs other than Full Frames are decoded by FFmpeg's libavcodec,
// which VLC, mpv and GStreamer's gst-libav use; Ut Video also by its own codec. Motion JPEG,
// MPEG-4 Part 2 and H.264 in its 4:2:0 form are read by nearly every player; x264's 4:4:4
// (odd sides) is a profile that players relying on the system's or the hardware's H.264
// decoder often cannot read. Microsoft Video 1 came with Video for Windows, Cinepak with it
// and with QuickTime.
constexpr const char* kFfmpegPlayers = "read by FFmpeg-based players (VLC, mpv, GStreamer's libav)";

// Typical bytes a pixel (bytesPerPixel): the colour file this converter wrote at the default
// quality with FFmpeg 5.1, divided by its frames and pixels, for 12 frames of 640 x 400 cut
// from a photograph as a slow pan, with a soft-edged alpha disc crossing them, once as they
// are and once with film-like grain added (FFmpeg's noise filter, strength 10, changing every
// frame). The figure kept lies between the two: FFV1 1.35-1.55, Ut Video and MagicYUV
// 1.85-1.99, HuffYUV 2.2-2.5, PNG 3.0-3.3, Motion JPEG 0.33-0.35, MPEG-4 0.34-0.36, x264
// 0.16-0.17, Microsoft Video 1 0.38-0.39, Cinepak 0.24-0.25. Flat computer-made pictures
// (scripts/make-sample.sh's test pattern at 1920 x 1080) come out far smaller with every
// codec but Full Frames (FFV1 0.10, Motion JPEG 0.05), so the estimate errs on the large side.
//
// Lossless codecs get the frame's own bytes in a layout they store exactly, alpha included.
// Ut Video and MagicYUV take planar G, B, R, A (split by hand, see frame_encoder_ffmpeg.cpp).
// The 4:2:0 formats need even sides for x264; x264 takes 4:4:4 for odd sides instead. The two
// classic codecs work on 4 x 4 blocks and have no way around sides that are not multiples of 4.
const std::vector<CatalogueRow>& Rows() {
  static const std::vector<CatalogueRow> rows = {
      {{"Full Frames (Uncompressed)", kFullFramesFourCC, "", true, true, QualityKnob::kNone, 0,
        "read nearly everywhere", 4.0, false},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_NONE},
      {{"FFV1", MakeFourCC('F', 'F', 'V', '1'), "ffv1", true, true, QualityKnob::kNone, 0,
        kFfmpegPlayers, 1.5, false},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_GRAY8},
      {{"Ut Video", MakeFourCC('U', 'L', 'R', 'A'), "utvideo", true, true, QualityKnob::kNone, 0,
        "read by FFmpeg-based players (VLC, mpv, GStreamer's libav) and the Ut Video codec", 1.9,
        false},
       {{AV_PIX_FMT_GBRAP, 1}},
       AV_PIX_FMT_NONE},
      {{"HuffYUV", MakeFourCC('H', 'F', 'Y', 'U'), "huffyuv", true, true, QualityKnob::kNone, 0,
        kFfmpegPlayers, 2.4, false},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_NONE},
      {{"MagicYUV", MakeFourCC('M', '8', 'R', 'A'), "magicyuv", true, true, QualityKnob::kNone, 0,
        kFfmpegPlayers, 1.9, false},
       {{AV_PIX_FMT_GBRAP, 1}},
       AV_PIX_FMT_GRAY8},
      {{"PNG", MakeFourCC('M', 'P', 'N', 'G'), "png", true, true, QualityKnob::kNone, 0,
        kFfmpegPlayers, 3.1, false},
       {{AV_PIX_FMT_RGBA, 1}},
       AV_PIX_FMT_GRAY8},
      {{"Motion JPEG", MakeFourCC('M', 'J', 'P', 'G'), "mjpeg", false, false, QualityKnob::kQScale,
        9500, "read nearly everywhere", 0.34, false},
       {{AV_PIX_FMT_YUV420P, 1}},
       AV_PIX_FMT_NONE},
      {{"MPEG-4 Part 2", MakeFourCC('F', 'M', 'P', '4'), "mpeg4", false, false,
        QualityKnob::kQScale, 9500, "read by nearly every player", 0.35, false},
       {{AV_PIX_FMT_YUV420P, 1}},
       AV_PIX_FMT_NONE},
      {{"H.264 (x264)", MakeFourCC('H', '2', '6', '4'), "libx264", false, false, QualityKnob::kCrf,
        6500, "read by nearly every player", 0.17, false},
       {{AV_PIX_FMT_YUV420P, 2},
        {AV_PIX_FMT_YUV444P, 1,
         "4:4:4 for odd sides, read by FFmpeg-based players (VLC, mpv, GStreamer's libav)"}},
       AV_PIX_FMT_NONE},
      {{"Microsoft Video 1", MakeFourCC('M', 'S', 'V', 'C'), "msvideo1", false, false,
        QualityKnob::kNone, 0, "read nearly everywhere", 0.38, true},
       {{AV_PIX_FMT_RGB555LE, 4}},
       AV_PIX_FMT_NONE},
      {{"Cinepak", MakeFourCC('c', 'v', 'i', 'd'), "cinepak", false, false, QualityKnob::kNone, 0,
        "read by FFmpeg-based players and the old Windows and QuickTime players", 0.25, true},
       {{AV_PIX_FMT_RGB24, 4}},
       AV_PIX_FMT_NONE},
  };
  return rows;
}

const CatalogueRow* RowOf(const CompressorInfo& compressor) {
  for (const CatalogueRow& row : Rows()) {
    if (row.info.fourcc == compressor.fourcc) return &row;
  }
  return nullptr;
}

bool EncoderTakes(const AVCodec* codec, AVPixelFormat format) {
  if (!codec->pix_fmts) return true;
  for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
    if (*f == format) return true;
  }
  return false;
}

// Installed means: the encoder exists and takes every pixel format the row may hand it.
bool Installed(const CatalogueRow& row) {
  if (row.info.encoder[0] == '\0') return true;
  const AVCodec* codec = avcodec_find_encoder_by_name(row.info.encoder);
  if (!codec) return false;
  return std::all_of(row.formats.begin(), row.formats.end(),
                     [codec](const PixelChoice& c) { return EncoderTakes(codec, c.format); });
}

const std::vector<CompressorInfo>& Available() {
  static const std::vector<CompressorInfo> available = [] {
    std::vector<CompressorInfo> list;
    for (const CatalogueRow& row : Rows()) {
      if (Installed(row)) list.push_back(row.info);
    }
    return list;
  }();
  return available;
}

}  // namespace

const std::vector<CompressorInfo>& AllCompressors() {
  static const std::vector<CompressorInfo> all = [] {
    std::vector<CompressorInfo> list;
    for (const CatalogueRow& row : Rows()) list.push_back(row.info);
    return list;
  }();
  return all;
}

std::vector<CompressorInfo> AvailableCompressors() { return Available(); }

const CompressorInfo* FindCompressor(FourCC fourcc) {
  for (const CompressorInfo& info : Available()) {
    if (info.fourcc == fourcc) return &info;
  }
  return nullptr;
}

std::string CompressorPixelFormat(const CompressorInfo& compressor, int width, int height) {
  const CatalogueRow* row = RowOf(compressor);
  if (!row || width <= 0 || height <= 0) return "";
  for (const PixelChoice& choice : row->formats) {
    if (width % choice.multiple == 0 && height % choice.multiple == 0) {
      return av_get_pix_fmt_name(choice.format);
    }
  }
  return "";
}

bool CompressorWritesGreyMatte(const CompressorInfo& compressor) {
  const CatalogueRow* row = RowOf(compressor);
  if (!row || row->grey == AV_PIX_FMT_NONE) return false;
  const AVCodec* codec = avcodec_find_encoder_by_name(row->info.encoder);
  return codec && EncoderTakes(codec, row->grey);
}

std::string CompressorMattePixelFormat(const CompressorInfo& compressor, int width, int height) {
  std::string format = CompressorPixelFormat(compressor, width, height);
  if (format.empty() || !CompressorWritesGreyMatte(compressor)) return format;
  return av_get_pix_fmt_name(RowOf(compressor)->grey);
}

std::string CompressorRefusal(const CompressorInfo& compressor, int width, int height) {
  if (!CompressorPixelFormat(compressor, width, height).empty()) return "";
  const CatalogueRow* row = RowOf(compressor);
  if (!row || row->formats.empty()) return "not available here";
  if (width <= 0 || height <= 0) return "needs frames of a known size";
  int multiple = row->formats.front().multiple;
  for (const PixelChoice& choice : row->formats) multiple = std::min(multiple, choice.multiple);
  return "needs width and height divisible by " + std::to_string(multiple);
}

int CodecQualityValue(const CompressorInfo& compressor, std::uint32_t quality) {
  if (quality == kDefaultQuality) quality = compressor.defaultQuality;
  const double worse = (10000.0 - std::min<std::uint32_t>(quality, 10000)) / 10000.0;
  switch (compressor.knob) {
    case QualityKnob::kQScale:
      return 2 + static_cast<int>(std::lround(worse * 29.0));
    case QualityKnob::kCrf:
      return static_cast<int>(std::lround(worse * 51.0));
    case QualityKnob::kNone:
      break;
  }
  return 0;
}

std::string FourCCText(FourCC fourcc) {
  if (fourcc == 0) return "";
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    text.push_back(static_cast<char>((fourcc >> shift) & 0xFF));
  }
  return text;
}

std::string CompressorReaders(const CompressorInfo& compressor, int width, int height) {
  const CatalogueRow* row = RowOf(compressor);
  if (row && width > 0 && height > 0) {
    for (const PixelChoice& choice : row->formats) {
      if (width % choice.multiple != 0 || height % choice.multiple != 0) continue;
      if (choice.readBy) return choice.readBy;
      break;
    }
  }
  return compressor.readBy;
}

double EstimatedFrameBytes(const CompressorInfo& compressor, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return compressor.bytesPerPixel * width * height;
}

std::string FrameSizeText(double bytes) {
  if (bytes <= 0) return "";
  // Each step rounds from the bytes themselves, never from an already rounded figure, and the
  // unit is picked after rounding: 995 000 bytes read "1.0 MB", not "1000 kB".
  const auto twoFigures = [](double value) {
    return value < 99.5 ? std::lround(value) : std::lround(value / 10) * 10;
  };
  const long kilobytes = std::max(1L, twoFigures(bytes / 1e3));
  if (kilobytes < 1000) return "about " + std::to_string(kilobytes) + " kB a frame";
  const long tenths = std::lround(bytes / 1e5);
  if (tenths < 100) {
    return "about " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) +
           " MB a frame";
  }
  return "about " + std::to_string(twoFigures(bytes / 1e6)) + " MB a frame";
}

std::string CompressorSummary(const CompressorInfo& compressor, int width, int height) {
  std::string line = compressor.lossless ? "lossless" : "lossy";
  line += compressor.keepsAlpha ? ", keeps alpha" : ", no alpha";
  if (CompressorWritesGreyMatte(compressor)) line += ", writes the matte as grey";
  const std::string size = FrameSizeText(EstimatedFrameBytes(compressor, width, height));
  if (!size.empty()) line += ", " + size;
  return line + ", " + CompressorReaders(compressor, width, height);
}
