// The AVIFile operations over FFmpeg: files are written by libavformat's AVI muxer (which
// turns into OpenDML past 1 GiB by itself) and read by its AVI demuxer; compressed streams
// hand their frames to a FrameEncoder. Handles are reference counted: a stream holds its file,
// a compressed stream holds its source. AVIStreamFinish finishes a
// file and says whether that worked; the last release of a file not finished that way
// finishes it too, unheard.
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
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/mfc/cfile.h"
#include "platform/vfw/compressor_catalogue.h"
#include "platform/vfw/compressor_chooser.h"
#include "platform/vfw/ffmpeg_owners.h"
#include "platform/vfw/frame_encoder.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/vfw_trace.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

using vfw_detail::FrameEncoder;

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

}  // namespace

struct AviStream;

struct AviFile {
  unsigned long refs = 1;
  bool writing = false;
  // Writing: the descriptor the open proved writable, and once a format is set the muxer
  // writing through it. The muxer goes before its I/O context.
  CFile fd;
  vfw_detail::IoContextPtr io;
  vfw_detail::OutputFormatPtr muxer;
  bool headerWritten = false;
  AviStream* stream = nullptr;  // the one stream written; it holds a reference on the file
  // Where the descriptor stands and the end of what the muxer has written: the file's end as
  // the muxer must see it, whatever has been allocated beyond it.
  long long position = 0;
  long long logicalEnd = 0;
  // Allocated on disk up to reservedEnd, while the file system can allocate (a regular file
  // whose file system has fallocate); a regular file is cut back to logicalEnd at the end.
  bool regularFile = false;
  bool reserving = false;
  long long reservedEnd = 0;
  long long entries = 0;  // index entries the muxer holds: samples up to the last written
  bool finished = false;
  HRESULT finishResult = AVIERR_OK;
  // Reading.
  vfw_detail::InputFormatPtr demuxer;
};

struct AviStream {
  enum class Kind { kUncompressed, kCompressed, kRead };

  unsigned long refs = 1;
  Kind kind = Kind::kUncompressed;
  AviFile* file = nullptr;      // uncompressed and read streams: a reference held
  AviStream* source = nullptr;  // compressed streams: a reference held
  AVISTREAMINFOA info{};
  BITMAPINFOHEADER format{};
  bool hasFormat = false;
  long long nextSample = 0;  // uncompressed streams: the first sample not yet written
  int index = 0;             // read streams: the demuxer's stream index
  AVICOMPRESSOPTIONS options{};
  const CompressorInfo* compressor = nullptr;
  std::unique_ptr<FrameEncoder> encoder;
  bool flushed = false;  // compressed streams: the encoder's last packets have been handed on
  HRESULT flushResult = AVIERR_OK;
};

