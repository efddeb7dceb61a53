#include "avi/probe_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

ProbeFile::ProbeFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = (folder && *folder) ? folder : "/tmp";
  if (pattern.back() != '/') pattern += '/';
  pattern += "tga2avi-probe-XXXXXX.avi";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemps(name.data(), 4);
  if (fd < 0) return;
  ::close(fd);
  m_path = name.data();
}

ProbeFile::~ProbeFile() {
  if (Created()) std::remove(m_path);
}
