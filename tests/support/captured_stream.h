#pragma once
// A stdio stream whose output stays in memory, for tests of what a console writes.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

class CapturedStream {
 public:
  CapturedStream() : m_stream(::open_memstream(&m_bytes, &m_size)) {}
  ~CapturedStream() {
    if (m_stream) std::fclose(m_stream);
    std::free(m_bytes);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::FILE* Stream() const { return m_stream; }
  /// Everything written so far.
  std::string Text() {
    std::fflush(m_stream);
    return std::string(m_bytes, m_size);
  }

 private:
  char* m_bytes = nullptr;
  std::size_t m_size = 0;
  std::FILE* m_stream;
};

}  // namespace testing_support
