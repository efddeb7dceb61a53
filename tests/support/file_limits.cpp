#include "tests/support/file_limits.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <exception>

namespace testing_support {

namespace {

void WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

// The child's side: its first byte says how body ended ('+' returned, '!' threw), the rest is
// the report or the exception's text.
[[noreturn]] void RunChild(int reportFd, std::uint64_t limit,
                           const std::function<std::string()>& body) {
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit fileSize {};
  fileSize.rlim_cur = static_cast<rlim_t>(limit);
  fileSize.rlim_max = static_cast<rlim_t>(limit);
  if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
    WriteAll(reportFd, std::string("!setrlimit: ") + std::strerror(errno));
    ::_exit(1);
  }
  std::string message;
  try {
    message = "+" + body();
  } catch (const std::exception& error) {
    message = std::string("!") + error.what();
  } catch (...) {
    message = "!an exception";
  }
  WriteAll(reportFd, message);
  ::close(reportFd);
  ::_exit(0);
}

}  // namespace

ChildRun RunWithFileSizeLimit(std::uint64_t limit, const std::function<std::string()>& body,
                              int timeoutSeconds) {
  ChildRun run;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    run.error = std::string("pipe: ") + std::strerror(errno);
    return run;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    run.error = std::string("fork: ") + std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return run;
  }
  if (child == 0) {
    ::close(fds[0]);
    RunChild(fds[1], limit, body);
  }
  ::close(fds[1]);

  std::string received;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd ready{fds[0], POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) {
      timedOut = polled == 0;
      break;
    }
    char buffer[4096];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  if (timedOut) {
    run.error = "the child took longer than " + std::to_string(timeoutSeconds) + " s";
  } else if (!WIFEXITED(status)) {
    run.error = "the child ended by signal " + std::to_string(WTERMSIG(status));
  } else if (received.empty()) {
    run.error =
        "the child reported nothing (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
  } else if (received[0] != '+') {
    run.error = "the child failed: " + received.substr(1);
  } else {
    run.ok = true;
    run.report = received.substr(1);
  }
  return run;
}

TmpfsMount::TmpfsMount(std::uint64_t size) {
  const std::string options = "size=" + std::to_string(size) + ",mode=0700";
  if (::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    m_why = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    return;
  }
  m_mounted = true;
}

TmpfsMount::~TmpfsMount() {
  // A lazy unmount when something still holds the file system: the folder is then empty to
  // everyone else, and the memory goes when the last file is closed.
  if (m_mounted && ::umount2(m_dir.path().c_str(), 0) != 0) {
    ::umount2(m_dir.path().c_str(), MNT_DETACH);
  }
}

}  // namespace testing_support
