#include <algorithm>
#include <cmath>

#include "media/compressor_catalogue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

namespace {

// One pixel format a compressor can encode in, for frames whose sides are multiples of
// `multiple`. A compressor's formats are tried in order.
struct PixelChoice {
  AVPixelFormat format;
  int multiple;
};

struct CatalogueRow {
  CompressorInfo info;
  std::vector<PixelChoice> formats;
  // The one-plane grey format the matte is coded in where the encoder takes it, or none: the
  // matte is then coded in the colour's format, opaque.
  AVPixelFormat grey;
};

// Lossless codecs get the frame's own bytes in a layout they store exactly, alpha included.
// Ut Video and MagicYUV take planar G, B, R, A (split by hand, see frame_encoder_ffmpeg.cpp).
// The 4:2:0 formats need even sides for x264; x264 takes 4:4:4 for odd sides instead. The two
// classic codecs work on 4 x 4 blocks and have no way around sides that are not multiples of 4.
const std::vector<CatalogueRow>& Rows() {
  static const std::vector<CatalogueRow> rows = {
      {{"Full Frames (Uncompressed)", kFullFramesFourCC, "", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_NONE},
      {{"FFV1", MakeFourCC('F', 'F', 'V', '1'), "ffv1", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_GRAY8},
      {{"Ut Video", MakeFourCC('U', 'L', 'R', 'A'), "utvideo", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_GBRAP, 1}},
       AV_PIX_FMT_NONE},
      {{"HuffYUV", MakeFourCC('H', 'F', 'Y', 'U'), "huffyuv", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_BGRA, 1}},
       AV_PIX_FMT_NONE},
      {{"MagicYUV", MakeFourCC('M', '8', 'R', 'A'), "magicyuv", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_GBRAP, 1}},
       AV_PIX_FMT_GRAY8},
      {{"PNG", MakeFourCC('M', 'P', 'N', 'G'), "png", true, true, QualityKnob::kNone, 0},
       {{AV_PIX_FMT_RGBA, 1}},
       AV_PIX_FMT_GRAY8},
      {{"Motion JPEG", MakeFourCC('M', 'J', 'P', 'G'), "mjpeg", false, false, QualityKnob::kQScale,
        9500},
       {{AV_PIX_FMT_YUV420P, 1}},
       AV_PIX_FMT_NONE},
      {{"MPEG-4 Part 2", MakeFourCC('F', 'M', 'P', '4'), "mpeg4", false, false,
        QualityKnob::kQScale, 9500},
       {{AV_PIX_FMT_YUV420P, 1}},
       AV_PIX_FMT_NONE},
      {{"H.264 (x264)", MakeFourCC('H', '2', '6', '4'), "libx264", false, false, QualityKnob::kCrf,
        6500},
       {{AV_PIX_FMT_YUV420P, 2}, {AV_PIX_FMT_YUV444P, 1}},
       AV_PIX_FMT_NONE},
      {{"Microsoft Video 1", MakeFourCC('M', 'S', 'V', 'C'), "msvideo1", false, false,
        QualityKnob::kNone, 0},
       {{AV_PIX_FMT_RGB555LE, 4}},
       AV_PIX_FMT_NONE},
      {{"Cinepak", MakeFourCC('c', 'v', 'i', 'd'), "cinepak", false, false, QualityKnob::kNone, 0},
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
