#include "job/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace {

std::string Contents(int fd) {
  std::string text;
  char buffer[64];
  ssize_t got = 0;
  off_t at = 0;
  while (text.size() < 256 && (got = ::pread(fd, buffer, sizeof buffer, at)) > 0) {
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
  return text;
}

// A lock file of ours holds nothing yet or a process id and a newline; anything else is a
// file of the user's that happens to have the name, and is left as it is.
bool LooksLikeOurs(const std::string& text) {
  for (const char c : text) {
    if ((c < '0' || c > '9') && c != '\n') return false;
  }
  return true;
}

std::string LockPath(const std::string& output) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(output, error);
  return (error ? output : canonical.string()) + ".lock";
}

}  // namespace

OutputLock::OutputLock(const std::string& output) : m_path(LockPath(output)) {
  // A holder that ends between our open and our lock removes the name we opened; the lock is
  // then on a file nobody else will find, so it is taken again on the name as it is now.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        m_state = State::kBusy;
        for (const char c : Contents(fd)) {
          if (c < '0' || c > '9' || m_holder > 99999999) break;
          m_holder = m_holder * 10 + (c - '0');
        }
      }
      ::close(fd);
      return;
    }
    struct stat named {};
    if (::stat(m_path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
      ::close(fd);
      continue;
    }
    m_fd = fd;
    m_state = State::kHeld;
    if (LooksLikeOurs(Contents(fd))) {
      const std::string pid = std::to_string(::getpid()) + "\n";
      m_ours = ::ftruncate(fd, 0) == 0 &&
               ::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    }
    return;
  }
}

OutputLock::~OutputLock() {
  if (m_fd < 0) return;
  // Removed while still locked, so that no other run locks the name this run is leaving.
  if (m_ours) ::unlink(m_path.c_str());
  ::close(m_fd);
}
