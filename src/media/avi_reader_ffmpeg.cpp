// The AVI reader over FFmpeg: libavformat's AVI demuxer finds the first video stream and its
// index, and frame n is decoded from the key frame at or before it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/avi_reader.h"
#include "media/ffmpeg_owners.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// One decoded picture into the converter's frame layout: blue, green, red, alpha, rows
// bottom-up. The packed and planar RGB layouts the lossless codecs decode to are copied byte
// for byte; anything else goes through libswscale, opaque.
bool StoreDecoded(const AVFrame* frame, std::uint8_t* out) {
  const int w = frame->width;
  const int h = frame->height;
  const auto format = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  if (!desc) return false;
  const auto at = [&](int x, int y) { return out + (std::size_t(h - 1 - y) * w + x) * 4; };
  if ((desc->flags & AV_PIX_FMT_FLAG_RGB) && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) &&
      desc->nb_components >= 3 && desc->comp[0].depth == 8 && desc->log2_chroma_w == 0) {
    // Packed 8-bit RGB, with or without alpha: each component says where its byte is.
    const bool alpha = (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = frame->data[0] + std::ptrdiff_t(y) * frame->linesize[0];
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = row + std::ptrdiff_t(x) * desc->comp[0].step;
        std::uint8_t* q = at(x, y);
        q[0] = p[desc->comp[2].offset];
        q[1] = p[desc->comp[1].offset];
        q[2] = p[desc->comp[0].offset];
        q[3] = alpha ? p[desc->comp[3].offset] : 255;
      }
    }
    return true;
  }
  if (format == AV_PIX_FMT_GBRAP || format == AV_PIX_FMT_GBRP) {
    // Planes green, blue, red[, alpha].
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const auto sample = [&](int plane) {
          return frame->data[plane][std::ptrdiff_t(y) * frame->linesize[plane] + x];
        };
        std::uint8_t* q = at(x, y);
        q[0] = sample(1);
        q[1] = sample(0);
        q[2] = sample(2);
        q[3] = format == AV_PIX_FMT_GBRAP ? sample(3) : 255;
      }
    }
    return true;
  }
  media_detail::SwsContextPtr convert(sws_getContext(w, h, format, w, h, AV_PIX_FMT_BGRA,
                                                     SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                                                     nullptr, nullptr));
  if (!convert) return false;
  // Bottom-up: the last row of the buffer first, stepping back.
  uint8_t* dst[4] = {out + std::size_t(h - 1) * w * 4, nullptr, nullptr, nullptr};
  const int dstStride[4] = {-w * 4, 0, 0, 0};
  if (sws_scale(convert.get(), frame->data, frame->linesize, 0, h, dst, dstStride) != h) {
    return false;
  }
  for (std::size_t i = 0; i < std::size_t(w) * h; ++i) out[i * 4 + 3] = 255;
  return true;
}

// Decodes frame n of stream index of demuxer into out (width x height x 4 bytes); "" or why it
// cannot be had.
std::string DecodeFrame(AVFormatContext* demuxer, int index, long long n, std::uint8_t* out) {
  const AVCodecParameters* par = demuxer->streams[index]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return "no decoder for its codec";
  media_detail::CodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) return "out of memory";
  int ret = avcodec_parameters_to_context(decoder.get(), par);
  if (ret >= 0) ret = avcodec_open2(decoder.get(), codec, nullptr);
  if (ret < 0) return ErrorText(ret);
  // The stream's time base is one frame, so frame n is at n; from the key frame at or before it
  // the frames are decoded in order until it comes.
  ret = av_seek_frame(demuxer, index, n, AVSEEK_FLAG_BACKWARD);
  if (ret < 0) return ErrorText(ret);
  media_detail::PacketPtr packet(av_packet_alloc());
  media_detail::FramePtr frame(av_frame_alloc());
  if (!packet || !frame) return "out of memory";
  std::string why = "it does not decode";
  const auto take = [&]() -> int {  // 1: found, 0: not yet, -1: past it or failed
    for (;;) {
      const int got = avcodec_receive_frame(decoder.get(), frame.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
      if (got < 0) {
        why = ErrorText(got);
        return -1;
      }
      const long long at = frame->best_effort_timestamp;
      if (at == n) {
        if (frame->width != par->width || frame->height != par->height) {
          why = "it decodes to another size";
          return -1;
        }
        return StoreDecoded(frame.get(), out) ? 1 : -1;
      }
      av_frame_unref(frame.get());
      if (at > n) return -1;
    }
  };
  while (av_read_frame(demuxer, packet.get()) >= 0) {
    const bool ours = packet->stream_index == index;
    const int sent = ours ? avcodec_send_packet(decoder.get(), packet.get()) : 0;
    av_packet_unref(packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) return ErrorText(sent);
    if (!ours) continue;
    const int found = take();
    if (found != 0) return found > 0 ? "" : why;
  }
  avcodec_send_packet(decoder.get(), nullptr);
  return take() > 0 ? "" : why;
}

}  // namespace

