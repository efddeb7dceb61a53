#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "media/frame_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/cpu.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace media_detail {

namespace {

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

void QuietLibraries() {
  // Encoders announce their settings at the info level, which is no news to the user of either
  // face; errors still come through (unless the log is silenced, library_log.h).
  static const bool once = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
  }();
  (void)once;
}

// A picture of its own buffer for frames of this format and size.
int NewPicture(int format, int width, int height, AVColorRange range, FramePtr* picture) {
  FramePtr made(av_frame_alloc());
  if (!made) return AVERROR(ENOMEM);
  made->format = format;
  made->width = width;
  made->height = height;
  made->color_range = range;
  const int ret = av_frame_get_buffer(made.get(), 0);
  if (ret < 0) return ret;
  *picture = std::move(made);
  return 0;
}

// JPEG's full-range BT.601 conversion in 16-bit fixed point. Each row of luma weights sums to
// 1 << 16 and each row of chroma weights to 0, so a grey pixel keeps its value as luma and gets
// chroma 128 exactly: a matte frame (alpha in all four bytes) comes out as its alpha plane.
constexpr int kLumaR = 19595;
constexpr int kLumaG = 38470;
constexpr int kLumaB = 7471;
constexpr int kBlueR = -11059;
constexpr int kBlueG = -21709;
constexpr int kBlueB = 32768;
constexpr int kRedR = 32768;
constexpr int kRedG = -27439;
constexpr int kRedB = -5329;

inline std::uint8_t Luma(const std::uint8_t* bgra) {
  return static_cast<std::uint8_t>(
      (kLumaR * bgra[2] + kLumaG * bgra[1] + kLumaB * bgra[0] + (1 << 15)) >> 16);
}

// One chroma sample from the sums of blue, green and red over four pixels (shift 18 = 16 bits of
// weight and the division by four); 128 + half of a full 255 rounds up to 256, hence the clamp.
inline std::uint8_t Chroma(int wr, int wg, int wb, int r4, int g4, int b4) {
  const int value = (wr * r4 + wg * g4 + wb * b4 + (128 << 18) + (1 << 17)) >> 18;
  return static_cast<std::uint8_t>(value > 255 ? 255 : value);
}

// Full-range 4:2:0 from 32-bit rows in one pass: each chroma sample is the mean of its 2 x 2
// pixels, centred among them as JPEG sites chroma. An odd last row or column counts twice.
// Compared with libswscale's bilinear conversion it takes less than half the time.
void FillFullRangeYuv420(const std::uint8_t* top, std::ptrdiff_t step, int width, int height,
                         AVFrame* picture) {
  for (int y = 0; y < height; y += 2) {
    const std::uint8_t* a = top + y * step;
    const bool pair = y + 1 < height;
    const std::uint8_t* b = pair ? a + step : a;
    std::uint8_t* lumaA = picture->data[0] + y * picture->linesize[0];
    std::uint8_t* lumaB = pair ? lumaA + picture->linesize[0] : lumaA;
    std::uint8_t* blue = picture->data[1] + (y / 2) * picture->linesize[1];
    std::uint8_t* red = picture->data[2] + (y / 2) * picture->linesize[2];
    const int pairs = width / 2;
    for (int x = 0; x < pairs; ++x) {
      const std::uint8_t* p = a + 8 * x;
      const std::uint8_t* q = b + 8 * x;
      lumaA[2 * x] = Luma(p);
      lumaA[2 * x + 1] = Luma(p + 4);
      lumaB[2 * x] = Luma(q);
      lumaB[2 * x + 1] = Luma(q + 4);
      const int b4 = p[0] + p[4] + q[0] + q[4];
      const int g4 = p[1] + p[5] + q[1] + q[5];
      const int r4 = p[2] + p[6] + q[2] + q[6];
      blue[x] = Chroma(kBlueR, kBlueG, kBlueB, r4, g4, b4);
      red[x] = Chroma(kRedR, kRedG, kRedB, r4, g4, b4);
    }
    if (width % 2 != 0) {
      const std::uint8_t* p = a + 8 * pairs;
      const std::uint8_t* q = b + 8 * pairs;
      lumaA[2 * pairs] = Luma(p);
      lumaB[2 * pairs] = Luma(q);
      const int b4 = 2 * (p[0] + q[0]);
      const int g4 = 2 * (p[1] + q[1]);
      const int r4 = 2 * (p[2] + q[2]);
      blue[pairs] = Chroma(kBlueR, kBlueG, kBlueB, r4, g4, b4);
      red[pairs] = Chroma(kRedR, kRedG, kRedB, r4, g4, b4);
    }
  }
}

