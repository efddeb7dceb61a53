// Fuzzes ReadTargaFrame, the reader every .tga frame meets first, for both buffers a pass asks
// for. Whatever the bytes, it must not crash, hang, touch memory outside its blocks or reserve
// more than the file can fill (the sanitizers and the fuzzer's limits see to those); and what it
// reads must hang together: the same answer for video and matte, a buffer of exactly
// width × height × 4 bytes, a matte that is the video's alpha four times, and the size the
// header alone gives (what the sequence line shows before Convert) equal to the size read.
// The same bytes go to the reader of a frame rate in a DPX or OpenEXR header, which must give a
// usable rate or none.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "frames/frame_buffer.h"
#include "frames/frame_rate.h"
#include "frames/targa_frame.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnsureMagickReady();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = WriteFuzzInput(data, size);
  if (const std::optional<FrameRate> rate = HeaderFrameRate(path)) {
    if (rate->num == 0 || rate->den == 0 ||
        static_cast<double>(rate->num) / rate->den > kMostFramesPerSecond) {
      FuzzFailure("a header's frame rate outside the limits");
    }
  }
  FrameBuffer video;
  FrameBuffer matte;
  FrameSize videoSize;
  FrameSize matteSize;
  const TargaRead videoRead = ReadTargaFrame(path, false, video, &videoSize);
  const TargaRead matteRead = ReadTargaFrame(path, true, matte, &matteSize);
  if (videoRead != matteRead) FuzzFailure("the video and the matte read disagree");
  if (videoRead != TargaRead::kRead) return 0;

  if (videoSize.width != matteSize.width || videoSize.height != matteSize.height) {
    FuzzFailure("the video and the matte differ in size");
  }
  const std::optional<FrameSize> declared = ReadFrameSize(path);
  if (!declared || declared->width != videoSize.width || declared->height != videoSize.height) {
    FuzzFailure("the header's size is not the size read");
  }
  const std::size_t bytes = std::size_t(videoSize.width) * std::size_t(videoSize.height) * 4;
  if (videoSize.width <= 0 || videoSize.height <= 0 || video.bytes() != bytes ||
      matte.bytes() != bytes) {
    FuzzFailure("a buffer is not width x height x 4 bytes");
  }
  const std::uint8_t* v = video.data();
  const std::uint8_t* m = matte.data();
  for (std::size_t i = 0; i < bytes; i += 4) {
    const std::uint8_t alpha = v[i + 3];
    if (m[i] != alpha || m[i + 1] != alpha || m[i + 2] != alpha || m[i + 3] != alpha) {
      FuzzFailure("the matte is not the video's alpha");
    }
  }
  return 0;
}
