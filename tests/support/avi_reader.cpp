#include "tests/support/avi_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "media/ffmpeg_owners.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace testing_support {

namespace {

using media_detail::CodecContextPtr;
using media_detail::FramePtr;
using media_detail::InputFormatPtr;
using media_detail::PacketPtr;
using media_detail::SwsContextPtr;

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// The AVI demuxer times some codecs' packets by their decoding time only; with every frame a
// key frame the two agree.
std::int64_t FramePosition(const AVPacket* packet) {
  return packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
}

// ---- RIFF chunks -------------------------------------------------------------------------

class ChunkReader {
 public:
  explicit ChunkReader(const std::string& path) : m_in(path, std::ios::binary) {}
  bool ok() const { return static_cast<bool>(m_in); }

  bool Read(std::uint64_t at, void* out, std::size_t size) {
    m_in.clear();
    m_in.seekg(static_cast<std::streamoff>(at));
    m_in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(m_in.gcount()) == size;
  }
  std::uint32_t U32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
  }
  std::string Id(const std::uint8_t* p) { return std::string(reinterpret_cast<const char*>(p), 4); }

 private:
  std::ifstream m_in;
};

struct WalkState {
  bool inVideoStream = false;
  bool haveVideo = false;
};

void WalkList(ChunkReader& reader, std::uint64_t begin, std::uint64_t end, AviHeaders* headers,
              WalkState* state) {
  std::uint64_t at = begin;
  std::uint8_t head[12];
  while (at + 8 <= end && reader.Read(at, head, 8)) {
    const std::string id = reader.Id(head);
    const std::uint32_t size = reader.U32(head + 4);
    if (id == "LIST" && reader.Read(at + 8, head + 8, 4)) {
      const std::string form = reader.Id(head + 8);
      if (form != "movi") WalkList(reader, at + 12, at + 8 + size, headers, state);
    } else if (id == "avih") {
      std::uint8_t avih[20];
      if (reader.Read(at + 8, avih, sizeof avih)) headers->totalFrames = reader.U32(avih + 16);
    } else if (id == "strh") {
      std::uint8_t strh[36];
      if (reader.Read(at + 8, strh, sizeof strh)) {
        state->inVideoStream = reader.Id(strh) == "vids" && !state->haveVideo;
        if (state->inVideoStream) {
          headers->handler = reader.U32(strh + 4);
          headers->scale = reader.U32(strh + 20);
          headers->rate = reader.U32(strh + 24);
          headers->length = reader.U32(strh + 32);
        }
      }
    } else if (id == "strf" && state->inVideoStream) {
      std::uint8_t strf[20];
      if (reader.Read(at + 8, strf, sizeof strf)) {
        headers->width = static_cast<std::int32_t>(reader.U32(strf + 4));
        headers->height = static_cast<std::int32_t>(reader.U32(strf + 8));
        headers->bitCount = static_cast<std::uint16_t>(strf[14] | (strf[15] << 8));
        headers->compression = reader.U32(strf + 16);
      }
      state->haveVideo = true;
      state->inVideoStream = false;
    } else if (id == "idx1") {
      headers->hasIdx1 = true;
    } else if (id == "indx") {
      headers->hasIndx = true;
    } else if (id == "dmlh") {
      std::uint8_t dmlh[4];
      if (reader.Read(at + 8, dmlh, sizeof dmlh)) headers->dmlhFrames = reader.U32(dmlh);
    }
    at += 8 + std::uint64_t(size) + (size & 1);
  }
}

// ---- decoding -----------------------------------------------------------------------------

struct OpenVideo {
  InputFormatPtr demuxer;
  int index = -1;
  const AVCodec* codec = nullptr;
};

bool Open(const std::string& path, OpenVideo* video, std::string* error) {
  AVFormatContext* context = nullptr;
  const std::string url = "file:" + path;
  int ret = avformat_open_input(&context, url.c_str(), nullptr, nullptr);
  if (ret < 0) {
    *error = "cannot open " + path + ": " + ErrorText(ret);
    return false;
  }
  video->demuxer.reset(context);
  ret = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &video->codec, 0);
  if (ret < 0) {
    *error = "no video stream in " + path + ": " + ErrorText(ret);
    return false;
  }
  video->index = ret;
  return true;
}