// The same conversion for a grey frame (blue, green and red equal in every pixel, as in every
// matte frame): luma is the grey byte and chroma is 128, with no arithmetic. Gives false, having
// filled part of the luma, at the first row with a pixel that is not grey.
bool FillGreyYuv420(const std::uint8_t* top, std::ptrdiff_t step, int width, int height,
                    AVFrame* picture) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = top + y * step;
    std::uint8_t* luma = picture->data[0] + y * picture->linesize[0];
    // No branch per pixel: the row's differences are gathered and looked at once.
    unsigned differs = 0;
    for (int x = 0; x < width; ++x, in += 4) {
      differs |= static_cast<unsigned>((in[0] ^ in[1]) | (in[0] ^ in[2]));
      luma[x] = in[0];
    }
    if (differs != 0) return false;
  }
  const int chromaWidth = (width + 1) / 2;
  const int chromaHeight = (height + 1) / 2;
  for (int plane = 1; plane <= 2; ++plane) {
    for (int y = 0; y < chromaHeight; ++y) {
      std::memset(picture->data[plane] + y * picture->linesize[plane], 128, chromaWidth);
    }
  }
  return true;
}

// The encoder's threads: as many as asked, or one per core.
int ThreadCount(int asked) { return asked > 0 ? asked : std::max(1, av_cpu_count()); }

// The smallest slice count FFV1 takes (it lays slices out in a grid of rows and columns) that
// gives each thread at least two slices, so that a slice slower than the rest waits less.
int Ffv1Slices(int threads) {
  static const int kCounts[] = {4, 6, 9, 12, 16, 20, 24, 30, 36, 42, 49, 56, 64};
  for (const int count : kCounts) {
    if (count >= 2 * threads) return count;
  }
  return 64;
}

// The codec's settings for the stream, short of opening it.
void Configure(const EncoderSettings& settings, AVPixelFormat format, int threads,
               AVCodecContext* context) {
  const CompressorInfo* compressor = settings.compressor;
  context->width = settings.width;
  context->height = settings.height;
  context->pix_fmt = format;
  context->time_base =
      AVRational{static_cast<int>(settings.scale), static_cast<int>(settings.rate)};
  context->framerate =
      AVRational{static_cast<int>(settings.rate), static_cast<int>(settings.scale)};
  // Every frame is a key frame, so nothing is gained by predicting across frames.
  context->gop_size = 1;
  context->max_b_frames = 0;
  // The threads the codec can use: whole frames at once where it can (Ut Video, MagicYUV,
  // HuffYUV, PNG, Motion JPEG: each frame is coded on its own, so frames in flight change
  // nothing in the file), else the slices of one frame (FFV1, MPEG-4). x264 keeps its sliced
  // threads: its frame threads would hold a look-ahead of frames.
  context->thread_count = threads;
  context->thread_type = std::strcmp(compressor->encoder, "libx264") == 0
                             ? FF_THREAD_SLICE
                             : FF_THREAD_FRAME | FF_THREAD_SLICE;
  // Microsoft Video 1 codes a frame on its own only every keyint_min frames (or when nothing
  // could be skipped); 0 makes every frame a key frame.
  if (std::strcmp(compressor->encoder, "msvideo1") == 0) context->keyint_min = 0;
  // FFmpeg's Cinepak encoder searches its codebooks for seconds per large frame; one strip
  // and no extra passes halve that at little cost.
  if (std::strcmp(compressor->encoder, "cinepak") == 0) {
    av_opt_set_int(context->priv_data, "max_strips", 1, 0);
    av_opt_set_int(context->priv_data, "max_extra_cb_iterations", 0, 0);
  }
  // The AVI tag is the catalogue's code, whichever the muxer would pick by itself.
  context->codec_tag = compressor->fourcc;
  if (std::strcmp(compressor->encoder, "mjpeg") == 0) context->color_range = AVCOL_RANGE_JPEG;

  const int quality = CodecQualityValue(*compressor, settings.quality);
  switch (compressor->knob) {
    case QualityKnob::kQScale:
      context->flags |= AV_CODEC_FLAG_QSCALE;
      context->global_quality = FF_QP2LAMBDA * quality;
      break;
    case QualityKnob::kCrf:
      av_opt_set_double(context->priv_data, "crf", quality, 0);
      av_opt_set_int(context->priv_data, "forced-idr", 1, 0);
      break;
    case QualityKnob::kNone:
      break;
  }
}

}  // namespace

