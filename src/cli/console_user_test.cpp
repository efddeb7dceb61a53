// The Convert command with the console user attached, in this process: what the console shows,
// what it answers and what it keeps for the report. The program itself is tested end to end in
// tests/cli/.

#include "cli/console_user.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/stop_signals.h"
#include "dialog/converter_dlg.h"
#include "tests/support/avi_reader.h"
#include "tests/support/captured_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace testing_support;

class ConsoleUserTest : public ::testing::Test {
 protected:
  ConsoleUserTest() { StopSignals::Clear(); }
  ~ConsoleUserTest() override { StopSignals::Clear(); }

  void WriteFrames(int count, int width = 16, int height = 12) {
    for (int n = 1; n <= count; ++n) {
      pictures.push_back(RampPicture(width, height, n));
      WriteTga(Frame(n), pictures.back());
    }
    options.first = Frame(1);
    options.last = Frame(count);
    options.output = dir.File("shot.avi");
  }
  std::string Frame(int n) const {
    char name[32];
    std::snprintf(name, sizeof name, "shot%04d.tga", n);
    return dir.File(name);
  }
  // Runs the Convert command with a console user; the clock moves one second a call, and
  // onClock sees each call's count.
  void Run(bool terminal = false, bool ask = false) {
    Console console(err.Stream(), terminal);
    CConverterDlg dlg;
    int ticks = 0;
    ConsoleUser user(console, options, ask, [this, &ticks] {
      ++ticks;
      if (onClock) onClock(ticks);
      return static_cast<double>(ticks);
    });
    user.Attach(dlg);
    dlg.OnConvert();
    messages = user.Messages();
    repeated = user.Repeated();
    stopSeen = user.StopSeen();
    began[0] = user.PassOf(0).began;
    began[1] = user.PassOf(1).began;
    ended = user.Ended();
    dlg.SetBackend(nullptr);
    dlg.SetObserver(nullptr);
  }

  TempDir dir;
  CommandLine options;
  CapturedStream err;
  std::vector<TgaPicture> pictures;
  std::function<void(int)> onClock;
  std::vector<std::string> messages;
  std::vector<RepeatedFrame> repeated;
  bool stopSeen = false;
  bool began[2] = {false, false};
  std::optional<JobEnded> ended;
};

TEST_F(ConsoleUserTest, SaysEachPassOnceWhenNotATerminal) {
  WriteFrames(3);
  options.compressor = FindCompressor(MakeFourCC('F', 'F', 'V', '1'));
  Run();
  EXPECT_THAT(messages, ElementsAre("AVI File Created"));
  EXPECT_EQ(err.Text(),
            "tga2avi: colour pass: 3 frames in 3.0 s (1.0 fps)\n"
            "tga2avi: matte pass: 3 frames in 3.0 s (1.0 fps)\n"
            "tga2avi: Checked: shot.avi and shot.matte.avi, 3 frames each, lossless frames "
            "identical\n"
            "tga2avi: AVI File Created\n");
  EXPECT_TRUE(began[0] && began[1]);
  EXPECT_EQ(DecodeAviOrFail(options.output).frames.size(), 3u);
}

TEST_F(ConsoleUserTest, RewritesOneProgressLineOnATerminal) {
  WriteFrames(2);
  options.compressor = FindCompressor(kFullFramesFourCC);
  Run(/*terminal=*/true);
  EXPECT_EQ(err.Text(),
            "\r\033[Ktga2avi: colour pass: frame 1 (1 of 2)"
            "\r\033[Ktga2avi: colour pass: frame 2 (2 of 2)"
            "\r\033[Ktga2avi: colour pass: 2 frames in 2.0 s (1.0 fps)\n"
            "\r\033[Ktga2avi: matte pass: frame 1 (1 of 2)"
            "\r\033[Ktga2avi: matte pass: frame 2 (2 of 2)"
            "\r\033[Ktga2avi: matte pass: 2 frames in 2.0 s (1.0 fps)\n"
            "tga2avi: Checked: shot.avi and shot.matte.avi, 2 frames each, lossless frames "
            "identical\n"
            "tga2avi: AVI File Created\n");
}

