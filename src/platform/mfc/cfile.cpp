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
  if ((openFlags & (modeWrite | modeReadWrite | modeCreate)) != 0) return fail(EINVAL);

  // Only regular files: a named pipe would block the open until a writer came, and a device
  // or a folder is no frame. The name is looked at before the open, so that nothing else is
  // ever opened, and the descriptor again after it, in case the name changed in between.
  struct stat info {};
  if (::stat(fileName, &info) != 0) return fail(errno);
  if (!S_ISREG(info.st_mode)) return fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(errno);
  const int statResult = ::fstat(fd, &info);
  if (statResult != 0 || !S_ISREG(info.st_mode)) {
    const int cause = statResult != 0 ? errno : EINVAL;
    ::close(fd);
    return fail(cause);
  }
  m_fd = fd;
  return TRUE;
}

void CFile::Close() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
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
