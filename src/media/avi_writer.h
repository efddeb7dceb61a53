#pragma once
// Writing one AVI file of one video stream: frames of 32 bits a pixel (blue, green, red,
// alpha) go in, through the chosen compressor, and a finished file comes out. Past 1 GiB the
// file becomes an OpenDML file by itself.
//
//   AviWriter writer;
//   writer.Open("shot.avi");                  // creates it; an existing file keeps its bytes
//   writer.Start(format);                     // opens the compressor, writes the header
//   writer.Write(frame, bytes, 0, true);      // one key frame at sample 0, and so on
//   MediaResult done = writer.Finish();       // held frames, index, counts, close
//
// A file being written always has room on disk for its own end: a frame the disk cannot take
// is refused whole, and Finish still makes a whole file of the frames before it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "media/compressor_catalogue.h"
#include "media/media_result.h"

/// The stream a writer writes.
struct VideoFormat {
  int width = 0;   ///< columns, positive
  int height = 0;  ///< rows, positive
  /// The first row of a frame in memory is the bottom row of the picture.
  bool bottomUp = true;
  /// Frames per second as rate / scale: 25 / 1, 30000 / 1001.
  std::uint32_t rate = 25;
  std::uint32_t scale = 1;
  /// Null or Full Frames: frames stored as given.
  const CompressorInfo* compressor = nullptr;
  std::uint32_t quality = kDefaultQuality;  ///< 0..10000, or kDefaultQuality
  /// The frames are a matte, its grey in every byte of a pixel: a compressor codes it as one
  /// grey plane where it can (CompressorWritesGreyMatte), else opaque; Full Frames as given.
  bool matte = false;
};

/// The threads each compressor encodes with in the writers started from now on: 0 (the
/// default) for one per processor core, 1 for none besides the caller's.
void SetEncoderThreads(int threads);

class AviWriter {
 public:
  AviWriter();
  /// Frees what is held. A file started and not finished is finished here, its result unheard:
  /// a writer calls Finish to learn it.
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  /// Opens path for writing, creating it when missing. An existing file keeps what it holds
  /// until Start, so a writer given up before Start leaves it as it was.
  MediaResult Open(const std::string& path);

  /// Opens the compressor for frames of format and writes the file's header; only here does an
  /// existing file lose what it held. Fails with the reason when the compressor cannot take the
  /// frame ("needs width and height divisible by 4").
  MediaResult Start(const VideoFormat& format);

  /// Writes one frame of width x height x 4 bytes (bytes must be at least that) at sample,
  /// which is no earlier than the samples already written; samples skipped become empty
  /// frames. keyFrame makes the compressor code the frame on its own. Fails when the disk
  /// cannot take it ("No space left on device"); the frames before it stay whole. A compressor
  /// that works on several frames at once hands a frame's bytes over a few writes later, so a
  /// failure may belong to an earlier frame: after it the file takes no more frames, and
  /// FramesInFile says how many it holds.
  MediaResult Write(const unsigned char* frame, std::size_t bytes, long long sample, bool keyFrame);

  /// After the last write or the first failed one: the frames the compressor still holds, the
  /// index and the headers' counts, the file cut to its end and closed. Once; later calls give
  /// the same result. A failure (a held frame without room, the index, the close) still leaves
  /// a whole file of the frames that reached it.
  MediaResult Finish();

  /// The path given to Open.
  const std::string& Path() const;
  /// Whether Start succeeded.
  bool Started() const;
  /// The frames that reached the file: after Finish, the frames the file holds.
  long long FramesInFile() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};