FrameEncoder::~FrameEncoder() = default;

std::unique_ptr<FrameEncoder> FrameEncoder::Open(const EncoderSettings& settings,
                                                 std::string* why) {
  QuietLibraries();
  const CompressorInfo* compressor = settings.compressor;
  const AVCodec* codec = compressor ? avcodec_find_encoder_by_name(compressor->encoder) : nullptr;
  if (!codec) {
    *why = "no such encoder";
    return nullptr;
  }
  const std::string formatName =
      settings.matte ? CompressorMattePixelFormat(*compressor, settings.width, settings.height)
                     : CompressorPixelFormat(*compressor, settings.width, settings.height);
  if (formatName.empty()) {
    *why = "the compressor cannot take frames of this size";
    return nullptr;
  }
  if (settings.rate == 0 || settings.scale == 0 || settings.rate > INT32_MAX ||
      settings.scale > INT32_MAX) {
    *why = "no frame rate";
    return nullptr;
  }

  auto encoder = std::make_unique<FrameEncoder>(PrivateTag{});
  encoder->m_settings = settings;
  const AVPixelFormat format = av_get_pix_fmt(formatName.c_str());
  encoder->m_format = format;
  encoder->m_opaque = settings.matte;

  // FFV1 threads only over the slices of a frame, which version 3 of its bitstream has; a
  // frame too small for that many slices gets fewer, down to one.
  const bool ffv1 = std::strcmp(compressor->encoder, "ffv1") == 0;
  const int threads = ThreadCount(settings.threads);
  std::vector<int> sliceCounts{0};
  if (ffv1) sliceCounts = {Ffv1Slices(threads), 4, 1};
  int ret = 0;
  for (const int slices : sliceCounts) {
    encoder->m_codec.reset(avcodec_alloc_context3(codec));
    AVCodecContext* context = encoder->m_codec.get();
    if (!context) {
      *why = "out of memory";
      return nullptr;
    }
    Configure(settings, format, threads, context);
    if (ffv1) {
      context->level = 3;
      context->slices = slices;
    }
    ret = avcodec_open2(context, codec, nullptr);
    if (ret >= 0) break;
  }
  if (ret < 0) {
    *why = ErrorText(ret);
    return nullptr;
  }
  AVCodecContext* context = encoder->m_codec.get();
  // A frame-threaded codec holds each frame until its thread is done with it, at most one
  // per thread and two queued; FFV1 holds the last frame until the next comes.
  encoder->m_maxPictures = static_cast<std::size_t>(threads) + 3;

  encoder->m_packet.reset(av_packet_alloc());
  if (!encoder->m_packet) {
    *why = "out of memory";
    return nullptr;
  }
  const AVColorRange range =
      std::strcmp(compressor->encoder, "mjpeg") == 0 ? AVCOL_RANGE_JPEG : AVCOL_RANGE_UNSPECIFIED;
  ret = NewPicture(format, settings.width, settings.height, range, &encoder->m_picture);
  if (ret < 0) {
    *why = ErrorText(ret);
    return nullptr;
  }

  encoder->m_fullRangeYuv420 = format == AV_PIX_FMT_YUV420P && range == AVCOL_RANGE_JPEG;
  const bool byHand = format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_RGBA ||
                      format == AV_PIX_FMT_GRAY8 || format == AV_PIX_FMT_GBRAP ||
                      format == AV_PIX_FMT_RGB24 || encoder->m_fullRangeYuv420;
  if (!byHand) {
    // Sliced over as many threads as there are processors: for MPEG-4 and x264 the conversion
    // costs about as much as the compression itself.
    SwsContextPtr convert(sws_alloc_context());
    SwsContext* sws = convert.get();
    if (!sws || av_opt_set_int(sws, "srcw", settings.width, 0) < 0 ||
        av_opt_set_int(sws, "srch", settings.height, 0) < 0 ||
        av_opt_set_int(sws, "src_format", AV_PIX_FMT_BGRA, 0) < 0 ||
        av_opt_set_int(sws, "dstw", settings.width, 0) < 0 ||
        av_opt_set_int(sws, "dsth", settings.height, 0) < 0 ||
        av_opt_set_int(sws, "dst_format", format, 0) < 0 ||
        av_opt_set_int(sws, "sws_flags", SWS_BILINEAR | SWS_ACCURATE_RND, 0) < 0 ||
        av_opt_set_int(sws, "threads", settings.threads, 0) < 0 ||
        sws_init_context(sws, nullptr, nullptr) < 0) {
      *why = "no conversion to " + formatName;
      return nullptr;
    }
    encoder->m_convert = std::move(convert);
    encoder->m_source.reset(av_frame_alloc());
    if (!encoder->m_source) {
      *why = "out of memory";
      return nullptr;
    }
    encoder->m_source->format = AV_PIX_FMT_BGRA;
    encoder->m_source->width = settings.width;
    encoder->m_source->height = settings.height;
    if (context->color_range == AVCOL_RANGE_JPEG) {
      // Full-range luma and chroma, as JPEG defines them.
      const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
      sws_setColorspaceDetails(encoder->m_convert.get(), coefficients, 1, coefficients, 1, 0,
                               1 << 16, 1 << 16);
    }
  }
  return encoder;
}

