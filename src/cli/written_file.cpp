#include "cli/written_file.h"

#include <sys/stat.h>

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
