#include "avi/probe_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

ProbeFile::ProbeFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = (folder && *folder) ? folder : "/tmp";
  m_folder = pattern.c_str();
  if (pattern.back() != '/') pattern += '/';
  pattern += "tga2avi-probe-XXXXXX.avi";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemps(name.data(), 4);
  if (fd < 0) {
    m_failure = std::strerror(errno);
    return;
  }
  ::close(fd);
  m_path = name.data();
}

ProbeFile::~ProbeFile() {
  if (Created()) std::remove(m_path);
}