int FrameEncoder::FillParameters(AVCodecParameters* parameters) const {
  return avcodec_parameters_from_context(parameters, m_codec.get());
}

int FrameEncoder::FillPicture(const std::uint8_t* frame) {
  const int width = m_settings.width;
  const int height = m_settings.height;
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width) * 4;
  // A top-down view of the caller's frame: row 0 is the top of the picture.
  const std::uint8_t* top = m_settings.bottomUp ? frame + (height - 1) * stride : frame;
  const std::ptrdiff_t step = m_settings.bottomUp ? -stride : stride;
  AVFrame* picture = m_picture.get();

  // A matte's grey is in every byte of its pixels; its alpha is coded opaque.
  const std::uint8_t opaque = m_opaque ? 0xFF : 0x00;
  switch (m_format) {
    case AV_PIX_FMT_GRAY8:
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = top + y * step;
        std::uint8_t* out = picture->data[0] + y * picture->linesize[0];
        for (int x = 0; x < width; ++x) out[x] = in[4 * x];
      }
      return 0;
    case AV_PIX_FMT_BGRA:
      for (int y = 0; y < height; ++y) {
        std::uint8_t* out = picture->data[0] + y * picture->linesize[0];
        std::memcpy(out, top + y * step, stride);
        if (opaque != 0) {
          for (int x = 0; x < width; ++x) out[4 * x + 3] = opaque;
        }
      }
      return 0;
    case AV_PIX_FMT_RGBA:
    case AV_PIX_FMT_RGB24: {
      const int size = m_format == AV_PIX_FMT_RGBA ? 4 : 3;
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = top + y * step;
        std::uint8_t* out = picture->data[0] + y * picture->linesize[0];
        for (int x = 0; x < width; ++x, in += 4, out += size) {
          out[0] = in[2];
          out[1] = in[1];
          out[2] = in[0];
          if (size == 4) out[3] = in[3] | opaque;
        }
      }
      return 0;
    }
    case AV_PIX_FMT_GBRAP:
      // By hand: libswscale's BGRA to GBRAP conversion moves alpha values 128..254 up by one.
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = top + y * step;
        std::uint8_t* g = picture->data[0] + y * picture->linesize[0];
        std::uint8_t* b = picture->data[1] + y * picture->linesize[1];
        std::uint8_t* r = picture->data[2] + y * picture->linesize[2];
        std::uint8_t* a = picture->data[3] + y * picture->linesize[3];
        for (int x = 0; x < width; ++x, in += 4) {
          b[x] = in[0];
          g[x] = in[1];
          r[x] = in[2];
          a[x] = in[3] | opaque;
        }
      }
      return 0;
    case AV_PIX_FMT_YUV420P:
      if (!m_fullRangeYuv420) break;
      // A colour frame mostly shows a pixel that is not grey in its first row, so trying the
      // grey fill first costs it next to nothing.
      if (!FillGreyYuv420(top, step, width, height, picture)) {
        FillFullRangeYuv420(top, step, width, height, picture);
      }
      return 0;
    default:
      break;
  }
  // The threaded conversion takes its source as a frame with a buffer reference: one that
  // borrows the caller's bytes for the length of the call and never frees them.
  AVFrame* source = m_source.get();
  source->data[0] = const_cast<std::uint8_t*>(top);
  source->linesize[0] = static_cast<int>(step);
  source->buf[0] = av_buffer_create(
      const_cast<std::uint8_t*>(frame), stride * height, [](void*, uint8_t*) {}, nullptr,
      AV_BUFFER_FLAG_READONLY);
  if (!source->buf[0]) return AVERROR(ENOMEM);
  const int ret = sws_scale_frame(m_convert.get(), picture, source);
  av_buffer_unref(&source->buf[0]);
  return ret < 0 ? ret : 0;
}

