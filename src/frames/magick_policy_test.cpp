#include "frames/magick_policy.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "frames/frame_buffer.h"
#include "frames/frame_ring.h"
#include "frames/magick_frame.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

std::string BigEndian32(unsigned v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// An IFF picture: the library hands these to the `ilbmtoppm` program through the shell.
std::string IlbmPicture() {
  std::string bmhd = BigEndian32(0x00040004);  // 4 x 4
  bmhd += std::string(4, '\0') + std::string("\x08\x00\x00\x00", 4) + std::string(8, '\0');
  std::string body = "ILBM" + std::string("BMHD") + BigEndian32(20) + bmhd + "BODY" +
                     BigEndian32(16) + std::string(16, '\x55');
  return "FORM" + BigEndian32(static_cast<unsigned>(body.size())) + body;
}

// Watches one file for any opening, so that a test can tell whether the reader touched it.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd >= 0) inotify_add_watch(m_fd, path.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~OpenWatch() {
    if (m_fd >= 0) close(m_fd);
  }
  bool Ready() const { return m_fd >= 0; }
  bool Opened() const {
    char events[4096];
    return read(m_fd, events, sizeof events) > 0;
  }

 private:
  int m_fd;
};

// Puts a folder first on PATH for as long as it lives.
class PathFirst {
 public:
  explicit PathFirst(const std::string& folder)
      : m_old(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", (folder + ":" + m_old).c_str(), 1);
  }
  ~PathFirst() { setenv("PATH", m_old.c_str(), 1); }

 private:
  std::string m_old;
};

TEST(MagickPolicyTest, AFrameFileNeverRunsAProgramNorReadsAnotherFile) {
  TempDir dir;
  // A stand-in for the delegate program: it leaves a marker if anyone runs it.
  const std::string bin = dir.File("bin");
  std::filesystem::create_directory(bin);
  const std::string marker = dir.File("marker");
  WriteFile(bin + "/ilbmtoppm", "#!/bin/sh\ntouch '" + marker + "'\n");
  chmod((bin + "/ilbmtoppm").c_str(), 0755);
  PathFirst path(bin);

  // A picture that the files below name; reading it would show in the watch.
  const std::string secret = dir.File("secret.tga");
  testing_support::WriteTga(secret, testing_support::TgaPicture(2, 2, {255, 0, 0, 255}));
  const std::string secretPng = dir.File("secret.pgm");
  WriteFile(secretPng, "P5\n2 2\n255\n\x10\x20\x30\x40");

  const std::string names = "'" + secret + "'";
  const struct {
    const char* name;
    std::string bytes;
  } frames[] = {
      {"ilbm.tga", IlbmPicture()},
      {"ilbm.iff", IlbmPicture()},
      {"draw.mvg", "viewbox 0 0 4 4\nimage over 0,0 4,4 " + names + "\n"},
      {"draw0001.tga", "push graphic-context\nviewbox 0 0 4 4\nimage over 0,0 4,4 '" + secretPng +
                           "'\npop graphic-context\n"},
      {"draw.svg",
       "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
       "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"4\" height=\"4\">"
       "<image xlink:href=\"" +
           secretPng + "\" width=\"4\" height=\"4\"/></svg>\n"},
      {"script.msl",
       "<?xml version=\"1.0\"?>\n<image><read filename=\"" + secretPng + "\"/></image>\n"},
      {"list.txt", "@" + secretPng + "\n"},
  };
  for (const auto& frame : frames) {
    SCOPED_TRACE(frame.name);
    const std::string file = dir.File(frame.name);
    WriteFile(file, frame.bytes);
    OpenWatch watchTga(secret);
    OpenWatch watchPgm(secretPng);
    ASSERT_TRUE(watchTga.Ready() && watchPgm.Ready());

    for (bool matte : {false, true}) {
      FrameBuffer buffer;
      EXPECT_EQ(ReadFrameInto(file, matte, buffer).status, FrameRead::Status::kOpenFailed);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_FALSE(watchTga.Opened());
    EXPECT_FALSE(watchPgm.Opened());
  }
}

std::string BigEndian16(unsigned v) { return {char(v >> 8), char(v)}; }

// A Photoshop header declaring width x height, 4 channels of 8 bits, and almost no data: the
// library used to build a pixel cache file of a gigabyte for it before it found out.
std::string PsdHeader(unsigned width, unsigned height) {
  return "8BPS" + BigEndian16(1) + std::string(6, '\0') + BigEndian16(4) + BigEndian32(height) +
         BigEndian32(width) + BigEndian16(8) + BigEndian16(3) + std::string(14, '\0') + "xxxx";
}

TEST(MagickPolicyTest, RasterFramesStillReadAndBogusSizesAreRefusedWithoutACacheFile) {
  TempDir dir;
  TempDir temporary;
  const std::string oldTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  setenv("TMPDIR", temporary.path().c_str(), 1);
  setenv("MAGICK_TEMPORARY_PATH", temporary.path().c_str(), 1);
  // Catches a cache file even when the library removes it again.
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  inotify_add_watch(watch, temporary.path().c_str(), IN_CREATE);

  const struct {
    const char* name;
    std::string bytes;
    bool reads;
  } frames[] = {
      {"grey.pgm", "P5\n2 2\n255\n\x10\x20\x30\x40", true},
      {"huge.psd", PsdHeader(16000, 8000), false},
      {"wide.psd", PsdHeader(20000, 2), false},
      {"huge.pgm", "P5\n16000 8000\n255\nxxxx", false},
  };
  for (const auto& frame : frames) {
    SCOPED_TRACE(frame.name);
    const std::string file = dir.File(frame.name);
    WriteFile(file, frame.bytes);
    FrameBuffer buffer;
    EXPECT_EQ(ReadLibraryFrame(file, false, buffer).status == FrameRead::Status::kOk, frame.reads);
  }
  char events[4096];
  EXPECT_LE(read(watch, events, sizeof events), 0) << "the library made a file";
  close(watch);

  if (oldTmp.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", oldTmp.c_str(), 1);
  }
  unsetenv("MAGICK_TEMPORARY_PATH");
}

}  // namespace
