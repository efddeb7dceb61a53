#pragma once
// The frame buffer that the output passes hand to the compressor, and the export that fills it
// from an image that Magick++ has read: W × H × 4 bytes, rows bottom-up as the picture is seen,
// each pixel blue, green, red, alpha (video) or its alpha four times (matte), 8 bits a sample.

#include <Magick++.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mfc/win_types.h"  // FrameByteCount

/// Makes Magick++ ready for use, once per process; cheap to call again from anywhere.
void EnsureMagickReady();

/// An empty image, made after Magick++ is ready: for members built before any code runs.
Magick::Image NewMagickImage();

/// Reads the file at path into image. A header that claims a frame too large for
/// FrameByteCount is refused before any pixel is decoded. A Magick++ warning that leaves an
/// image is not a failure; any other exception, or no image, is. A picture stored on its side
/// (a photograph's orientation tag) is turned upright, so image.columns() and image.rows() are
/// the frame buffer's width and height. Returns false on failure.
bool ReadFrameImage(Magick::Image& image, const std::string& path);

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
  /// The size last reserved.
  FrameSize size() const { return m_size; }
  std::size_t bytes() const { return m_length; }

 private:
  std::unique_ptr<unsigned char[]> m_bytes;
  std::size_t m_length = 0;
  FrameSize m_size;
};

/// Exports image into frame, orienting the picture as its file declares it (a bottom-left Targa
/// file, whose rows the library keeps in file order, comes out the same as a top-left one of
/// the same picture). Returns the buffer's columns and rows. Throws (a Magick::Exception,
/// std::bad_alloc, ...) when the export fails; frame's bytes are then undefined.
FrameSize ExportFrameBuffer(Magick::Image& image, bool bMatte, FrameBuffer& frame);