int FrameEncoder::Encode(const std::uint8_t* frame, long long pts, bool keyFrame,
                         const PacketSink& sink) {
  int ret = TakeWritablePicture();
  if (ret < 0) return ret;
  ret = FillPicture(frame);
  if (ret < 0) return ret;
  AVFrame* picture = m_picture.get();
  picture->pts = pts;
  picture->pict_type = keyFrame ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  // A fixed quantiser is read from each picture, not from the codec's settings.
  if (m_settings.compressor->knob == QualityKnob::kQScale) {
    picture->quality = m_codec->global_quality;
  }
  ret = avcodec_send_frame(m_codec.get(), picture);
  if (ret < 0) return ret;
  return Drain(sink);
}

int FrameEncoder::TakeWritablePicture() {
  if (av_frame_is_writable(m_picture.get())) return 0;
  // The codec holds the picture it was given last: one it has let go of takes its turn, or a
  // new one while the codec may hold more, rather than a fresh frame-sized buffer and a copy
  // of the old picture into it for every frame.
  for (FramePtr& held : m_held) {
    if (av_frame_is_writable(held.get())) {
      std::swap(m_picture, held);
      return 0;
    }
  }
  if (m_held.size() + 1 < m_maxPictures) {
    FramePtr fresh;
    const int ret = NewPicture(m_picture->format, m_picture->width, m_picture->height,
                               m_picture->color_range, &fresh);
    if (ret < 0) return ret;
    m_held.push_back(std::move(m_picture));
    m_picture = std::move(fresh);
    return 0;
  }
  return av_frame_make_writable(m_picture.get());
}

int FrameEncoder::Flush(const PacketSink& sink) {
  const int ret = avcodec_send_frame(m_codec.get(), nullptr);
  if (ret < 0 && ret != AVERROR_EOF) return ret;
  return Drain(sink);
}

int FrameEncoder::Drain(const PacketSink& sink) {
  AVPacket* packet = m_packet.get();
  for (;;) {
    int ret = avcodec_receive_packet(m_codec.get(), packet);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
    if (ret < 0) return ret;
    ret = sink(packet);
    av_packet_unref(packet);
    if (ret < 0) return ret;
  }
}

}  // namespace media_detail
