#pragma once
// The frame buffer that the output passes hand to the compressor, and the export that fills it
// from an image that Magick++ has read: W × H × 4 bytes, rows bottom-up as the picture is seen,
// each pixel blue, green, red, alpha (video) or its alpha four times (matte), 8 bits a sample.

#include <Magick++.h>

#include <cstdint>
#include <string>

#include "platform/vfw/vfw.h"  // FrameByteCount

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

/// Exports image into a new frame buffer owned by blob, orienting the picture as its file
/// declares it (a bottom-left Targa file, whose rows the library keeps in file order, comes out
/// the same as a top-left one of the same picture). The storage blob held before is released,
/// never written, so copies of the old blob keep their bytes. Returns the buffer's columns and
/// rows. Throws (a Magick::Exception, std::bad_alloc, ...) when the export fails, with blob
/// unchanged.
FrameSize ExportFrameBuffer(Magick::Image& image, bool bMatte, Magick::Blob& blob);
