#pragma once
// The frame buffer that the output passes hand to the compressor: W × H × 4 bytes, rows
// bottom-up as the picture is seen, each pixel blue, green, red, alpha (video) or its alpha four
// times (matte), 8 bits a sample. The readers that fill it are in targa_frame.h (our Targa
// reader) and magick_frame.h (ImageMagick, for every other format).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mfc/win_types.h"  // FrameByteCount

/// Makes ImageMagick ready for use and confines it (magick_policy.h), once per process; cheap to
/// call again from anywhere. Call it before a reader thread reads a frame.
void EnsureMagickReady();

struct FrameSize {
  int width = 0;
  int height = 0;
};

/// One frame buffer, filled by a reader and kept from one frame to the next: a reader asks it
/// for the bytes of each frame, and gets the storage it holds already when the frame is as long
/// as the last one, so a sequence of frames of one size is read without a frame-sized block
/// being mapped (and page-faulted in) again for every frame.
class FrameBuffer {
 public:
  /// Storage for a frame of size: FrameByteCount(size) bytes, the block held already when it is
  /// that long. The bytes are left as they were (the last frame's, or undefined). Throws
  /// std::length_error for a size FrameByteCount refuses, and std::bad_alloc (the buffer is
  /// then empty).
  unsigned char* Reserve(FrameSize size);

  /// The frame's bytes, null before anything was reserved.
  const unsigned char* data() const { return m_bytes.get(); }
  unsigned char* data() { return m_bytes.get(); }
  /// The size last reserved.
  FrameSize size() const { return m_size; }
  std::size_t bytes() const { return m_length; }

 private:
  std::unique_ptr<unsigned char[]> m_bytes;
  std::size_t m_length = 0;
  FrameSize m_size;
};
