#pragma once
// Reads AVI files back for the tests, two ways: the headers straight from the file's RIFF
// chunks (what a player sees in strh and strf, and whether the file went OpenDML), and every
// frame through libavformat's demuxer and libavcodec's decoders, as pictures seen top row first.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/tga_writer.h"

namespace testing_support {

/// The first video stream's headers as the file stores them.
struct AviHeaders {
  std::vector<std::string> riffForms;    ///< "AVI " and then one "AVIX" per OpenDML segment
  std::vector<std::uint32_t> riffSizes;  ///< each RIFF chunk's declared size
  std::uint64_t fileSize = 0;            ///< the bytes the file holds
  std::uint32_t totalFrames = 0;         ///< avih: frames of the first RIFF segment
  std::uint32_t handler = 0;             ///< strh fccHandler
  std::uint32_t scale = 0;               ///< strh dwScale
  std::uint32_t rate = 0;                ///< strh dwRate
  std::uint32_t length = 0;              ///< strh dwLength
  std::uint32_t compression = 0;         ///< strf biCompression
  std::int32_t width = 0;                ///< strf biWidth
  std::int32_t height = 0;               ///< strf biHeight (positive: rows bottom-up)
  std::uint16_t bitCount = 0;            ///< strf biBitCount
  bool hasIdx1 = false;                  ///< the old index
  bool hasIndx = false;                  ///< the OpenDML super index
  std::uint32_t dmlhFrames = 0;          ///< the OpenDML frame count (0 without dmlh)
};

/// Walks the file's chunks. False, with the reason in *error, for a file that is not AVI.
bool ReadAviHeaders(const std::string& path, AviHeaders* headers, std::string* error);

/// One packet of the first video stream as the demuxer gives it.
struct AviPacket {
  const std::uint8_t* data = nullptr;
  int size = 0;
  std::int64_t pts = 0;  ///< in frames
  bool key = false;
};

/// Hands every packet of the first video stream to visit, in file order. False on error.
bool ForEachAviPacket(const std::string& path, const std::function<void(const AviPacket&)>& visit,
                      std::string* error);

struct DecodedAvi {
  std::string codec;        ///< the decoder's name: "ffv1", "rawvideo", ...
  std::string pixelFormat;  ///< what the decoder gave: "bgra", "gbrap", "yuv420p", ...
  int width = 0;
  int height = 0;
  std::vector<TgaPicture> frames;  ///< as seen, top row first; alpha 255 where none is stored
  std::vector<bool> keyFrames;     ///< per packet, as the index flags it
  std::vector<std::int64_t> pts;   ///< per packet, in frames
};

/// Demuxes and decodes every frame of the first video stream. False on error.
bool DecodeAvi(const std::string& path, DecodedAvi* decoded, std::string* error);

/// Whether a command-line tool is on the PATH: HaveTool("ffprobe").
bool HaveTool(const std::string& tool);

/// ffprobe's view of the first video stream, read independently of libavformat's API use.
struct FfprobeView {
  std::string output;    ///< what ffprobe printed, for failure messages
  std::string codecTag;  ///< "FFV1"; "[0][0][0][0]" for BI_RGB
  int width = 0;
  int height = 0;
  std::string frameRate;  ///< "30000/1001"
  int packets = -1;       ///< packets demuxed
};
/// Runs ffprobe on path. False when it fails or prints nothing usable.
bool FfprobeRead(const std::string& path, FfprobeView* view);

/// ffprobe's count of the first video stream's frames, every one of them decoded.
struct FfprobeFrames {
  std::string output;       ///< what ffprobe printed, errors included
  int frames = -1;          ///< nb_read_frames
  double duration = -1;     ///< the stream's duration in seconds
  bool complained = false;  ///< ffprobe printed an error (a short frame, a broken index)
};
/// Runs ffprobe -count_frames on path. False when it fails or names no frame count.
bool FfprobeCountFrames(const std::string& path, FfprobeFrames* view);

/// GStreamer's view: filesrc ! avidemux ! fakesink over the whole file.
struct GstreamerView {
  std::string output;  ///< the last lines printed, for failure messages
  int buffers = 0;     ///< buffers that reached the sink: one per frame
  int deltaUnits = 0;  ///< buffers not flagged as key frames
  std::string caps;    ///< the sink's caps: "video/x-ffv, ..., framerate=(fraction)30000/1001"
};
/// Runs gst-launch-1.0 on path. False when the pipeline fails.
bool GstreamerRead(const std::string& path, GstreamerView* view);

/// DecodeAvi for a test: a file that does not decode fails the current test and gives no frames.
DecodedAvi DecodeAviOrFail(const std::string& path);

/// Checks, as failures of the current test, that path is a finished AVI file holding exactly
/// frames, whole and in order: its RIFF chunk spans the file, the main and stream headers count
/// the frames, the index is there, every frame decodes equal to its picture (alpha too when
/// withAlpha), and ffprobe and GStreamer (where installed) read every frame without complaint.
void ExpectWholeAvi(const std::string& path, const std::vector<TgaPicture>& frames, bool withAlpha);

/// The matte of a picture: every pixel its alpha four times.
TgaPicture MatteOf(const TgaPicture& picture);

/// A picture with smooth colour ramps (red across, green down, so the top differs from the
/// bottom) and alpha running through every value; seed shifts blue and alpha per frame.
TgaPicture RampPicture(int width, int height, int seed);

/// A picture of noise that no codec can shrink, every sample drawn from a generator seeded
/// with seed: the same seed gives the same picture.
TgaPicture NoisePicture(int width, int height, unsigned seed);

/// The converter's frame buffer for a picture: rows bottom-up, bytes blue, green, red, alpha.
std::vector<std::uint8_t> FrameBufferOf(const TgaPicture& picture);

/// The largest difference of any sample (alpha too when withAlpha) between two pictures of
/// the same size, and their mean absolute difference per colour sample.
struct PictureDifference {
  int maxDiff = 0;
  double meanDiff = 0.0;
};
PictureDifference ComparePictures(const TgaPicture& a, const TgaPicture& b, bool withAlpha);

}  // namespace testing_support
