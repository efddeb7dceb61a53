#include "media/ffmpeg_owners.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace media_detail {

void OutputFormatDeleter::operator()(AVFormatContext* context) const {
  avformat_free_context(context);
}

void InputFormatDeleter::operator()(AVFormatContext* context) const {
  avformat_close_input(&context);
}

void CodecContextDeleter::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}

void CodecParametersDeleter::operator()(AVCodecParameters* parameters) const {
  avcodec_parameters_free(&parameters);
}

void DictionaryDeleter::operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }

void FrameDeleter::operator()(AVFrame* frame) const { av_frame_free(&frame); }

void PacketDeleter::operator()(AVPacket* packet) const { av_packet_free(&packet); }

void SwsContextDeleter::operator()(SwsContext* context) const { sws_freeContext(context); }

void IoContextDeleter::operator()(AVIOContext* context) const {
  if (context) av_freep(&context->buffer);
  avio_context_free(&context);
}

}  // namespace media_detail
