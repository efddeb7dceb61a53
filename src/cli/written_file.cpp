#include "cli/written_file.h"

#include <sys/stat.h>

#include "media/avi_reader.h"

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
  AviReader reader;
  if (!reader.Open(path)) return facts;
  // The frames a reader can reach, as the window's check counts them.
  const AviStreamFacts& stream = reader.Facts();
  facts.readable = true;
  facts.frames = stream.frames;
  facts.handler = stream.handler;
  facts.width = stream.width;
  facts.height = stream.height;
  facts.rate = stream.rate;
  facts.scale = stream.scale;
  return facts;
}
