#pragma once
// Where ImageMagick and the frame export get their frame-sized blocks from.

#include <cstddef>
#include <memory>

/// Routes ImageMagick's memory (and so every frame buffer and pixel cache) through a small
/// pool that keeps freed blocks of 1 MiB and more, up to a fixed number of bytes, for the next
/// frame. Each frame asks for blocks of the same sizes as the last; kept mapped, they are
/// reused without a page fault per 4 KiB, and the peak stays that of a few frames however long
/// the sequence. Call once, before ImageMagick is initialised.
void UseFrameBlockPool();

/// Bytes the pool holds for reuse now (for tests).
std::size_t FrameBlockPoolBytes();

/// Gives a block from ImageMagick's allocator back to it.
struct MagickMemoryFree {
  void operator()(unsigned char* p) const;
};

/// A block of ImageMagick's memory (so, for frame sizes, from the pool), owned.
using MagickBytes = std::unique_ptr<unsigned char[], MagickMemoryFree>;

/// size bytes from ImageMagick's allocator; throws std::bad_alloc when there are none.
MagickBytes AcquireMagickBytes(std::size_t size);