TgaPicture ToPicture(const AVFrame* frame) {
  const int w = frame->width;
  const int h = frame->height;
  TgaPicture picture(w, h);
  const auto format = static_cast<AVPixelFormat>(frame->format);
  if (format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_RGBA) {
    const bool bgr = format == AV_PIX_FMT_BGRA;
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
      for (int x = 0; x < w; ++x, row += 4) {
        picture.At(x, y) = Rgba{bgr ? row[2] : row[0], row[1], bgr ? row[0] : row[2], row[3]};
      }
    }
    return picture;
  }
  if (format == AV_PIX_FMT_GBRAP || format == AV_PIX_FMT_GBRP) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const auto sample = [&](int plane) {
          return frame->data[plane][y * frame->linesize[plane] + x];
        };
        picture.At(x, y) = Rgba{sample(2), sample(0), sample(1),
                                format == AV_PIX_FMT_GBRAP ? sample(3) : std::uint8_t{255}};
      }
    }
    return picture;
  }
  SwsContextPtr convert(sws_getContext(w, h, format, w, h, AV_PIX_FMT_BGRA,
                                       SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                       nullptr, nullptr, nullptr));
  std::vector<std::uint8_t> bgra(std::size_t(w) * h * 4);
  std::uint8_t* out[4] = {bgra.data(), nullptr, nullptr, nullptr};
  const int outStride[4] = {w * 4, 0, 0, 0};
  sws_scale(convert.get(), frame->data, frame->linesize, 0, h, out, outStride);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    const std::uint8_t* p = &bgra[i * 4];
    picture.pixels[i] = Rgba{p[2], p[1], p[0], 255};
  }
  return picture;
}

}  // namespace

bool ReadAviHeaders(const std::string& path, AviHeaders* headers, std::string* error) {
  *headers = AviHeaders();
  ChunkReader reader(path);
  std::error_code ec;
  const std::uint64_t fileSize = std::filesystem::file_size(path, ec);
  if (!reader.ok() || ec) {
    *error = "cannot open " + path;
    return false;
  }
  WalkState state;
  std::uint64_t at = 0;
  std::uint8_t head[12];
  while (at + 12 <= fileSize && reader.Read(at, head, 12) && reader.Id(head) == "RIFF") {
    const std::uint32_t size = reader.U32(head + 4);
    headers->riffForms.push_back(reader.Id(head + 8));
    headers->riffSizes.push_back(size);
    WalkList(reader, at + 12, at + 8 + size, headers, &state);
    at += 8 + std::uint64_t(size) + (size & 1);
  }
  headers->fileSize = fileSize;
  if (headers->riffForms.empty() || headers->riffForms[0] != "AVI ") {
    *error = path + " is not an AVI file";
    return false;
  }
  return true;
}

bool ForEachAviPacket(const std::string& path, const std::function<void(const AviPacket&)>& visit,
                      std::string* error) {
  OpenVideo video;
  if (!Open(path, &video, error)) return false;
  PacketPtr packet(av_packet_alloc());
  int ret;
  while ((ret = av_read_frame(video.demuxer.get(), packet.get())) >= 0) {
    if (packet->stream_index == video.index) {
      visit(AviPacket{packet->data, packet->size, FramePosition(packet.get()),
                      (packet->flags & AV_PKT_FLAG_KEY) != 0});
    }
    av_packet_unref(packet.get());
  }
  if (ret != AVERROR_EOF) {
    *error = "reading " + path + ": " + ErrorText(ret);
    return false;
  }
  return true;
}