namespace {

struct LayerState {
  std::map<const AviFile*, std::unique_ptr<AviFile>> files;
  std::map<const AviStream*, std::unique_ptr<AviStream>> streams;
  std::vector<std::string>* trace = nullptr;
  std::map<VfwOp, int> faults;
};

LayerState& State() {
  static LayerState state;
  return state;
}

void Trace(const std::string& line) {
  if (State().trace) State().trace->push_back("vfw:" + line);
}

bool Faulted(VfwOp op) {
  auto it = State().faults.find(op);
  if (it == State().faults.end()) return false;
  if (--it->second > 0) return false;
  State().faults.erase(it);
  return true;
}

AviFile* LiveFile(PAVIFILE file) { return State().files.count(file) ? file : nullptr; }

AviStream* LiveStream(PAVISTREAM stream) {
  return State().streams.count(stream) ? stream : nullptr;
}

const char* KindName(const AviStream* stream) {
  if (!stream) return "unknown";
  switch (stream->kind) {
    case AviStream::Kind::kUncompressed:
      return "uncompressed";
    case AviStream::Kind::kCompressed:
      return "compressed";
    case AviStream::Kind::kRead:
      return "read";
  }
  return "unknown";
}

AviFile* NewFile() {
  auto file = std::make_unique<AviFile>();
  AviFile* handle = file.get();
  State().files.emplace(handle, std::move(file));
  return handle;
}

AviStream* NewStream(AviStream::Kind kind) {
  auto stream = std::make_unique<AviStream>();
  stream->kind = kind;
  AviStream* handle = stream.get();
  State().streams.emplace(handle, std::move(stream));
  return handle;
}

// ---- the file's bytes: written through the descriptor the open proved writable ----------

int WriteToFile(void* opaque, uint8_t* buffer, int size) {
  AviFile& file = *static_cast<AviFile*>(opaque);
  int left = size;
  while (left > 0) {
    const ssize_t written = ::write(file.fd.Descriptor(), buffer, static_cast<size_t>(left));
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
  AviFile& file = *static_cast<AviFile*>(opaque);
  // The room reserved past the muxer's end does not belong to the file it writes.
  if (whence & AVSEEK_SIZE) return file.logicalEnd;
  whence &= ~AVSEEK_FORCE;
  if (whence == SEEK_END) {
    offset += file.logicalEnd;
    whence = SEEK_SET;
  }
  const off_t position = ::lseek(file.fd.Descriptor(), offset, whence);
  if (position < 0) return AVERROR(errno);
  file.position = position;
  return position;
}

// Allocates the file on disk up to end. 0, or the error of a disk that has no room for it
// (full, over quota, over the process's file size limit). A file system that cannot allocate
// ahead is written without, as every file was before.
int Reserve(AviFile& file, long long end) {
  if (!file.reserving || end <= file.reservedEnd) return 0;
  for (;;) {
    if (::fallocate(file.fd.Descriptor(), 0, file.reservedEnd, end - file.reservedEnd) == 0) {
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
bool CutToLogicalEnd(AviFile& file) {
  if (!file.regularFile) return true;
  struct stat status {};
  if (::fstat(file.fd.Descriptor(), &status) != 0) return false;
  return status.st_size == file.logicalEnd ||
         ::ftruncate(file.fd.Descriptor(), file.logicalEnd) == 0;
}

// One frame of the format, in bytes; -1 for a size no frame can have.
long long FrameBytes(const BITMAPINFOHEADER& format) {
  const long long height = format.biHeight < 0 ? -static_cast<long long>(format.biHeight)
                                               : static_cast<long long>(format.biHeight);
  if (format.biWidth <= 0) return -1;
  return FrameByteCount(static_cast<std::uint64_t>(format.biWidth),
                        static_cast<std::uint64_t>(height));
}

bool AcceptableFormat(const void* lpFormat, LONG cbFormat) {
  if (!lpFormat || cbFormat < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) return false;
  const auto& format = *static_cast<const BITMAPINFOHEADER*>(lpFormat);
  if (format.biSize < sizeof(BITMAPINFOHEADER) || format.biPlanes != 1 || format.biBitCount != 32 ||
      format.biCompression != BI_RGB) {
    return false;
  }
  if (format.biWidth <= 0 || format.biHeight == 0 || format.biHeight == INT32_MIN) return false;
  // One frame's byte count is a signed 32-bit number wherever frames are counted.
  return FrameBytes(format) >= 0;
}

AVRational TimeBase(const AVISTREAMINFOA& info) {
  return AVRational{static_cast<int>(info.dwScale), static_cast<int>(info.dwRate)};
}

// Sets up the muxer for the file's one stream and writes the header. Only here does an existing
// file lose what it held.
HRESULT WriteHeader(AviFile& file, const AviStream& stream, AVCodecParameters* parameters,
                    bool rawBottomUp) {
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, "avi", nullptr) < 0 || !context) {
    return AVIERR_MEMORY;
  }
  vfw_detail::OutputFormatPtr muxer(context);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return AVIERR_MEMORY;
  vfw_detail::IoContextPtr io(
      avio_alloc_context(buffer, kIoBufferSize, 1, &file, nullptr, WriteToFile, SeekInFile));
  if (!io) {
    av_free(buffer);
    return AVIERR_MEMORY;
  }
  muxer->pb = io.get();
  // Every packet reaches the file as it is written, so a full disk shows at that frame.
  muxer->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
  muxer->flush_packets = 1;

  AVStream* st = avformat_new_stream(muxer.get(), nullptr);
  if (!st || avcodec_parameters_copy(st->codecpar, parameters) < 0) return AVIERR_MEMORY;
  st->time_base = TimeBase(stream.info);
  st->avg_frame_rate = av_inv_q(st->time_base);
  st->r_frame_rate = st->avg_frame_rate;

  struct stat status {};
  file.regularFile = ::fstat(file.fd.Descriptor(), &status) == 0 && S_ISREG(status.st_mode);
  if (file.regularFile && ::ftruncate(file.fd.Descriptor(), 0) != 0) return AVIERR_FILEWRITE;
  ::lseek(file.fd.Descriptor(), 0, SEEK_SET);
  file.position = 0;
  file.logicalEnd = 0;
  file.reserving = file.regularFile;
  file.reservedEnd = 0;
  file.entries = 0;

  AVDictionary* options = nullptr;
  // Rows bottom-up as given, declared by a positive biHeight, instead of turned over.
  if (rawBottomUp) av_dict_set(&options, "flipped_raw_rgb", "1", 0);
  const int ret = avformat_write_header(muxer.get(), &options);
  vfw_detail::DictionaryPtr unused(options);  // what the muxer did not take
  // A file without frames must be finishable as well; one that cannot be is left empty.
  const long long end = avio_tell(io.get());
  if (ret < 0 || io->error < 0 || Reserve(file, end + TailBytes(0, end)) < 0) {
    file.logicalEnd = 0;
    CutToLogicalEnd(file);
    return AVIERR_FILEWRITE;
  }

  file.io = std::move(io);
  file.muxer = std::move(muxer);
  file.headerWritten = true;
  return AVIERR_OK;
}

// Hands one packet, timed in the stream's own rate (one tick a sample), to the muxer once the
// file has room for it and for the file's end after it; a packet without that room is refused
// whole.
int WritePacket(AviFile& file, const AviStream& stream, AVPacket* packet) {
  if (!file.muxer || file.finished) return AVERROR(EINVAL);
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
  av_packet_rescale_ts(packet, TimeBase(stream.info), st->time_base);
  const int ret = av_write_frame(file.muxer.get(), packet);
  file.entries = sample + 1;
  if (ret < 0) return ret;
  return file.io->error < 0 ? file.io->error : 0;
}

HRESULT WriteRawFrame(AviStream& stream, long long sample, const void* buffer, bool keyFrame) {
  vfw_detail::PacketPtr packet(av_packet_alloc());
  if (!packet) return AVIERR_MEMORY;
  packet->data = static_cast<uint8_t*>(const_cast<void*>(buffer));
  packet->size = static_cast<int>(FrameBytes(stream.format));
  packet->pts = sample;
  packet->dts = sample;
  packet->duration = 1;
  if (keyFrame) packet->flags |= AV_PKT_FLAG_KEY;
  return WritePacket(*stream.file, stream, packet.get()) < 0 ? AVIERR_FILEWRITE : AVIERR_OK;
}

int EncodedPacketSink(AviStream& source, AVPacket* packet) {
  return WritePacket(*source.file, source, packet);
}

// Writes the trailer (the index, the headers' frame counts) into the room kept for it, cuts
// the file to its end and closes it. Once only: later calls give the first call's result.
HRESULT FinishFile(AviFile& file) {
  if (file.finished) return file.finishResult;
  file.finished = true;
  HRESULT result = AVIERR_OK;
  if (file.headerWritten && file.muxer) {
    if (av_write_trailer(file.muxer.get()) < 0 || file.io->error < 0) result = AVIERR_FILEWRITE;
  }
  file.muxer.reset();
  file.io.reset();
  if (file.headerWritten && !CutToLogicalEnd(file)) result = AVIERR_FILEWRITE;
  if (!file.fd.Close()) result = AVIERR_FILEWRITE;
  file.finishResult = result;
  return result;
}

// Hands the packets the compressor still holds to the file. Once only, as FinishFile.
HRESULT FlushCompressor(AviStream& stream) {
  if (stream.flushed) return stream.flushResult;
  stream.flushed = true;
  AviStream& source = *stream.source;
  if (stream.encoder && source.file->headerWritten && !source.file->finished) {
    const int ret =
        stream.encoder->Flush([&source](AVPacket* p) { return EncodedPacketSink(source, p); });
    if (ret < 0) stream.flushResult = AVIERR_FILEWRITE;
  }
  return stream.flushResult;
}

unsigned long ReleaseFile(AviFile* file);

unsigned long ReleaseStream(AviStream* stream) {
  if (--stream->refs > 0) return stream->refs;
  switch (stream->kind) {
    case AviStream::Kind::kCompressed:
      FlushCompressor(*stream);
      stream->encoder.reset();
      ReleaseStream(stream->source);
      break;
    case AviStream::Kind::kUncompressed:
      if (stream->file->stream == stream) stream->file->stream = nullptr;
      ReleaseFile(stream->file);
      break;
    case AviStream::Kind::kRead:
      ReleaseFile(stream->file);
      break;
  }
  State().streams.erase(stream);
  return 0;
}

unsigned long ReleaseFile(AviFile* file) {
  if (--file->refs > 0) return file->refs;
  FinishFile(*file);
  State().files.erase(file);
  return 0;
}

HRESULT OpenForReading(PAVIFILE* ppfile, const char* name) {
  AVFormatContext* context = nullptr;
  // "file:" keeps a name with a colon from being taken for a protocol.
  const std::string url = std::string("file:") + name;
  if (avformat_open_input(&context, url.c_str(), av_find_input_format("avi"), nullptr) < 0) {
    return AVIERR_FILEOPEN;
  }
  AviFile* file = NewFile();
  file->demuxer.reset(context);
  *ppfile = file;
  return AVIERR_OK;
}

AviStream* ReadStream(AviFile* file, int index) {
  const AVStream* st = file->demuxer->streams[index];
  const AVCodecParameters* par = st->codecpar;
  AviStream* stream = NewStream(AviStream::Kind::kRead);
  stream->file = file;
  ++file->refs;
  stream->index = index;
  AVISTREAMINFOA& info = stream->info;
  info.fccType =
      par->codec_type == AVMEDIA_TYPE_VIDEO ? streamtypeVIDEO : mmioFOURCC('a', 'u', 'd', 's');
  info.fccHandler = par->codec_tag;
  info.dwScale = static_cast<DWORD>(st->time_base.num);
  info.dwRate = static_cast<DWORD>(st->time_base.den);
  info.dwLength = static_cast<DWORD>(st->nb_frames);
  info.rcFrame = RECT{0, 0, par->width, par->height};
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    stream->format.biSize = sizeof(BITMAPINFOHEADER);
    stream->format.biWidth = par->width;
    stream->format.biHeight = par->height;
    stream->format.biPlanes = 1;
    stream->format.biBitCount = static_cast<WORD>(par->bits_per_coded_sample);
    stream->format.biCompression = par->codec_tag;
    stream->hasFormat = true;
  }
  return stream;
}

}  // namespace

void SetVfwTrace(std::vector<std::string>* trace) { State().trace = trace; }

void FailVfwCall(VfwOp op, int nth) { State().faults[op] = nth < 1 ? 1 : nth; }

void ClearVfwFaults() { State().faults.clear(); }

int VfwLiveObjects() { return static_cast<int>(State().files.size() + State().streams.size()); }

void AVIFileInit() { Trace("AVIFileInit"); }

void AVIFileExit() { Trace("AVIFileExit"); }

namespace {

// One decoded picture into the converter's frame layout: blue, green, red, alpha, rows
// bottom-up. The packed and planar RGB layouts the lossless codecs decode to are copied byte
// for byte; anything else goes through libswscale, opaque.
bool StoreDecoded(const AVFrame* frame, BYTE* out) {
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
        BYTE* q = at(x, y);
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
        BYTE* q = at(x, y);
        q[0] = sample(1);
        q[1] = sample(0);
        q[2] = sample(2);
        q[3] = format == AV_PIX_FMT_GBRAP ? sample(3) : 255;
      }
    }
    return true;
  }
  vfw_detail::SwsContextPtr convert(sws_getContext(w, h, format, w, h, AV_PIX_FMT_BGRA,
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

// Decodes frame n of stream index of demuxer into out; false when it cannot be had.
bool DecodeFrame(AVFormatContext* demuxer, int index, long long n, BYTE* out, std::size_t bytes) {
  const AVCodecParameters* par = demuxer->streams[index]->codecpar;
  if (par->width <= 0 || par->height <= 0 ||
      std::size_t(par->width) * std::size_t(par->height) * 4 > bytes) {
    return false;
  }
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return false;
  vfw_detail::CodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), par) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    return false;
  }
  // The stream's time base is one frame, so frame n is at n; from the key frame at or before it
  // the frames are decoded in order until it comes.
  if (av_seek_frame(demuxer, index, n, AVSEEK_FLAG_BACKWARD) < 0) return false;
  vfw_detail::PacketPtr packet(av_packet_alloc());
  vfw_detail::FramePtr frame(av_frame_alloc());
  if (!packet || !frame) return false;
  const auto take = [&]() -> int {  // 1: found, 0: not yet, -1: past it or failed
    for (;;) {
      const int ret = avcodec_receive_frame(decoder.get(), frame.get());
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
      if (ret < 0) return -1;
      const long long at = frame->best_effort_timestamp;
      if (at == n) {
        if (frame->width != par->width || frame->height != par->height) return -1;
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
    if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
    if (!ours) continue;
    const int found = take();
    if (found != 0) return found > 0;
  }
  avcodec_send_packet(decoder.get(), nullptr);
  return take() > 0;
}

}  // namespace

