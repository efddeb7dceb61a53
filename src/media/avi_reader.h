#pragma once
// Reading an AVI file back: what its first video stream holds, and any of its frames decoded
// as the converter writes them.
//
//   AviReader reader;
//   if (MediaResult opened = reader.Open("shot.avi"); !opened) say(opened.reason());
//   reader.Facts().frames;                 // 240
//   std::vector<unsigned char> pixels;
//   reader.ReadFrame(239, pixels);         // the last frame, bottom-up BGRA

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/compressor_catalogue.h"
#include "media/media_result.h"

/// What a file says of its video stream.
struct AviStreamFacts {
  FourCC handler = 0;  ///< the compressor's code as the file tags it; 0 for Full Frames
  int width = 0;
  int height = 0;
  std::uint32_t rate = 0;  ///< frames per second as rate / scale
  std::uint32_t scale = 1;
  /// The frames a reader can reach: the entries of the stream's index (the header's count when
  /// the file has no index).
  long long frames = 0;
};

class AviReader {
 public:
  AviReader();
  ~AviReader();
  AviReader(const AviReader&) = delete;
  AviReader& operator=(const AviReader&) = delete;

  /// Opens path and its first video stream. Only a regular file is opened. Fails with the
  /// reason: missing, not an AVI file, no video stream.
  MediaResult Open(const std::string& path);

  /// The stream's facts; all zero before a successful Open.
  const AviStreamFacts& Facts() const;

  /// Decodes frame n (0-based) into pixels: width x height x 4 bytes, blue, green, red, alpha
  /// (255 where the codec keeps none), rows bottom-up. Fails for a frame the stream does not
  /// hold or that does not decode.
  MediaResult ReadFrame(long long n, std::vector<unsigned char>& pixels);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};
