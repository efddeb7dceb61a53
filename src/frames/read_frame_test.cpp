// ReadFrameInto, the one way a frame file is read: what each kind of failure comes to and the
// reason it carries.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "frames/frame_ring.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::EncodeTga;
using testing_support::TempDir;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using Status = FrameRead::Status;

TEST(ReadFrameTest, AFailureCarriesItsStatusAndReason) {
  TempDir dir;
  std::string truncated = EncodeTga(TgaPicture(64, 64, {1, 2, 3, 4}));
  truncated.resize(truncated.size() / 2);
  const std::string png = "\x89PNG\r\n\x1a\n" + std::string(29, 'x');
  std::filesystem::create_directories(dir.path() / "folder0001.tga");
  const struct {
    const char* name;
    bool write;
    std::string bytes;
    Status status;
    std::string reason;
  } cases[] = {
      {"missing0001.tga", false, "", Status::kMissing, "No such file or directory"},
      {"folder0001.tga", false, "", Status::kOpenFailed, "Is a directory"},
      {"truncated0001.tga", true, truncated, Status::kOpenFailed,
       "shorter than its header declares"},
      {"huge0001.tga", true, testing_support::TgaHeader(65535, 65535) + std::string(4096, '\x11'),
       Status::kTooLarge, "more pixels than a frame can hold"},
      {"notes0001.txt", true, "just some words\n", Status::kOpenFailed,
       "attempt to perform an operation not allowed by the security policy"},
      {"damaged0001.png", true, png, Status::kOpenFailed, "insufficient image data in file"},
      {"empty0001.tga", true, "", Status::kOpenFailed, "improper image header"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    if (c.write) WriteFile(path, c.bytes);
    for (bool matte : {false, true}) {
      FrameBuffer frame;
      const FrameRead read = ReadFrameInto(path, matte, frame);
      EXPECT_EQ(read.status, c.status);
      EXPECT_EQ(read.reason, c.reason);
      EXPECT_EQ(read.path, path);
    }
  }
}

}  // namespace