TEST_F(ConsoleUserTest, KeepsTheFramesRepeatedAndWhy) {
  WriteFrames(4);
  std::filesystem::remove(Frame(2));
  WriteTga(Frame(3), RampPicture(8, 8, 3));
  options.compressor = FindCompressor(kFullFramesFourCC);
  Run();
  const std::string missing = "Error on opening " + Frame(2);
  const std::string size =
      "Frame size differs from the first frame: " + Frame(3) + " (8 x 8, expected 16 x 12)";
  EXPECT_THAT(messages, ElementsAre(missing, size, missing, size, "AVI File Created"));
  ASSERT_EQ(repeated.size(), 2u);
  EXPECT_EQ(repeated[0].first.frame, 2);
  EXPECT_EQ(repeated[0].first.path, Frame(2));
  EXPECT_EQ(repeated[0].first.cause, RepeatCause::kMissing);
  EXPECT_THAT(repeated[0].passes, ElementsAre(0, 1));
  EXPECT_EQ(repeated[1].first.frame, 3);
  EXPECT_EQ(repeated[1].first.cause, RepeatCause::kOtherSize);
  EXPECT_EQ(repeated[1].first.size.width, 8);
  EXPECT_EQ(repeated[1].first.expected.width, 16);
  EXPECT_THAT(repeated[1].passes, ElementsAre(0, 1));
  EXPECT_THAT(err.Text(), HasSubstr("tga2avi: " + missing + "\n"));
}

TEST_F(ConsoleUserTest, RefusesToWriteOverAFileUnlessTold) {
  WriteFrames(2);
  options.compressor = FindCompressor(kFullFramesFourCC);
  WriteFile(options.output, "kept");
  Run();
  EXPECT_THAT(messages, ElementsAre("AVI file exists: " + options.output +
                                    " (not overwritten: --overwrite writes over it)"));
  EXPECT_FALSE(began[0]);
  EXPECT_EQ(std::filesystem::file_size(options.output), 4u);

  options.overwrite = true;
  messages.clear();
  Run();
  EXPECT_THAT(messages, ElementsAre("AVI File Created"));
  EXPECT_EQ(DecodeAviOrFail(options.output).frames.size(), 2u);
}

TEST_F(ConsoleUserTest, RefusesACompressorThatCannotTakeTheFrames) {
  const CompressorInfo* msvc = FindCompressor(MakeFourCC('M', 'S', 'V', 'C'));
  if (!msvc) GTEST_SKIP() << "no Microsoft Video 1 encoder here";
  WriteFrames(2, 34, 18);
  options.compressor = msvc;
  Run();
  EXPECT_THAT(messages, ElementsAre("Microsoft Video 1 cannot take frames of 34 x 18: needs width "
                                    "and height divisible by 4"));
  EXPECT_FALSE(std::filesystem::exists(options.output));
  EXPECT_FALSE(std::filesystem::exists(dir.File("shot.matte.avi")));
}

TEST_F(ConsoleUserTest, AStopSignalIsEscape) {
  WriteFrames(6);
  options.compressor = FindCompressor(MakeFourCC('F', 'F', 'V', '1'));
  // The signal comes while frame 3 of the colour pass is being written.
  onClock = [](int tick) {
    if (tick == 3) StopSignals::Request();
  };
  Run();
  EXPECT_TRUE(stopSeen);
  EXPECT_TRUE(began[0]);
  EXPECT_FALSE(began[1]);
  EXPECT_THAT(messages, ElementsAre("AVI File Created"));
  EXPECT_EQ(DecodeAviOrFail(options.output).frames.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("shot.matte.avi")));
  EXPECT_THAT(err.Text(), HasSubstr("tga2avi: colour pass: 3 of 6 frames in"));
}

}  // namespace
