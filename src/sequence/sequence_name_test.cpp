#include "sequence/sequence_name.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::ElementsAre;

struct SplitCase {
  const char* path;
  const char* drive;
  const char* dir;
  const char* root;
  int number;
  int width;
  const char* ext;
};

TEST(SplitSequencePathTest, SplitsEveryKindOfPath) {
  const SplitCase cases[] = {
      {"D:\\seq\\shot0001.tga", "D:", "\\seq\\", "shot", 1, 4, ".tga"},
      {"shot0001.tga", "", "", "shot", 1, 4, ".tga"},
      {"0042.tga", "", "", "", 42, 4, ".tga"},
      {"title.tga", "", "", "title", 0, 0, ".tga"},
      {"frame.001", "", "", "frame", 0, 0, ".001"},
      {"D:\\take2\\shot.tga", "D:", "\\take2\\", "shot", 0, 0, ".tga"},
      {"shot.0001.tga", "", "", "shot.", 1, 4, ".tga"},
      {"v2shot0010.tga", "", "", "v2shot", 10, 4, ".tga"},
      {"shot0000.tga", "", "", "shot", 0, 4, ".tga"},
      // Both separators count, also mixed in one path.
      {"C:/renders\\v3/shot0007.tga", "C:", "/renders\\v3/", "shot", 7, 4, ".tga"},
      {"/home/ed/shots/shot0120.tga", "", "/home/ed/shots/", "shot", 120, 4, ".tga"},
      // A drive with no directory.
      {"E:shot0003.tga", "E:", "", "shot", 3, 4, ".tga"},
      // Digits in the directory and in the extension never count.
      {"/take12/plate.tga", "", "/take12/", "plate", 0, 0, ".tga"},
      {"/r/shot0005.j2k", "", "/r/", "shot", 5, 4, ".j2k"},
      // A dot in a directory does not start an extension.
      {"/renders.v2/shot0009", "", "/renders.v2/", "shot", 9, 4, ""},
      // UTF-8 bytes are never digits.
      {"/plans/caf\xc3\xa9-\xe5\xbd\xb1"
       "0012.tga",
       "", "/plans/", "caf\xc3\xa9-\xe5\xbd\xb1", 12, 4, ".tga"},
      {"", "", "", "", 0, 0, ""},
      {"12", "", "", "", 12, 2, ""},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    const SequenceName name = SplitSequencePath(c.path);
    EXPECT_EQ(name.drive, c.drive);
    EXPECT_EQ(name.dir, c.dir);
    EXPECT_EQ(name.root, c.root);
    EXPECT_EQ(name.number, c.number);
    EXPECT_EQ(name.width, c.width);
    EXPECT_EQ(name.ext, c.ext);
    EXPECT_FALSE(name.numberTooLarge);
    // The parts joined again are the path, which is why frame names land beside the first.
    if (name.width > 0) {
      EXPECT_EQ(FrameFileName(name, name.width, name.number), c.path);
    }
  }
}

TEST(SplitSequencePathTest, FlagsNumbersBeyondThirtyTwoBits) {
  const SequenceName fits = SplitSequencePath("shot2147483647.tga");
  EXPECT_EQ(fits.number, 2147483647);
  EXPECT_FALSE(fits.numberTooLarge);

  const SequenceName wide = SplitSequencePath("shot2147483648.tga");
  EXPECT_TRUE(wide.numberTooLarge);
  EXPECT_EQ(wide.number, 0);
  EXPECT_EQ(wide.width, 10);

  // Leading zeros add width, not value.
  const SequenceName padded = SplitSequencePath("shot000000000000000000001.tga");
  EXPECT_FALSE(padded.numberTooLarge);
  EXPECT_EQ(padded.number, 1);
  EXPECT_EQ(padded.width, 21);
}

TEST(FrameFileNameTest, PadsToTheWidth) {
  const SequenceName padded = SplitSequencePath("D:\\seq\\shot0001.tga");
  const SequenceName unpadded = SplitSequencePath("/shots/shot1.tga");
  const SequenceName bare = SplitSequencePath("title.tga");
  struct Case {
    const SequenceName& first;
    int width;
    int n;
    const char* expected;
  } cases[] = {
      {padded, 4, 12, "D:\\seq\\shot0012.tga"},
      {padded, 4, 1, "D:\\seq\\shot0001.tga"},
      {padded, 4, 123456, "D:\\seq\\shot123456.tga"},
      {padded, 4, 0, "D:\\seq\\shot0000.tga"},
      {unpadded, 1, 10, "/shots/shot10.tga"},
      {unpadded, 1, 9, "/shots/shot9.tga"},
      {bare, 0, 0, "title0.tga"},
      {bare, 0, 7, "title7.tga"},
      {padded, 4, 2147483647, "D:\\seq\\shot2147483647.tga"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameFileName(c.first, c.width, c.n), c.expected);
  }
}

TEST(FrameFileNameTest, TakesEverythingButTheNumberFromTheFirstFile) {
  const SequenceName first = SplitSequencePath("D:\\a\\shot0001.tga");
  const SequenceName last = SplitSequencePath("E:\\b\\shot0003.png");
  EXPECT_EQ(last.number, 3);
  EXPECT_EQ(FrameFileName(first, first.width, 2), "D:\\a\\shot0002.tga");
  EXPECT_EQ(FrameFileName(first, first.width, last.number), "D:\\a\\shot0003.tga");
}

TEST(SequenceProblemTest, RunsTheChecksInOrderWithTheirMessages) {
  const char* const kRange = "Ending frame number must be greater than starting frame number";
  const char* const kRoot = "Ending root file name must be the same as starting root file name";
  const struct {
    const char* first;
    const char* last;
    const char* problem;  // null when the pair passes
  } cases[] = {
      {"shot0001.tga", "shot0240.tga", nullptr},
      {"shot0005.tga", "shot0005.tga", nullptr},
      {"title.tga", "title.tga", nullptr},
      {"shot1.tga", "shot10.tga", nullptr},
      {"D:\\a\\shot0001.tga", "E:\\b\\shot0003.png", nullptr},
      {"shot0010.tga", "shot0009.tga", kRange},
      {"a0010.tga", "b0009.tga", kRange},
      {"Shot0001.tga", "shot0009.tga", kRoot},
      {"shot0001.tga", "take0009.tga", kRoot},
      {"shot9999999999.tga", "shot0001.tga", "Frame number of First TGA file is too large"},
      {"shot0001.tga", "shot9999999999.tga", "Frame number of Last TGA file is too large"},
  };
  for (const auto& c : cases) {
    const char* problem = SequenceProblem(SplitSequencePath(c.first), SplitSequencePath(c.last));
    EXPECT_EQ(std::string(problem ? problem : "(passes)"),
              std::string(c.problem ? c.problem : "(passes)"))
        << c.first << " .. " << c.last;
  }
}

}  // namespace