bool DecodeAvi(const std::string& path, DecodedAvi* decoded, std::string* error) {
  *decoded = DecodedAvi();
  OpenVideo video;
  if (!Open(path, &video, error)) return false;
  const AVStream* st = video.demuxer->streams[video.index];
  CodecContextPtr decoder(avcodec_alloc_context3(video.codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), st->codecpar) < 0 ||
      avcodec_open2(decoder.get(), video.codec, nullptr) < 0) {
    *error = "cannot open the decoder for " + path;
    return false;
  }
  decoded->codec = video.codec->name;
  decoded->width = st->codecpar->width;
  decoded->height = st->codecpar->height;

  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  const auto receive = [&]() {
    int ret;
    while ((ret = avcodec_receive_frame(decoder.get(), frame.get())) >= 0) {
      decoded->pixelFormat = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
      decoded->frames.push_back(ToPicture(frame.get()));
      av_frame_unref(frame.get());
    }
    return ret == AVERROR(EAGAIN) || ret == AVERROR_EOF ? 0 : ret;
  };
  int ret;
  while ((ret = av_read_frame(video.demuxer.get(), packet.get())) >= 0) {
    if (packet->stream_index == video.index) {
      decoded->keyFrames.push_back((packet->flags & AV_PKT_FLAG_KEY) != 0);
      decoded->pts.push_back(FramePosition(packet.get()));
      ret = avcodec_send_packet(decoder.get(), packet.get());
      if (ret >= 0) ret = receive();
      if (ret < 0) {
        *error = "decoding " + path + ": " + ErrorText(ret);
        return false;
      }
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  ret = receive();
  if (ret < 0) {
    *error = "decoding " + path + ": " + ErrorText(ret);
    return false;
  }
  return true;
}

namespace {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  *status = ::pclose(pipe);
  return output;
}

std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ValueOf(const std::string& output, const std::string& key) {
  const std::string prefix = key + "=";
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  }
  return "";
}

}  // namespace

bool HaveTool(const std::string& tool) {
  int status = 0;
  RunCommand("command -v " + tool + " >/dev/null 2>&1", &status);
  return status == 0;
}

bool FfprobeRead(const std::string& path, FfprobeView* view) {
  *view = FfprobeView();
  int status = 0;
  view->output = RunCommand(
      "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
      "stream=codec_tag_string,width,height,r_frame_rate,nb_read_packets -of default=nw=1 " +
          Quoted(path) + " 2>&1",
      &status);
  if (status != 0) return false;
  view->codecTag = ValueOf(view->output, "codec_tag_string");
  view->width = std::atoi(ValueOf(view->output, "width").c_str());
  view->height = std::atoi(ValueOf(view->output, "height").c_str());
  view->frameRate = ValueOf(view->output, "r_frame_rate");
  const std::string packets = ValueOf(view->output, "nb_read_packets");
  view->packets = packets.empty() ? -1 : std::atoi(packets.c_str());
  return !view->codecTag.empty();
}

bool FfprobeCountFrames(const std::string& path, FfprobeFrames* view) {
  *view = FfprobeFrames();
  int status = 0;
  view->output = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=nb_read_frames,duration -of default=nw=1 " +
          Quoted(path) + " 2>&1",
      &status);
  if (status != 0) return false;
  std::istringstream lines(view->output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("nb_read_frames=", 0) != 0 && line.rfind("duration=", 0) != 0) {
      view->complained = true;
    }
  }
  const std::string frames = ValueOf(view->output, "nb_read_frames");
  const std::string duration = ValueOf(view->output, "duration");
  if (frames.empty()) return false;
  view->frames = std::atoi(frames.c_str());
  view->duration = duration.empty() || duration == "N/A" ? -1 : std::atof(duration.c_str());
  return true;
}

bool GstreamerRead(const std::string& path, GstreamerView* view) {
  *view = GstreamerView();
  int status = 0;
  // -v prints every buffer the sink takes ("chain") with its flags, and the negotiated caps.
  // Bounded: a pipeline that never reaches its end (seen on a file without frames) fails.
  const std::string output =
      RunCommand("timeout 120 gst-launch-1.0 -v filesrc location=" + Quoted(path) +
                     " ! avidemux ! fakesink silent=false 2>&1",
                 &status);
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("last-message = chain") != std::string::npos) {
      ++view->buffers;
      if (line.find("delta-unit") != std::string::npos) ++view->deltaUnits;
    } else if (line.find("GstFakeSink:fakesink0.GstPad:sink: caps = ") != std::string::npos) {
      view->caps = line.substr(line.find("caps = ") + 7);
    }
  }
  view->output = output.size() > 2000 ? output.substr(output.size() - 2000) : output;
  return status == 0;
}

