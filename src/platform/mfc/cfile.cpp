#include "platform/mfc/cfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

CFile::~CFile() { Close(); }

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error) {
  Close();
  auto fail = [&](int cause) {
    if (error) {
      error->m_cause = cause;
      error->m_strFileName = fileName ? fileName : "";
    }
    return FALSE;
  };
  if (!fileName || !*fileName) return fail(ENOENT);
  if ((openFlags & modeReadWrite) != 0) return fail(EINVAL);
  const bool writing = (openFlags & modeWrite) != 0;
  struct stat info {};
  if (!writing) {
    // Only regular files: a named pipe would block the open until a writer came, and a device
    // or a folder is no frame. The name is looked at before the open, so that nothing else is
    // ever opened, and the descriptor again after it, in case the name changed in between.
    if (::stat(fileName, &info) != 0) return fail(errno);
    if (!S_ISREG(info.st_mode)) return fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  }
  int flags = (writing ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  if (writing && (openFlags & modeCreate) != 0) {
    flags |= O_CREAT | ((openFlags & modeNoTruncate) != 0 ? 0 : O_TRUNC);
  }
  int fd;
  do {
    fd = ::open(fileName, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(errno);
  const int statResult = ::fstat(fd, &info);
  const bool usable = statResult == 0 && (writing ? !S_ISDIR(info.st_mode) : S_ISREG(info.st_mode));
  if (!usable) {
    const int cause = statResult != 0 ? errno : EINVAL;
    ::close(fd);
    return fail(cause);
  }
  // Opened without waiting; from here on reads and writes wait as usual.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  m_fd = fd;
  return TRUE;
}

bool CFile::Close() {
  if (m_fd < 0) return true;
  const int fd = m_fd;
  m_fd = -1;
  // Linux releases the descriptor even when close is interrupted; that is no lost write.
  return ::close(fd) == 0 || errno == EINTR;
}

UINT CFile::Read(void* buffer, UINT count) {
  auto* out = static_cast<unsigned char*>(buffer);
  UINT done = 0;
  while (done < count) {
    const ssize_t n = ::read(m_fd, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

std::uint64_t CFile::Seek(std::int64_t offset, UINT from) {
  const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(m_fd, static_cast<off_t>(offset), whence);
  return position < 0 ? kFailed : static_cast<std::uint64_t>(position);
}

std::uint64_t CFile::GetLength() const {
  struct stat info {};
  if (::fstat(m_fd, &info) != 0) return kFailed;
  return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t CFile::GetPosition() const {
  const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
  return position < 0 ? kFailed : static_cast<std::uint64_t>(position);
}

BOOL CFile::GetStatus(LPCSTR fileName, CFileStatus& status) {
  if (!fileName || !*fileName) return FALSE;
  struct stat info {};
  // A dangling symbolic link is an entry too: writing to that name would create its target.
  if (::stat(fileName, &info) != 0 && ::lstat(fileName, &info) != 0) return FALSE;
  status.m_mtime = info.st_mtime;
  status.m_size = static_cast<std::uint64_t>(info.st_size);
  status.m_bDirectory = S_ISDIR(info.st_mode);
  char resolved[PATH_MAX];
  status.m_szFullName = ::realpath(fileName, resolved) ? resolved : fileName;
  return TRUE;
}
