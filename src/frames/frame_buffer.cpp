#include "frames/frame_buffer.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

unsigned char* FrameBuffer::Reserve(FrameSize size) {
  const std::int64_t count =
      FrameByteCount(size.width < 0 ? 0 : size.width, size.height < 0 ? 0 : size.height);
  if (count < 0) throw std::length_error("no frame buffer of that size");
  const auto length = static_cast<std::size_t>(count);
  if (length != m_length || !m_bytes) {
    // The old block goes first, so that a change of size never holds both.
    m_bytes.reset();
    m_length = 0;
    m_size = FrameSize{};
    m_bytes = std::make_unique<unsigned char[]>(length);  // zeroed once per size
    m_length = length;
  }
  m_size = size;
  return m_bytes.get();
}
