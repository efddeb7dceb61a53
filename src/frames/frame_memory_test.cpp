#include "frames/frame_memory.h"

#include <gtest/gtest.h>

#include <Magick++.h>

#include <vector>

#include "frames/frame_buffer.h"

namespace {

// The pool must hand the next frame the blocks the last one gave back, and never keep more
// than a few frames' worth, however many frames pass through it.
TEST(FrameBlockPoolTest, ReusesFrameSizedBlocksAndStaysBounded) {
  EnsureMagickReady();
  const std::size_t frame = 1920 * 1080 * 4;
  void* first = MagickCore::AcquireMagickMemory(frame);
  ASSERT_NE(first, nullptr);
  MagickCore::RelinquishMagickMemory(first);
  void* again = MagickCore::AcquireMagickMemory(frame);
  EXPECT_EQ(again, first);
  MagickCore::RelinquishMagickMemory(again);

  // Small blocks are not kept; a block far larger than asked for is not handed out.
  void* small = MagickCore::AcquireMagickMemory(4096);
  MagickCore::RelinquishMagickMemory(small);
  void* tiny = MagickCore::AcquireMagickMemory(2 << 20);
  EXPECT_NE(tiny, first);
  MagickCore::RelinquishMagickMemory(tiny);

  std::vector<void*> many;
  for (int i = 0; i < 64; ++i) many.push_back(MagickCore::AcquireAlignedMemory(1, frame * 2));
  for (void* block : many) MagickCore::RelinquishAlignedMemory(block);
  EXPECT_LE(FrameBlockPoolBytes(), std::size_t{160} << 20);
  EXPECT_GT(FrameBlockPoolBytes(), frame);
}

}  // namespace
