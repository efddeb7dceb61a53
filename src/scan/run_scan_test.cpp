#include "scan/run_scan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::TempDir;
using testing_support::TgaHeader;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using testing_support::WriteTga;

std::string Name(const char* pattern, int n) {
  char name[64];
  std::snprintf(name, sizeof name, pattern, n);
  return name;
}

// Frames first..last of pattern ("shot%04d.tga"), 4 x 3 each, leaving out the numbers in skip.
void WriteRun(const TempDir& dir, const char* pattern, int first, int last,
              std::initializer_list<int> skip = {}) {
  for (int n = first; n <= last; ++n) {
    if (std::find(skip.begin(), skip.end(), n) != skip.end()) continue;
    WriteTga(dir.File(Name(pattern, n)), TgaPicture(4, 3));
  }
}

TEST(RunScanTest, CountsAndListsTheMissingFrames) {
  TempDir dir;
  WriteRun(dir, "shot%04d.tga", 1, 20, {4, 6, 7, 8, 9, 10, 11});
  const RunScan scan = ScanRun(dir.File("shot0001.tga"), dir.File("shot0020.tga"));
  EXPECT_EQ(scan.problem, "");
  EXPECT_EQ(scan.frameCount, 20);
  EXPECT_EQ(scan.missingCount, 7);
  EXPECT_THAT(scan.missing, ElementsAre(4, 6, 7, 8, 9));
  ASSERT_TRUE(scan.firstSize);
  EXPECT_EQ(scan.firstSize->width, 4);
  EXPECT_EQ(scan.firstSize->height, 3);
  EXPECT_EQ(scan.otherSizeCount, 0);
  EXPECT_EQ(scan.unreadableCount, 0);
}

TEST(RunScanTest, NamesFramesWithTheFirstFilesDigitWidth) {
  // An unpadded run: shot1 .. shot10, so shot01 .. shot09 would all be missing under width 2.
  TempDir dir;
  WriteRun(dir, "shot%d.tga", 1, 10);
  const RunScan scan = ScanRun(dir.File("shot1.tga"), dir.File("shot10.tga"));
  EXPECT_EQ(scan.digitWidth, 1);
  EXPECT_EQ(scan.frameCount, 10);
  EXPECT_EQ(scan.missingCount, 0);
}

TEST(RunScanTest, FindsFramesOfAnotherSizeAndUnreadableOnes) {
  TempDir dir;
  WriteRun(dir, "s_%03d.tga", 1, 8);
  WriteTga(dir.File("s_003.tga"), TgaPicture(6, 3));
  WriteTga(dir.File("s_007.tga"), TgaPicture(4, 5));
  WriteFile(dir.File("s_005.tga"), "not a frame");
  const RunScan scan = ScanRun(dir.File("s_001.tga"), dir.File("s_008.tga"));
  ASSERT_EQ(scan.otherSizeCount, 2);
  EXPECT_EQ(scan.otherSizes[0].number, 3);
  EXPECT_EQ(scan.otherSizes[0].size.width, 6);
  EXPECT_EQ(scan.otherSizes[1].number, 7);
  EXPECT_EQ(scan.otherSizes[1].size.height, 5);
  EXPECT_THAT(scan.unreadable, ElementsAre(5));
  EXPECT_EQ(scan.missingCount, 0);
}

TEST(RunScanTest, SizesComeFromHeadersAlone) {
  // A header that declares 1920 x 1080 with no pixels behind it: the scan reads no further.
  TempDir dir;
  WriteFile(dir.File("h1.tga"), TgaHeader(1920, 1080));
  WriteFile(dir.File("h2.tga"), TgaHeader(1920, 1080));
  const RunScan scan = ScanRun(dir.File("h1.tga"), dir.File("h2.tga"));
  ASSERT_TRUE(scan.firstSize);
  EXPECT_EQ(scan.firstSize->width, 1920);
  EXPECT_EQ(scan.firstSize->height, 1080);
  EXPECT_EQ(scan.unreadableCount, 0);
}

