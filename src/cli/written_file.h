#pragma once
// An output file as it is on disk before the run, to tell whether the run wrote it.

#include <string>

/// Enough of a file's state to see that it was written: its identity, size and time.
struct FileStamp {
  bool exists = false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  long long size = 0;
  long long modifiedNs = 0;
  friend bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
  }
  friend bool operator!=(const FileStamp& a, const FileStamp& b) { return !(a == b); }
};

/// The stamp of path now; exists is false when there is nothing there.
FileStamp StampOf(const std::string& path);