HRESULT AVIFileOpenA(PAVIFILE* ppfile, LPCSTR szFile, UINT uMode, void* /*lpHandler*/) {
  const bool writing = (uMode & (OF_WRITE | OF_CREATE)) != 0;
  Trace(writing ? "AVIFileOpenA write" : "AVIFileOpenA read");
  if (!ppfile) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (Faulted(VfwOp::kFileOpen)) return AVIERR_FILEOPEN;
  if (!szFile || !*szFile) return AVIERR_FILEOPEN;
  if (!writing) return OpenForReading(ppfile, szFile);

  // Proves the file can be written, creating it when missing, without emptying it yet.
  CFile output;
  const UINT mode = CFile::modeWrite | CFile::modeNoTruncate |
                    ((uMode & OF_CREATE) != 0 ? UINT{CFile::modeCreate} : UINT{0});
  if (!output.Open(szFile, mode)) return AVIERR_FILEOPEN;
  AviFile* file = NewFile();
  file->writing = true;
  file->fd = std::move(output);
  *ppfile = file;
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, AVISTREAMINFOA* psi) {
  Trace("AVIFileCreateStreamA");
  if (!ppavi) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  if (Faulted(VfwOp::kCreateStream)) return AVIERR_INTERNAL;
  AviFile* file = LiveFile(pfile);
  if (!file || !psi) return AVIERR_BADPARAM;
  if (!file->writing) return AVIERR_READONLY;
  if (file->stream || psi->fccType != streamtypeVIDEO) return AVIERR_UNSUPPORTED;
  if (psi->dwRate == 0 || psi->dwScale == 0 || psi->dwRate > INT32_MAX ||
      psi->dwScale > INT32_MAX) {
    return AVIERR_BADPARAM;
  }
  AviStream* stream = NewStream(AviStream::Kind::kUncompressed);
  stream->file = file;
  ++file->refs;
  stream->info = *psi;
  file->stream = stream;
  *ppavi = stream;
  return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                AVICOMPRESSOPTIONS* lpOptions, void* /*pclsidHandler*/) {
  Trace("AVIMakeCompressedStream " +
        (lpOptions ? FourCCText(lpOptions->fccHandler) : std::string()));
  if (!ppsCompressed) return AVIERR_BADPARAM;
  *ppsCompressed = nullptr;
  if (Faulted(VfwOp::kMakeCompressedStream)) return AVIERR_INTERNAL;
  AviStream* source = LiveStream(psSource);
  if (!source || !lpOptions) return AVIERR_BADPARAM;
  if (source->kind != AviStream::Kind::kUncompressed) return AVIERR_UNSUPPORTED;
  const CompressorInfo* compressor = FindCompressor(lpOptions->fccHandler);
  if (!compressor) return AVIERR_NOCOMPRESSOR;
  AviStream* stream = NewStream(AviStream::Kind::kCompressed);
  stream->source = source;
  ++source->refs;
  stream->info = source->info;
  stream->options = *lpOptions;
  stream->compressor = compressor;
  *ppsCompressed = stream;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG cbFormat) {
  AviStream* stream = LiveStream(pavi);
  Trace(std::string("AVIStreamSetFormat ") + KindName(stream));
  if (Faulted(VfwOp::kSetFormat)) return AVIERR_BADFORMAT;
  if (!stream || lPos != 0) return AVIERR_BADPARAM;
  if (stream->kind == AviStream::Kind::kRead) return AVIERR_READONLY;
  if (!AcceptableFormat(lpFormat, cbFormat)) return AVIERR_BADFORMAT;
  const auto& format = *static_cast<const BITMAPINFOHEADER*>(lpFormat);

  AviStream& target = stream->kind == AviStream::Kind::kCompressed ? *stream->source : *stream;
  // The file's header is written once; the format cannot change after it.
  if (target.file->headerWritten || target.file->finished) return AVIERR_UNSUPPORTED;

  const bool bottomUp = format.biHeight > 0;
  const int height = bottomUp ? format.biHeight : -format.biHeight;
  vfw_detail::CodecParametersPtr parameters(avcodec_parameters_alloc());
  if (!parameters) return AVIERR_MEMORY;
  std::unique_ptr<FrameEncoder> encoder;
  const bool raw =
      stream->kind == AviStream::Kind::kUncompressed || stream->compressor->encoder[0] == '\0';
  if (raw) {
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters->codec_tag = 0;  // BI_RGB
    parameters->format = AV_PIX_FMT_BGRA;
    parameters->width = format.biWidth;
    parameters->height = height;
    parameters->bits_per_coded_sample = 32;
  } else {
    vfw_detail::EncoderSettings settings;
    settings.compressor = stream->compressor;
    settings.width = format.biWidth;
    settings.height = height;
    settings.bottomUp = bottomUp;
    settings.rate = target.info.dwRate;
    settings.scale = target.info.dwScale;
    settings.quality = stream->options.dwQuality;
    std::string why;
    encoder = FrameEncoder::Open(settings, &why);
    if (!encoder || encoder->FillParameters(parameters.get()) < 0) return AVIERR_BADFORMAT;
  }
  const HRESULT result = WriteHeader(*target.file, target, parameters.get(), raw && bottomUp);
  if (result != AVIERR_OK) return result;

  target.format = format;
  target.hasFormat = true;
  if (stream != &target) {
    stream->format = format;
    stream->hasFormat = true;
    stream->encoder = std::move(encoder);
  }
  return AVIERR_OK;
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten) {
  AviStream* stream = LiveStream(pavi);
  Trace(std::string("AVIStreamWrite ") + KindName(stream) + " " + std::to_string(lStart));
  if (plSampWritten) *plSampWritten = 0;
  if (plBytesWritten) *plBytesWritten = 0;
  if (Faulted(VfwOp::kWrite)) return AVIERR_FILEWRITE;
  if (!stream || !lpBuffer || lStart < 0) return AVIERR_BADPARAM;
  if (stream->kind == AviStream::Kind::kRead) return AVIERR_READONLY;
  if (lSamples != 1) return AVIERR_UNSUPPORTED;
  if (!stream->hasFormat) return AVIERR_BADFORMAT;
  // Never read past the caller's buffer: it must hold one whole frame.
  if (cbBuffer < FrameBytes(stream->format)) return AVIERR_BADSIZE;
  AviStream& target = stream->kind == AviStream::Kind::kCompressed ? *stream->source : *stream;
  if (stream->flushed || target.file->finished) return AVIERR_UNSUPPORTED;
  if (lStart < target.nextSample) return AVIERR_BADPARAM;

  const bool keyFrame = (dwFlags & AVIIF_KEYFRAME) != 0;
  HRESULT result;
  if (!stream->encoder) {
    result = WriteRawFrame(target, lStart, lpBuffer, keyFrame);
  } else {
    const int ret = stream->encoder->Encode(
        static_cast<const BYTE*>(lpBuffer), lStart, keyFrame,
        [&target](AVPacket* packet) { return EncodedPacketSink(target, packet); });
    result = ret < 0 ? AVIERR_FILEWRITE : AVIERR_OK;
  }
  if (result != AVIERR_OK) return result;
  target.nextSample = static_cast<long long>(lStart) + 1;
  if (plSampWritten) *plSampWritten = 1;
  if (plBytesWritten) *plBytesWritten = static_cast<LONG>(FrameBytes(stream->format));
  return AVIERR_OK;
}

