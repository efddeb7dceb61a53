#include "fuzz/fuzz_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

std::string InputFolder() {
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

struct InputFile {
  std::string path = InputFolder() + "/tga2avi-fuzz-" + std::to_string(::getpid()) + ".tga";
  ~InputFile() { ::unlink(path.c_str()); }
};

}  // namespace

const std::string& WriteFuzzInput(const std::uint8_t* data, std::size_t size) {
  static const InputFile file;
  const int fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) FuzzFailure("cannot create the input file");
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) FuzzFailure("cannot write the input file");
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return file.path;
}

void FuzzFailure(const char* what) {
  std::fprintf(stderr, "tga2avi fuzz: %s\n", what);
  std::abort();
}
