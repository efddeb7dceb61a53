// The AVI writer over FFmpeg: libavformat's AVI muxer writes the file (and turns it into an
// OpenDML file past 1 GiB by itself) through an I/O context of ours on a descriptor opened
// without emptying the file; every compressor but Full Frames gets its frames through a
// FrameEncoder.
//
// A file being written always has room on disk for its own end. Before each packet reaches
// the muxer, the file is allocated (fallocate) up to the packet, its chunk header and the
// bytes the muxer appends when it finishes (the indexes, which grow with the frame count).
// When that allocation fails the packet is refused before the muxer sees any of it: the muxer
// indexes a packet before its bytes are written, and once its I/O context has failed it
// writes nothing more, not even the trailer, so a packet cut short by a full disk would leave
// a file without headers' counts or index. Refused instead, the packet is a failed write, and
// the frames before it are finished into a whole file in the room kept for that. At the end
// the file is cut back to what the muxer wrote.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "media/avi_writer.h"
#include "media/ffmpeg_owners.h"
#include "media/frame_encoder.h"
#include "media/writer_faults.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

using media_detail::FrameEncoder;

namespace {

constexpr int kIoBufferSize = 1 << 16;

// What the AVI muxer appends to a file when it finishes it, and when it starts an OpenDML
// segment past each GiB: per index entry (one per frame, empty frames of a gap included) 16
// bytes in the old index and 8 in a segment's index; per segment the index's and the RIFF and
// LIST headers; a few pad bytes.
constexpr long long kIndexBytesPerEntry = 16 + 8;
constexpr long long kSegmentBytes = 1LL << 30;
constexpr long long kBytesPerSegment = 256;
constexpr long long kTailSlack = 1024;
// A frame's chunk header (id and size); an empty frame of a gap is this alone.
constexpr long long kChunkHeaderBytes = 8;
// One frame is one packet, whose size FFmpeg counts in an int.
constexpr long long kMaxFrameBytes = 0x7FFFFFFF;

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

std::atomic<int> g_encoderThreads{0};

std::map<WriterStep, int>& Faults() {
  static std::map<WriterStep, int> faults;
  return faults;
}

bool Faulted(WriterStep step) {
  auto it = Faults().find(step);
  if (it == Faults().end() || --it->second > 0) return false;
  Faults().erase(it);
  return true;
}

const MediaResult& Injected() {
  static const MediaResult injected = MediaResult::Failed("injected failure");
  return injected;
}

// The one owner of the file's descriptor.
class Descriptor {
 public:
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  void Reset(int fd) {
    Close();
    m_fd = fd;
  }
  int get() const { return m_fd; }
  /// False when the close reports a lost write (as a network file system does).
  bool Close() {
    if (m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close is interrupted; that is no lost write.
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int m_fd = -1;
};

// Everything a writer holds.
struct WriterFile {
  std::string path;
  // Declared in the order they are made: the encoder and the muxer go before the I/O context,
  // the context before the descriptor it writes through.
  Descriptor fd;
  media_detail::IoContextPtr io;
  media_detail::OutputFormatPtr muxer;
  std::unique_ptr<FrameEncoder> encoder;
  AVRational timeBase{1, 25};
  long long frameBytes = 0;
  bool started = false;
  bool finished = false;
  MediaResult finishResult;
  // Where the descriptor stands and the end of what the muxer has written: the file's end as
  // the muxer must see it, whatever has been allocated beyond it.
  long long position = 0;
  long long logicalEnd = 0;
  // Allocated on disk up to reservedEnd, while the file system can allocate (a regular file
  // whose file system has fallocate); a regular file is cut back to logicalEnd at the end.
  bool regularFile = false;
  bool reserving = false;
  long long reservedEnd = 0;
  long long entries = 0;     // index entries the muxer holds: samples up to the last written
  long long nextSample = 0;  // the first sample a write may take
  // The error of the first packet the file could not take: the file takes none after it, so
  // that it holds the frames before that one and no gap.
  int packetFailure = 0;

  MediaResult WriteFailure(const std::string& what, int error) const {
    return MediaResult::Failed("cannot write " + what + " to " + path + ": " + ErrorText(error));
  }
};

using State = WriterFile;

int WriteToFile(void* opaque, uint8_t* buffer, int size) {
  State& file = *static_cast<State*>(opaque);
  int left = size;
  while (left > 0) {
    const ssize_t written = ::write(file.fd.get(), buffer, static_cast<size_t>(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    buffer += written;
    left -= static_cast<int>(written);
    file.position += written;
    file.logicalEnd = std::max(file.logicalEnd, file.position);
  }
  return size;
}

int64_t SeekInFile(void* opaque, int64_t offset, int whence) {
  State& file = *static_cast<State*>(opaque);
  // The room reserved past the muxer's end does not belong to the file it writes.
  if (whence & AVSEEK_SIZE) return file.logicalEnd;
  whence &= ~AVSEEK_FORCE;
  if (whence == SEEK_END) {
    offset += file.logicalEnd;
    whence = SEEK_SET;
  }
  const off_t position = ::lseek(file.fd.get(), offset, whence);
  if (position < 0) return AVERROR(errno);
  file.position = position;
  return position;
}

// Allocates the file on disk up to end. 0, or the error of a disk that has no room for it
// (full, over quota, over the process's file size limit). A file system that cannot allocate
// ahead is written without.
int Reserve(State& file, long long end) {
  if (!file.reserving || end <= file.reservedEnd) return 0;
  for (;;) {
    if (::fallocate(file.fd.get(), 0, file.reservedEnd, end - file.reservedEnd) == 0) {
      file.reservedEnd = end;
      return 0;
    }
    switch (errno) {
      case EINTR:
        continue;
      case ENOSPC:
      case EDQUOT:
      case EFBIG:
      case EIO:
        return AVERROR(errno);
      default:  // EOPNOTSUPP and the like
        file.reserving = false;
        return 0;
    }
  }
}

// The room a file needs beyond end to be finished holding entries index entries.
long long TailBytes(long long entries, long long end) {
  const long long segments = end / kSegmentBytes + 2;
  return entries * kIndexBytesPerEntry + segments * kBytesPerSegment + kTailSlack;
}

// Makes the file as long as the muxer wrote it, dropping the room reserved past its end.
int CutToLogicalEnd(State& file) {
  if (!file.regularFile) return 0;
  struct stat status {};
  if (::fstat(file.fd.get(), &status) != 0) return AVERROR(errno);
  if (status.st_size == file.logicalEnd || ::ftruncate(file.fd.get(), file.logicalEnd) == 0) {
    return 0;
  }
  return AVERROR(errno);
}

// Sets up the muxer for the file's one stream and writes the header. Only here does an
// existing file lose what it held.
MediaResult WriteHeader(State& file, const AVCodecParameters* parameters, bool rawBottomUp) {
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, "avi", nullptr) < 0 || !context) {
    return MediaResult::Failed("no AVI muxer in this FFmpeg");
  }
  media_detail::OutputFormatPtr muxer(context);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return MediaResult::Failed("out of memory");
  media_detail::IoContextPtr io(
      avio_alloc_context(buffer, kIoBufferSize, 1, &file, nullptr, WriteToFile, SeekInFile));
  if (!io) {
    av_free(buffer);
    return MediaResult::Failed("out of memory");
  }
  muxer->pb = io.get();
  // Every packet reaches the file as it is written, so a full disk shows at that frame.
  muxer->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
  muxer->flush_packets = 1;

  AVStream* st = avformat_new_stream(muxer.get(), nullptr);
  if (!st || avcodec_parameters_copy(st->codecpar, parameters) < 0) {
    return MediaResult::Failed("out of memory");
  }
  st->time_base = file.timeBase;
  st->avg_frame_rate = av_inv_q(st->time_base);
  st->r_frame_rate = st->avg_frame_rate;

  struct stat status {};
  file.regularFile = ::fstat(file.fd.get(), &status) == 0 && S_ISREG(status.st_mode);
  if (file.regularFile && ::ftruncate(file.fd.get(), 0) != 0) {
    return file.WriteFailure("the header", AVERROR(errno));
  }
  ::lseek(file.fd.get(), 0, SEEK_SET);
  file.position = 0;
  file.logicalEnd = 0;
  file.reserving = file.regularFile;
  file.reservedEnd = 0;
  file.entries = 0;

  AVDictionary* options = nullptr;
  // Rows bottom-up as given, declared by a positive height, instead of turned over.
  if (rawBottomUp) av_dict_set(&options, "flipped_raw_rgb", "1", 0);
  int ret = avformat_write_header(muxer.get(), &options);
  media_detail::DictionaryPtr unused(options);  // what the muxer did not take
  if (ret >= 0 && io->error < 0) ret = io->error;
  // A file without frames must be finishable as well; one that cannot be is left empty.
  const long long end = avio_tell(io.get());
  if (ret >= 0) ret = Reserve(file, end + TailBytes(0, end));
  if (ret < 0) {
    file.logicalEnd = 0;
    CutToLogicalEnd(file);
    return file.WriteFailure("the header", ret);
  }
  file.io = std::move(io);
  file.muxer = std::move(muxer);
  return MediaResult();
}

// Hands one packet, timed in the stream's own rate (one tick a sample), to the muxer once the
// file has room for it and for the file's end after it; a packet without that room is refused
// whole. 0 or an FFmpeg error.
int WritePacketOnce(State& file, AVPacket* packet) {
  long long sample = file.entries;
  if (packet->pts != AV_NOPTS_VALUE) sample = std::max<long long>(sample, packet->pts);
  if (packet->dts != AV_NOPTS_VALUE) sample = std::max<long long>(sample, packet->dts);
  // Samples skipped since the last packet become empty frames ahead of this one.
  const long long end = avio_tell(file.io.get()) + (sample - file.entries) * kChunkHeaderBytes +
                        kChunkHeaderBytes + packet->size + (packet->size & 1);
  const int reserved = Reserve(file, end + TailBytes(sample + 1, end));
  if (reserved < 0) return reserved;

  AVStream* st = file.muxer->streams[0];
  packet->stream_index = 0;
  av_packet_rescale_ts(packet, file.timeBase, st->time_base);
  const int ret = av_write_frame(file.muxer.get(), packet);
  file.entries = sample + 1;
  if (ret < 0) return ret;
  return file.io->error < 0 ? file.io->error : 0;
}

// The same, for every packet up to the first the file could not take; none after it.
int WritePacket(State& file, AVPacket* packet) {
  if (!file.muxer) return AVERROR(EINVAL);
  if (file.packetFailure < 0) return file.packetFailure;
  const int written = WritePacketOnce(file, packet);
  if (written < 0) file.packetFailure = written;
  return written;
}

// The frames the compressor still holds, then the index and the headers' counts into the room
// kept for them; the file cut to its end and closed. Once: later calls give the first result.
const MediaResult& FinishFile(State& file) {
  if (file.finished) return file.finishResult;
  file.finished = true;
  if (!file.started) {
    file.fd.Close();
    file.finishResult = MediaResult::Failed("cannot finish " + file.path + ": not started");
    return file.finishResult;
  }
  // The file is finished even when the held frames find no room: the frames before them stay
  // a whole file.
  int ret = 0;
  // After a packet the file could not take (told by its write) the held frames come after it:
  // they are dropped with the encoder.
  if (file.encoder && file.packetFailure == 0) {
    ret = file.encoder->Flush([&file](AVPacket* packet) { return WritePacket(file, packet); });
    if (ret < 0) file.finishResult = file.WriteFailure("the last frames", ret);
  }
  file.encoder.reset();
  ret = av_write_trailer(file.muxer.get());
  if (ret >= 0 && file.io->error < 0) ret = file.io->error;
  if (ret < 0 && file.finishResult) file.finishResult = file.WriteFailure("the index", ret);
  file.muxer.reset();
  file.io.reset();
  ret = CutToLogicalEnd(file);
  if (ret < 0 && file.finishResult) file.finishResult = file.WriteFailure("the end", ret);
  if (!file.fd.Close() && file.finishResult) {
    file.finishResult =
        MediaResult::Failed("cannot close " + file.path + ": " + std::strerror(errno));
  }
  return file.finishResult;
}

}  // namespace

struct AviWriter::State : WriterFile {};

AviWriter::AviWriter() : m_state(std::make_unique<State>()) {}

AviWriter::~AviWriter() {
  if (m_state->started) FinishFile(*m_state);
}

MediaResult AviWriter::Open(const std::string& path) {
  if (Faulted(WriterStep::kOpen)) return Injected();
  if (m_state->fd.get() >= 0 || m_state->finished) {
    return MediaResult::Failed("cannot open " + path + ": the writer is in use");
  }
  m_state->path = path;
  // Created when missing, not emptied: an existing file keeps its bytes until Start.
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  // Only a regular file can be written, sought in and finished: a named pipe (opened without
  // waiting, or refused with ENXIO when it has no reader) or a device is refused by name.
  struct stat status {};
  if (fd < 0) {
    const int cause = errno;
    if (cause == ENXIO && ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
      return MediaResult::Failed("cannot open " + path + " for writing: not a regular file");
    }
    return MediaResult::Failed("cannot open " + path + " for writing: " + std::strerror(cause));
  }
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return MediaResult::Failed("cannot open " + path + " for writing: not a regular file");
  }
  m_state->fd.Reset(fd);
  // From here on writes wait as usual.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return MediaResult();
}

MediaResult AviWriter::Start(const VideoFormat& format) {
  if (Faulted(WriterStep::kStart)) return Injected();
  State& file = *m_state;
  if (file.fd.get() < 0 || file.started) {
    return MediaResult::Failed("cannot start " + file.path + ": not open, or started already");
  }
  const std::string size = std::to_string(format.width) + " x " + std::to_string(format.height);
  if (format.width <= 0 || format.height <= 0 ||
      static_cast<long long>(format.width) * format.height > kMaxFrameBytes / 4) {
    return MediaResult::Failed("frames of " + size + " cannot be written");
  }
  if (format.rate == 0 || format.scale == 0 || format.rate > INT32_MAX ||
      format.scale > INT32_MAX) {
    return MediaResult::Failed("no frame rate for " + file.path);
  }
  file.frameBytes = static_cast<long long>(format.width) * format.height * 4;
  file.timeBase = AVRational{static_cast<int>(format.scale), static_cast<int>(format.rate)};

  media_detail::CodecParametersPtr parameters(avcodec_parameters_alloc());
  if (!parameters) return MediaResult::Failed("out of memory");
  const CompressorInfo* compressor = format.compressor;
  const bool raw = !compressor || compressor->encoder[0] == '\0';
  if (raw) {
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters->codec_tag = 0;  // BI_RGB
    parameters->format = AV_PIX_FMT_BGRA;
    parameters->width = format.width;
    parameters->height = format.height;
    parameters->bits_per_coded_sample = 32;
  } else {
    const std::string refusal = CompressorRefusal(*compressor, format.width, format.height);
    if (!refusal.empty()) {
      return MediaResult::Failed(std::string(compressor->name) + " cannot take frames of " + size +
                                 ": " + refusal);
    }
    media_detail::EncoderSettings settings;
    settings.compressor = compressor;
    settings.width = format.width;
    settings.height = format.height;
    settings.bottomUp = format.bottomUp;
    settings.rate = format.rate;
    settings.scale = format.scale;
    settings.quality = format.quality;
    settings.threads = g_encoderThreads.load();
    settings.matte = format.matte;
    std::string why;
    std::unique_ptr<FrameEncoder> encoder = FrameEncoder::Open(settings, &why);
    if (!encoder) {
      return MediaResult::Failed(std::string(compressor->name) + " cannot take frames of " + size +
                                 ": " + why);
    }
    const int ret = encoder->FillParameters(parameters.get());
    if (ret < 0) return MediaResult::Failed(ErrorText(ret));
    file.encoder = std::move(encoder);
  }
  MediaResult header = WriteHeader(file, parameters.get(), raw && format.bottomUp);
  if (!header) {
    file.encoder.reset();
    return header;
  }
  file.started = true;
  return MediaResult();
}

MediaResult AviWriter::Write(const unsigned char* frame, std::size_t bytes, long long sample,
                             bool keyFrame) {
  if (Faulted(WriterStep::kWrite)) return Injected();
  State& file = *m_state;
  if (!file.started || file.finished) {
    return MediaResult::Failed("cannot write to " + file.path + ": not started, or finished");
  }
  // Never read past the caller's buffer: it must hold one whole frame.
  if (!frame || bytes < static_cast<std::size_t>(file.frameBytes)) {
    return MediaResult::Failed("a frame of " + std::to_string(bytes) + " bytes is short of " +
                               std::to_string(file.frameBytes));
  }
  if (sample < file.nextSample) {
    return MediaResult::Failed("frame " + std::to_string(sample) + " comes after frame " +
                               std::to_string(file.nextSample) + " in " + file.path);
  }
  int ret;
  if (!file.encoder) {
    media_detail::PacketPtr packet(av_packet_alloc());
    if (!packet) return MediaResult::Failed("out of memory");
    packet->data = const_cast<uint8_t*>(frame);
    packet->size = static_cast<int>(file.frameBytes);
    packet->pts = sample;
    packet->dts = sample;
    packet->duration = 1;
    if (keyFrame) packet->flags |= AV_PKT_FLAG_KEY;
    ret = WritePacket(file, packet.get());
  } else {
    ret = file.encoder->Encode(frame, sample, keyFrame,
                               [&file](AVPacket* packet) { return WritePacket(file, packet); });
  }
  if (ret < 0) return file.WriteFailure("frame " + std::to_string(sample), ret);
  file.nextSample = sample + 1;
  return MediaResult();
}

MediaResult AviWriter::Finish() {
  const bool injected = Faulted(WriterStep::kFinish);
  const MediaResult& finished = FinishFile(*m_state);
  return injected ? Injected() : finished;
}

const std::string& AviWriter::Path() const { return m_state->path; }

bool AviWriter::Started() const { return m_state->started; }

long long AviWriter::FramesInFile() const { return m_state->entries; }

void SetEncoderThreads(int threads) { g_encoderThreads = threads < 0 ? 0 : threads; }

void FailWriterStep(WriterStep step, int nth) { Faults()[step] = nth < 1 ? 1 : nth; }

void ClearWriterFaults() { Faults().clear(); }