HRESULT AVIStreamFinish(PAVISTREAM pavi) {
  AviStream* stream = LiveStream(pavi);
  Trace(std::string("AVIStreamFinish ") + KindName(stream));
  if (Faulted(VfwOp::kFinish)) return AVIERR_FILEWRITE;
  if (!stream) return AVIERR_BADPARAM;
  switch (stream->kind) {
    case AviStream::Kind::kRead:
      return AVIERR_READONLY;
    case AviStream::Kind::kUncompressed:
      return FinishFile(*stream->file);
    case AviStream::Kind::kCompressed: {
      // The file is finished even when the compressor's last packets could not be written:
      // the frames before them stay a whole file.
      const HRESULT flushed = FlushCompressor(*stream);
      const HRESULT finished = FinishFile(*stream->source->file);
      return flushed != AVIERR_OK ? flushed : finished;
    }
  }
  return AVIERR_BADPARAM;
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam) {
  Trace("AVIFileGetStream");
  if (!ppavi) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  if (Faulted(VfwOp::kGetStream)) return AVIERR_NODATA;
  AviFile* file = LiveFile(pfile);
  if (!file || lParam < 0) return AVIERR_BADPARAM;
  if (file->writing) {
    AviStream* stream = file->stream;
    if (!stream || lParam != 0 || (fccType != 0 && fccType != stream->info.fccType)) {
      return AVIERR_NODATA;
    }
    ++stream->refs;
    *ppavi = stream;
    return AVIERR_OK;
  }
  LONG seen = 0;
  for (unsigned i = 0; i < file->demuxer->nb_streams; ++i) {
    const AVMediaType type = file->demuxer->streams[i]->codecpar->codec_type;
    const bool matches = fccType == 0 ||
                         (fccType == streamtypeVIDEO && type == AVMEDIA_TYPE_VIDEO) ||
                         (fccType == mmioFOURCC('a', 'u', 'd', 's') && type == AVMEDIA_TYPE_AUDIO);
    if (!matches) continue;
    if (seen++ == lParam) {
      *ppavi = ReadStream(file, static_cast<int>(i));
      return AVIERR_OK;
    }
  }
  return AVIERR_NODATA;
}

HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA* psi, LONG lSize) {
  AviStream* stream = LiveStream(pavi);
  Trace(std::string("AVIStreamInfoA ") + KindName(stream));
  if (!stream || !psi || lSize < 0) return AVIERR_BADPARAM;
  std::memcpy(psi, &stream->info,
              std::min(static_cast<std::size_t>(lSize), sizeof(AVISTREAMINFOA)));
  return AVIERR_OK;
}

int AVISaveOptions(HWND /*hwnd*/, UINT /*uiFlags*/, int nStreams, PAVISTREAM* ppavi,
                   AVICOMPRESSOPTIONS** plpOptions) {
  Trace("AVISaveOptions");
  if (nStreams < 1 || !ppavi || !plpOptions || !plpOptions[0]) return 0;
  CompressorChooser* chooser = GetCompressorChooser();
  if (!chooser) return 0;
  AVICOMPRESSOPTIONS& options = *plpOptions[0];
  CompressorRequest request;
  if (const AviStream* stream = LiveStream(ppavi[0]); stream && stream->hasFormat) {
    request.width = stream->format.biWidth;
    request.height =
        stream->format.biHeight < 0 ? -stream->format.biHeight : stream->format.biHeight;
  }
  request.fourcc = options.fccHandler;
  request.quality = options.dwQuality;
  CompressorChoice choice{options.fccHandler, options.dwQuality};
  const int result = chooser->ChooseCompressor(request, &choice);
  if (result == 1) {
    options.fccType = streamtypeVIDEO;
    options.fccHandler = choice.fourcc;
    options.dwQuality = choice.quality;
    options.dwFlags |= AVICOMPRESSF_VALID;
  }
  return result;
}

