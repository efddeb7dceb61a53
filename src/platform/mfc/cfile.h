#pragma once
// The converter's one owner of an open file: frame files opened and read, the AVI file being
// written held open for the writer, and whether an entry of a given name exists.

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

#include "platform/mfc/win_types.h"

struct CFileStatus {
  std::time_t m_mtime = 0;
  std::uint64_t m_size = 0;
  bool m_bDirectory = false;
  std::string m_szFullName;
};

class CFileException {
 public:
  int m_cause = 0;  // 0: none; otherwise the errno of the failed call
  std::string m_strFileName;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareDenyWrite = 0x0020,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
  /// What Seek, GetLength and GetPosition give when the call fails.
  static constexpr std::uint64_t kFailed = ~std::uint64_t{0};

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  CFile(CFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  CFile& operator=(CFile&& other) noexcept {
    if (this != &other) {
      Close();
      m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
  }
  ~CFile();

  /// Opens a file by name: Open("shot0001.tga", modeRead | shareDenyWrite | modeNoTruncate).
  /// For reading, returns FALSE at once, filling *error when given, for a missing or
  /// unreadable file, an empty name, or anything that is not a regular file (a folder, a
  /// named pipe, a device). For writing (modeWrite, with modeCreate to create a missing file
  /// and modeNoTruncate to keep what an existing one holds), any writable entry opens, except
  /// a named pipe that nothing reads. Sharing flags have no effect here: Linux has no
  /// mandatory share locks.
  BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
  /// Closes the file; false when the close reported an error (a file system that writes back
  /// on close, as NFS does, reports a lost write only here).
  bool Close();
  bool IsOpen() const { return m_fd >= 0; }
  /// The open descriptor, for the calls this class does not wrap (fallocate, ftruncate).
  int Descriptor() const { return m_fd; }

  /// Reads up to count bytes into buffer; fewer only at the end of the file or on an error.
  UINT Read(void* buffer, UINT count);
  /// Moves to offset from the start, the current position or the end; the new position.
  std::uint64_t Seek(std::int64_t offset, UINT from);
  std::uint64_t GetLength() const;
  std::uint64_t GetPosition() const;

  /// TRUE when an entry of that name exists (a file or a directory), with its details.
  static BOOL GetStatus(LPCSTR fileName, CFileStatus& status);

 private:
  int m_fd = -1;
};