TgaPicture RampPicture(int width, int height, int seed) {
  TgaPicture picture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.At(x, y) = Rgba{static_cast<std::uint8_t>(width > 1 ? x * 255 / (width - 1) : 0),
                              static_cast<std::uint8_t>(height > 1 ? y * 255 / (height - 1) : 0),
                              static_cast<std::uint8_t>((seed * 37 + x + y) & 0xFF),
                              static_cast<std::uint8_t>((seed * 11 + x * 7 + y * 13) & 0xFF)};
    }
  }
  return picture;
}

TgaPicture NoisePicture(int width, int height, unsigned seed) {
  TgaPicture picture(width, height);
  std::mt19937 generator(seed);
  for (Rgba& p : picture.pixels) {
    const std::uint32_t bits = generator();
    p = Rgba{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
             static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
  }
  return picture;
}

std::vector<std::uint8_t> FrameBufferOf(const TgaPicture& picture) {
  std::vector<std::uint8_t> buffer;
  buffer.reserve(picture.pixels.size() * 4);
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const Rgba& p = picture.At(x, y);
      buffer.insert(buffer.end(), {p.b, p.g, p.r, p.a});
    }
  }
  return buffer;
}

PictureDifference ComparePictures(const TgaPicture& a, const TgaPicture& b, bool withAlpha) {
  PictureDifference result;
  if (a.width != b.width || a.height != b.height) {
    result.maxDiff = 256;
    result.meanDiff = 256;
    return result;
  }
  long long sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const Rgba& p = a.pixels[i];
    const Rgba& q = b.pixels[i];
    const int d[4] = {std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b),
                      withAlpha ? std::abs(p.a - q.a) : 0};
    for (const int channel : d) result.maxDiff = std::max(result.maxDiff, channel);
    sum += d[0] + d[1] + d[2];
  }
  result.meanDiff = a.pixels.empty() ? 0.0 : double(sum) / (3.0 * double(a.pixels.size()));
  return result;
}

DecodedAvi DecodeAviOrFail(const std::string& path) {
  DecodedAvi decoded;
  std::string error;
  if (!DecodeAvi(path, &decoded, &error)) {
    ADD_FAILURE() << path << ": " << error;
    decoded.frames.clear();
  }
  return decoded;
}

void ExpectWholeAvi(const std::string& path, const std::vector<TgaPicture>& frames,
                    bool withAlpha) {
  SCOPED_TRACE(path);
  const auto count = static_cast<std::uint32_t>(frames.size());
  AviHeaders headers;
  std::string error;
  ASSERT_TRUE(ReadAviHeaders(path, &headers, &error)) << error;
  ASSERT_EQ(headers.riffSizes.size(), 1u) << "one RIFF chunk";
  EXPECT_EQ(std::uint64_t{headers.riffSizes[0]} + 8, headers.fileSize)
      << "the RIFF chunk ends where the file does";
  EXPECT_EQ(headers.totalFrames, count);
  EXPECT_EQ(headers.length, count);
  EXPECT_TRUE(headers.hasIdx1);

  const DecodedAvi decoded = DecodeAviOrFail(path);
  ASSERT_EQ(decoded.frames.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(ComparePictures(decoded.frames[i], frames[i], withAlpha).maxDiff, 0) << "frame " << i;
  }

  if (HaveTool("ffprobe")) {
    FfprobeFrames probe;
    EXPECT_TRUE(FfprobeCountFrames(path, &probe)) << probe.output;
    EXPECT_FALSE(probe.complained) << probe.output;
    EXPECT_EQ(probe.frames, static_cast<int>(count)) << probe.output;
    if (headers.rate > 0) {
      EXPECT_NEAR(probe.duration, double(count) * headers.scale / headers.rate, 1e-3)
          << probe.output;
    }
  }
  // GStreamer's demuxer refuses an AVI file without frames, FFmpeg's own as well.
  if (count > 0 && HaveTool("gst-launch-1.0")) {
    GstreamerView gst;
    EXPECT_TRUE(GstreamerRead(path, &gst)) << gst.output;
    EXPECT_EQ(gst.buffers, static_cast<int>(count)) << gst.output;
  }
}

TgaPicture MatteOf(const TgaPicture& picture) {
  TgaPicture matte = picture;
  for (Rgba& p : matte.pixels) p = {p.a, p.a, p.a, p.a};
  return matte;
}

}  // namespace testing_support