TEST(RunScanTest, StopsAtTheFirstCheckConvertWouldFailInItsWords) {
  TempDir dir;
  WriteRun(dir, "a%02d.tga", 1, 3);
  WriteRun(dir, "b%02d.tga", 1, 3);
  const struct {
    std::string first;
    std::string last;
    std::string problem;
  } cases[] = {
      {"a09.tga", "a03.tga", "Failed to open First TGA file"},
      {"a01.tga", "a09.tga", "Failed to open Last TGA file"},
      {"a03.tga", "a01.tga", "Ending frame number must be greater than starting frame number"},
      {"a01.tga", "b03.tga", "Ending root file name must be the same as starting root file name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first + " .. " + c.last);
    const RunScan scan = ScanRun(dir.File(c.first), dir.File(c.last));
    EXPECT_EQ(scan.problem, c.problem);
    EXPECT_EQ(scan.frameCount, 0);
  }
}

TEST(RunScanTest, GivesUpWhenCancelled) {
  TempDir dir;
  WriteRun(dir, "c%02d.tga", 1, 9);
  int asked = 0;
  const RunScan scan =
      ScanRun(dir.File("c01.tga"), dir.File("c09.tga"), [&asked] { return ++asked > 3; });
  EXPECT_TRUE(scan.cancelled);
  EXPECT_EQ(asked, 4);
}

TEST(RunScanTest, TenThousandFramesInUnderASecond) {
  TempDir dir;
  const std::string header = TgaHeader(1920, 1080);
  for (int n = 1; n <= 10000; ++n) {
    if (n % 1000 != 0) WriteFile(dir.File(Name("big%05d.tga", n)), header);
  }
  WriteFile(dir.File("big10000.tga"), header);
  const auto start = std::chrono::steady_clock::now();
  const RunScan scan = ScanRun(dir.File("big00001.tga"), dir.File("big10000.tga"));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::printf("10,000 frames scanned in %lld ms\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  EXPECT_EQ(scan.frameCount, 10000);
  EXPECT_EQ(scan.missingCount, 9);
  EXPECT_THAT(scan.missing, ElementsAre(1000, 2000, 3000, 4000, 5000));
  EXPECT_LT(elapsed, std::chrono::seconds(1));
}

TEST(RunScanTest, LastFileOfRunKeepsRootWidthAndExtension) {
  TempDir dir;
  WriteRun(dir, "shot%04d.tga", 1, 12);
  WriteTga(dir.File("shot00241.tga"), TgaPicture(1, 1));  // another width
  WriteTga(dir.File("shot0300.png"), TgaPicture(1, 1));   // another extension
  WriteTga(dir.File("shots0400.tga"), TgaPicture(1, 1));  // another root
  EXPECT_EQ(LastFileOfRun(dir.File("shot0001.tga")), dir.File("shot0012.tga"));
  // Past the padding the run goes on unpadded.
  WriteTga(dir.File("shot12345.tga"), TgaPicture(1, 1));
  EXPECT_EQ(LastFileOfRun(dir.File("shot0001.tga")), dir.File("shot12345.tga"));
  EXPECT_EQ(LastFileOfRun(dir.File("nodigits.tga")), "");
  EXPECT_EQ(LastFileOfRun(dir.File("missing/shot0001.tga")), "");
}

TEST(RunScanTest, SuggestsTheRootAsAviName) {
  const struct {
    const char* first;
    const char* avi;
  } cases[] = {
      {"/clips/shot0001.tga", "/clips/shot.avi"},
      {"/clips/shot_0001.tga", "/clips/shot.avi"},
      {"/clips/shot-._0001.tga", "/clips/shot.avi"},
      {"/clips/my.shot.0001.tga", "/clips/my.shot.avi"},
      {"shot1.tga", "shot.avi"},
      {"/clips/0001.tga", ""},
      {"/clips/_0001.tga", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(SuggestedAviFile(c.first), c.avi);
  }
}

}  // namespace
