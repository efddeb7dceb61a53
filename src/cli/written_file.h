#pragma once
// An output file as it is on disk: what it was before the run (to tell whether the run wrote
// it), and what a written AVI file holds, read back through the media core's AviReader.

#include <cstdint>
#include <string>

#include "media/compressor_catalogue.h"

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

/// What an AVI file's video stream holds, as its headers and index say.
struct AviFacts {
  bool readable = false;  ///< false: not there, or not an AVI file with a video stream
  long long frames = 0;
  FourCC handler = 0;  ///< as the file tags its compressor; 0 for Full Frames
  int width = 0;
  int height = 0;
  std::uint32_t rate = 0;  ///< frames per second as rate / scale
  std::uint32_t scale = 0;
};

/// Reads the facts of the AVI file at path.
AviFacts ReadAviFacts(const std::string& path);
