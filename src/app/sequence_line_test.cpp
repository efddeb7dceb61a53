#include "app/sequence_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::TempDir;
using testing_support::TgaHeader;
using testing_support::WriteFile;

RunScan Scan(long long frames, FrameSize first) {
  RunScan scan;
  scan.first = SplitSequencePath("/clips/shot0001.tga");
  scan.digitWidth = 4;
  scan.frameCount = frames;
  scan.firstSize = first;
  return scan;
}

TEST(SequenceLineTest, SaysWhatConvertWouldDo) {
  RunScan gap = Scan(6, {48, 32});
  gap.missingCount = 1;
  gap.missing = {4};
  RunScan many = Scan(240, {720, 576});
  many.missingCount = 7;
  many.missing = {3, 5, 7, 9, 11};
  many.otherSizeCount = 1;
  many.otherSizes = {{12, {720, 480}}};
  many.unreadableCount = 2;
  many.unreadable = {20, 21};
  RunScan one = Scan(1, {720, 500});
  RunScan unreadableFirst = Scan(2, {});
  unreadableFirst.firstSize.reset();
  unreadableFirst.unreadableCount = 1;
  unreadableFirst.unreadable = {1};
  RunScan missingFirst = Scan(2, {});
  missingFirst.firstSize.reset();
  missingFirst.missingCount = 1;
  missingFirst.missing = {1};
  RunScan huge = Scan(2, {40000, 30000});
  RunScan beyondLibrary = Scan(2, {8000, 8000});  // a frame buffer's size, not the library's
  RunScan refused;
  refused.problem = "Failed to open Last TGA file";
  const struct {
    const char* what;
    const RunScan& scan;
    const char* line;
    LineSettings settings = {};
  } cases[] = {
      {"a gap", gap, "6 frames, 1 missing: 0004 · 48 × 32 · 29.97 fps"},
      {"more than are listed", many,
       "240 frames, 7 missing: 0003, 0005, 0007, 0009, 0011, … · 720 × 576 · 25 fps · "
       "1 of another size: 0012 (720 × 480) · 2 unreadable: 0020, 0021"},
      {"one frame of 500 rows", one, "1 frame · 720 × 500 · 29.97 fps"},
      {"an unreadable first frame", unreadableFirst,
       "2 frames · Error reading /clips/shot0001.tga · 1 unreadable: 0001"},
      {"a missing first frame", missingFirst, "2 frames, 1 missing: 0001"},
      {"a frame too large", huge,
       "2 frames · Frame too large to convert: /clips/shot0001.tga (40000 x 30000)"},
      {"a frame the image library cannot hold", beyondLibrary,
       "2 frames · Frame too large to convert: /clips/shot0001.tga (8000 x 8000)"},
      {"a refused run", refused, "Failed to open Last TGA file"},
      {"a rate from the header",
       one,
       "1 frame · 720 × 500 · 24 fps from the frames' header",
       {"shot.avi", std::nullopt, FrameRate{24, 1}}},
      {"a rate set",
       one,
       "1 frame · 720 × 500 · 23.976 fps as set",
       {"shot.AVI", FrameRate{24000, 1001}, FrameRate{24, 1}}},
      {"a name without .avi",
       one,
       "1 frame · 720 × 500 · 29.97 fps · the AVI name does not end in .avi; the file is an AVI "
       "file all the same",
       {"/clips/edit_v2", std::nullopt, std::nullopt}},
      {"a refused run named .mov",
       refused,
       "Failed to open Last TGA file · the AVI name does not end in .avi; the file is an AVI "
       "file all the same",
       {"clip.mov", std::nullopt, std::nullopt}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DescribeRun(c.scan, c.settings), c.line);
  }
}

// Answers as they arrive on the scanner's thread.
struct Answers {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<ScanAnswer> list;
  void Add(ScanAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex);
    list.push_back(std::move(answer));
    arrived.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(20), [&] { return list.size() >= count; });
  }
};

void WriteHeaders(const TempDir& dir, const char* pattern, int count) {
  const std::string header = TgaHeader(8, 6);
  for (int n = 1; n <= count; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, pattern, n);
    WriteFile(dir.File(name), header);
  }
}

TEST(RunScannerTest, ANewerRequestSupersedesTheOneUnderWay) {
  TempDir dir;
  WriteHeaders(dir, "long%05d.tga", 5000);
  WriteHeaders(dir, "short%02d.tga", 3);
  Answers answers;
  {
    RunScanner scanner([&answers](ScanAnswer answer) { answers.Add(std::move(answer)); });
    scanner.Request(
        {dir.File("long00001.tga"), dir.File("long05000.tga"), false, "", std::nullopt});
    const unsigned long long id =
        scanner.Request({dir.File("short01.tga"), "", true, "", std::nullopt});
    ASSERT_TRUE(answers.WaitFor(1));
    EXPECT_TRUE(scanner.IsLatest(id));
  }
  ASSERT_EQ(answers.list.size(), 1U);
  const ScanAnswer& answer = answers.list[0];
  EXPECT_EQ(answer.suggestedLast, dir.File("short03.tga"));
  EXPECT_EQ(answer.suggestedAvi, dir.File("short.avi"));
  EXPECT_EQ(answer.line, "3 frames · 8 × 6 · 29.97 fps");
}

TEST(RunScannerTest, GoesAtOnceWhileAScanRuns) {
  TempDir dir;
  WriteHeaders(dir, "run%05d.tga", 5000);
  Answers answers;
  const auto start = std::chrono::steady_clock::now();
  {
    RunScanner scanner([&answers](ScanAnswer answer) { answers.Add(std::move(answer)); });
    scanner.Request({dir.File("run00001.tga"), dir.File("run05000.tga"), false, "", std::nullopt});
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // let the scan begin
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_TRUE(answers.list.empty());
}

TEST(RunScannerTest, AnEmptyFieldGivesAnEmptyLine) {
  Answers answers;
  RunScanner scanner([&answers](ScanAnswer answer) { answers.Add(std::move(answer)); });
  scanner.Request({"/clips/shot0001.tga", "", false, "", std::nullopt});
  ASSERT_TRUE(answers.WaitFor(1));
  EXPECT_EQ(answers.list[0].line, "");
  EXPECT_EQ(answers.list[0].suggestedLast, "");
}

}  // namespace
