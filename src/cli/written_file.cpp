#include "cli/written_file.h"

#include <sys/stat.h>

#include "platform/vfw/vfw.h"

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return stamp;
  stamp.exists = true;
  stamp.device = status.st_dev;
  stamp.inode = status.st_ino;
  stamp.size = status.st_size;
  stamp.modifiedNs =
      static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
  return stamp;
}

AviFacts ReadAviFacts(const std::string& path) {
  AviFacts facts;
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) != 0) return facts;
  PAVISTREAM stream = nullptr;
  AVISTREAMINFOA info{};
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0 &&
      AVIStreamInfoA(stream, &info, sizeof info) == 0) {
    // The frames a reader can reach, as the window's check counts them.
    const LONG length = AVIStreamLength(stream);
    facts.readable = length >= 0;
    facts.frames = length < 0 ? 0 : length;
    facts.handler = info.fccHandler;
    facts.width = info.rcFrame.right - info.rcFrame.left;
    facts.height = info.rcFrame.bottom - info.rcFrame.top;
    facts.rate = info.dwRate;
    facts.scale = info.dwScale;
  }
  if (stream) AVIStreamRelease(stream);
  AVIFileRelease(file);
  return facts;
}
