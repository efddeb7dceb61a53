#pragma once
// The picture of the frames under the sequence line: the run's first frame as the colour pass
// will write it, composited over a checkerboard, and beside it its matte as grey. Both are
// brought down to a few hundred pixels off the window's thread by a PreviewReader; the window
// only turns the small pictures into bitmaps and draws them.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/newest_request.h"
#include "frames/frame_buffer.h"
#include "frames/frame_look.h"

/// A small picture ready to draw: width × height pixels, top row first, each red, green, blue.
struct PreviewPicture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

/// The two pictures side by side; both empty when there is nothing to show.
struct PreviewPictures {
  PreviewPicture colour;  ///< the colour over the checkerboard
  PreviewPicture matte;   ///< alpha as grey: transparent black, opaque white
};

/// The checkerboard's two greys: mid greys, so that neither a light nor a dark theme makes the
/// picture's edge glare.
constexpr unsigned char kCheckerLight = 204;
constexpr unsigned char kCheckerDark = 153;

/// The largest size of frame's proportions within box, each side at least one pixel (a frame
/// far wider than the box keeps a row); 0 × 0 when either is empty.
FrameSize FitInside(FrameSize frame, FrameSize box);

/// How MakePreview composites the colour.
struct PreviewStyle {
  bool premultiplied = false;  ///< the colour is multiplied by alpha already
  int cell = 4;                ///< the checkerboard's squares, in the small picture's pixels
};

/// From a frame buffer's colour bytes (blue, green, red, alpha; rows bottom-up) of size, the two
/// pictures at size fit: each of fit's pixels is the mean of the frame's pixels it covers
/// (colour weighted by alpha, so transparent pixels lend no colour to their neighbours), or the
/// pixel under it when the frame is the smaller. stop is asked between rows; when it says true,
/// or fit or size is empty, both pictures are empty.
PreviewPictures MakePreview(const unsigned char* bgra, FrameSize size, FrameSize fit,
                            const PreviewStyle& style, const std::function<bool()>& stop = {});

/// What the window asks for: the first file as its field reads, the look the colour pass will
/// give it, and the pixels each half of the preview holds.
struct PreviewRequest {
  std::string firstFile;
  FrameLook look;
  FrameSize half;
  int cell = 4;  ///< the checkerboard's squares in pixels
};

struct PreviewAnswer {
  unsigned long long id = 0;  ///< the request's number, from PreviewReader::Request
  PreviewPictures pictures;   ///< empty for a file that is missing, unreadable or too large
};

/// One thread that reads the first frame and makes its pictures. A newer request supersedes an
/// older one: the older is given up as soon as its read returns (and between rows while its
/// pictures are made) and never answered. Only the frame under way is held, never one read
/// before. Answers are handed to deliver on the reader's thread (the window carries them to
/// its own). Destroying the reader gives up the work under way and waits for its thread, which
/// may be in the middle of reading a large frame.
class PreviewReader {
 public:
  explicit PreviewReader(std::function<void(PreviewAnswer)> deliver);
  PreviewReader(const PreviewReader&) = delete;
  PreviewReader& operator=(const PreviewReader&) = delete;

  /// Queues request in place of any not yet started, gives up the one under way, and returns
  /// the request's number.
  unsigned long long Request(PreviewRequest request);
  /// Gives up the request queued and the one under way; nothing is answered until the next.
  void Cancel();
  /// Whether id is the newest request: an answer to an older one is stale.
  bool IsLatest(unsigned long long id) const { return m_thread.IsLatest(id); }

 private:
  void Make(unsigned long long id, const PreviewRequest& request,
            const std::function<bool()>& givenUp);

  std::function<void(PreviewAnswer)> m_deliver;
  NewestRequestThread<PreviewRequest> m_thread;  // last: it starts once m_deliver is there
};
