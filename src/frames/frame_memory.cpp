#include "frames/frame_memory.h"

#include <Magick++.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kPooledFrom = std::size_t{1} << 20;
// A few frames' worth at 1080p: the pixel caches and buffers of the frames in flight.
constexpr std::size_t kKeptAtMost = std::size_t{160} << 20;

class BlockPool {
 public:
  // A kept block of at least size bytes (and not much more) at the given alignment, or null.
  void* Take(std::size_t size, std::size_t alignment) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
      const Block block = m_blocks[i];
      if (block.size >= size && block.size - size <= size / 8 &&
          reinterpret_cast<std::uintptr_t>(block.memory) % alignment == 0) {
        m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(i));
        m_bytes -= block.size;
        return block.memory;
      }
    }
    return nullptr;
  }

  // Keeps a freed block for reuse; false when the pool is full (the caller frees it).
  bool Keep(void* memory) {
    const std::size_t size = malloc_usable_size(memory);
    if (size < kPooledFrom) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bytes + size > kKeptAtMost) return false;
    m_blocks.push_back({memory, size});
    m_bytes += size;
    return true;
  }

  std::size_t Bytes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
  }

 private:
  struct Block {
    void* memory;
    std::size_t size;
  };
  std::mutex m_mutex;
  std::vector<Block> m_blocks;
  std::size_t m_bytes = 0;
};

BlockPool& Pool() {
  static BlockPool* pool = new BlockPool;  // never destroyed: ImageMagick frees at exit too
  return *pool;
}

void* Acquire(std::size_t size) {
  if (size >= kPooledFrom) {
    if (void* kept = Pool().Take(size, alignof(std::max_align_t))) return kept;
  }
  return std::malloc(size);
}

void* Resize(void* memory, std::size_t size) { return std::realloc(memory, size); }

void Destroy(void* memory) {
  if (memory && !Pool().Keep(memory)) std::free(memory);
}

void* AcquireAligned(std::size_t size, std::size_t alignment) {
  if (size >= kPooledFrom) {
    if (void* kept = Pool().Take(size, alignment)) return kept;
  }
  void* memory = nullptr;
  return posix_memalign(&memory, alignment, size) == 0 ? memory : nullptr;
}

void RelinquishAligned(void* memory) { Destroy(memory); }

}  // namespace

void UseFrameBlockPool() {
  MagickCore::SetMagickMemoryMethods(Acquire, Resize, Destroy);
  MagickCore::SetMagickAlignedMemoryMethods(AcquireAligned, RelinquishAligned);
}

std::size_t FrameBlockPoolBytes() { return Pool().Bytes(); }

void MagickMemoryFree::operator()(unsigned char* p) const { MagickCore::RelinquishMagickMemory(p); }

MagickBytes AcquireMagickBytes(std::size_t size) {
  MagickBytes bytes(static_cast<unsigned char*>(MagickCore::AcquireMagickMemory(size)));
  if (!bytes) throw std::bad_alloc();
  return bytes;
}