unsigned long AVIStreamRelease(PAVISTREAM pavi) {
  AviStream* stream = LiveStream(pavi);
  Trace(std::string("AVIStreamRelease ") + KindName(stream));
  return stream ? ReleaseStream(stream) : 0;
}

unsigned long AVIFileRelease(PAVIFILE pfile) {
  Trace("AVIFileRelease");
  AviFile* file = LiveFile(pfile);
  return file ? ReleaseFile(file) : 0;
}

DWORD VideoForWindowsVersion() { return 0x010A0000; }

std::string AviLastFailure() { return {}; }

LONG AVIStreamLength(PAVISTREAM pavi) {
  Trace("AVIStreamLength");
  const AviStream* stream = LiveStream(pavi);
  if (!stream || stream->kind != AviStream::Kind::kRead) return -1;
  AVStream* st = stream->file->demuxer->streams[stream->index];
  const int entries = avformat_index_get_entries_count(st);
  if (entries > 0) return entries;
  return st->nb_frames > 0 && st->nb_frames <= INT32_MAX ? static_cast<LONG>(st->nb_frames) : 0;
}

HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples) {
  Trace("AVIStreamRead " + std::to_string(lStart));
  const AviStream* stream = LiveStream(pavi);
  if (!stream || !lpBuffer || lStart < 0 || lSamples != 1 || cbBuffer < 0) {
    return AVIERR_BADPARAM;
  }
  if (stream->kind != AviStream::Kind::kRead) return AVIERR_UNSUPPORTED;
  AVFormatContext* demuxer = stream->file->demuxer.get();
  const AVCodecParameters* par = demuxer->streams[stream->index]->codecpar;
  if (par->codec_type != AVMEDIA_TYPE_VIDEO) return AVIERR_UNSUPPORTED;
  const long long bytes = static_cast<long long>(par->width) * par->height * 4;
  if (bytes > cbBuffer) return AVIERR_BUFFERTOOSMALL;
  if (!DecodeFrame(demuxer, stream->index, lStart, static_cast<BYTE*>(lpBuffer),
                   static_cast<std::size_t>(cbBuffer))) {
    return AVIERR_NODATA;
  }
  if (plBytes) *plBytes = static_cast<LONG>(bytes);
  if (plSamples) *plSamples = 1;
  return AVIERR_OK;
}
