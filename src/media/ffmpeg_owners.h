#pragma once
// Owners for the FFmpeg objects the media core holds: each handle lives in a std::unique_ptr
// whose deleter calls the matching FFmpeg free function. This header names the FFmpeg types
// without including FFmpeg, so that headers of the core stay free of it.

#include <memory>

struct AVCodecContext;
struct AVCodecParameters;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace media_detail {

/// A muxer context made by avformat_alloc_output_context2 (its AVIOContext is owned apart).
struct OutputFormatDeleter {
  void operator()(AVFormatContext* context) const;
};
/// A demuxer context opened by avformat_open_input.
struct InputFormatDeleter {
  void operator()(AVFormatContext* context) const;
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const;
};
struct CodecParametersDeleter {
  void operator()(AVCodecParameters* parameters) const;
};
struct DictionaryDeleter {
  void operator()(AVDictionary* dictionary) const;
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const;
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const;
};
struct SwsContextDeleter {
  void operator()(SwsContext* context) const;
};
/// A custom AVIOContext together with its av_malloc'ed buffer.
struct IoContextDeleter {
  void operator()(AVIOContext* context) const;
};

using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersDeleter>;
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;

}  // namespace media_detail