struct AviReader::State {
  std::string path;
  media_detail::InputFormatPtr demuxer;
  int index = -1;
  AviStreamFacts facts;
};

AviReader::AviReader() : m_state(std::make_unique<State>()) {}

AviReader::~AviReader() = default;

MediaResult AviReader::Open(const std::string& path) {
  m_state = std::make_unique<State>();
  m_state->path = path;
  // Only a regular file: a named pipe would hold the open until a writer came. The file is
  // opened without waiting and looked at through its descriptor, and the demuxer opens that
  // same file through /proc, so a name swapped for a pipe in between is never opened.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return MediaResult::Failed("cannot open " + path + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } const held{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    return MediaResult::Failed("cannot open " + path + ": not a regular file");
  }
  const std::string viaDescriptor = "/proc/self/fd/" + std::to_string(fd);
  // "file:" keeps a name with a colon from being taken for a protocol. Without /proc, the
  // name itself, which was a regular file a moment ago.
  const std::string url =
      "file:" + (::access(viaDescriptor.c_str(), R_OK) == 0 ? viaDescriptor : path);
  AVFormatContext* context = nullptr;
  const int ret = avformat_open_input(&context, url.c_str(), av_find_input_format("avi"), nullptr);
  if (ret < 0) {
    return MediaResult::Failed(path + " is not an AVI file: " + ErrorText(ret));
  }
  m_state->demuxer.reset(context);
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      m_state->index = static_cast<int>(i);
      break;
    }
  }
  if (m_state->index < 0) {
    m_state->demuxer.reset();
    return MediaResult::Failed(path + " holds no video stream");
  }
  AVStream* st = context->streams[m_state->index];
  const AVCodecParameters* par = st->codecpar;
  AviStreamFacts& facts = m_state->facts;
  facts.handler = par->codec_tag;
  facts.width = par->width;
  facts.height = par->height;
  facts.rate = static_cast<std::uint32_t>(st->time_base.den);
  facts.scale = static_cast<std::uint32_t>(st->time_base.num);
  const int entries = avformat_index_get_entries_count(st);
  facts.frames = entries > 0 ? entries : st->nb_frames > 0 ? st->nb_frames : 0;
  return MediaResult();
}

const AviStreamFacts& AviReader::Facts() const { return m_state->facts; }

MediaResult AviReader::ReadFrame(long long n, std::vector<unsigned char>& pixels) {
  const State& state = *m_state;
  if (!state.demuxer) return MediaResult::Failed("no AVI file is open");
  const AviStreamFacts& facts = state.facts;
  const std::string which = "frame " + std::to_string(n) + " of " + state.path;
  if (n < 0 || n >= facts.frames) {
    return MediaResult::Failed(which + " is not there: it holds " + std::to_string(facts.frames) +
                               " frames");
  }
  if (facts.width <= 0 || facts.height <= 0) {
    return MediaResult::Failed(which + " has no size");
  }
  pixels.assign(std::size_t(facts.width) * std::size_t(facts.height) * 4, 0);
  const std::string why = DecodeFrame(state.demuxer.get(), state.index, n, pixels.data());
  if (!why.empty()) return MediaResult::Failed(which + " cannot be read: " + why);
  return MediaResult();
}
