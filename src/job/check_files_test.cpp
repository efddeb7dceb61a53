// The check of the written files: every compressor's files pass it as written, and a file that
// does not hold what the job handed it is told, naming it.

#include "job/check_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dialog/converter_dlg.h"
#include "media/compressor_catalogue.h"
#include "tests/support/avi_reader.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using namespace testing_support;

// The check's result as the window's sequence line and the command line say it.
struct LastCheck final : JobObserver {
  std::string line;
  void OnFilesChecked(const FilesChecked& checked) override { line = CheckLine(checked); }
};

class CheckFilesTest : public ::testing::Test {
 protected:
  CheckFilesTest() {
    user.Attach(dlg);
    dlg.SetObserver(&check);
    for (int n = 1; n <= 3; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "c%04d.tga", n);
      WriteTga(dir.File(name), RampPicture(16, 12, n));
    }
  }
  void Convert(FourCC fourcc, const std::string& avi) {
    user.controls[IDC_FIRST_FILE] = dir.File("c0001.tga");
    user.controls[IDC_LAST_FILE] = dir.File("c0003.tga");
    user.controls[IDC_AVI_FILE] = avi;
    chooser.Pick(fourcc);
    dlg.OnConvert();
  }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
  ScriptedChooser chooser;
  LastCheck check;
};

TEST_F(CheckFilesTest, EveryCompressorsFilesPassAsWritten) {
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    SCOPED_TRACE(compressor.name);
    user.boxes.clear();
    const std::string name = "c" + FourCCText(compressor.fourcc).substr(0, 3);
    Convert(compressor.fourcc, dir.File(name + ".avi"));
    EXPECT_THAT(user.Texts(), ElementsAre("AVI File Created"));
    std::string line = "Checked: " + name + ".avi and ";
    line += name + ".matte.avi, 3 frames each";
    if (compressor.lossless) line += ", lossless frames identical";
    EXPECT_EQ(check.line, line);
  }
}

TEST_F(CheckFilesTest, AFileThatDoesNotHoldWhatWasWrittenIsToldByName) {
  Convert(MakeFourCC('F', 'F', 'V', '1'), dir.File("k.avi"));
  ASSERT_THAT(user.Texts(), ElementsAre("AVI File Created"));
  user.boxes.clear();

  // What the job would have recorded had it handed the files other frames.
  ConversionJob job;
  job.options.fccHandler = MakeFourCC('F', 'F', 'V', '1');
  job.written[0].file = dir.File("k.avi");
  job.written[0].frames = 4;
  job.written[1].file = dir.File("k.matte.avi");
  job.written[1].frames = 3;
  const std::vector<std::uint8_t> video = FrameBufferOf(RampPicture(16, 12, 1), false);
  const std::vector<std::uint8_t> matte = FrameBufferOf(RampPicture(16, 12, 3), true);
  job.written[1].firstFrame = FrameBufferOf(RampPicture(16, 12, 1), true);
  job.written[1].lastFrame = video;  // the colour frame where its matte was written

  EXPECT_EQ(CheckLine(CheckWrittenFiles(dlg, job)), "Check failed: k.avi and k.matte.avi");
  EXPECT_THAT(user.Texts(),
              ElementsAre("Check failed: " + dir.File("k.avi") + " holds 3 frames, 4 were written",
                          "Check failed: frame 3 of " + dir.File("k.matte.avi") +
                              " differs from the frame written"));

  // The same records with the right last frame pass; a file already told of is left alone.
  user.boxes.clear();
  job.written[1].lastFrame = matte;
  job.written[0].told = true;
  EXPECT_EQ(CheckLine(CheckWrittenFiles(dlg, job)),
            "Checked: k.matte.avi, 3 frames, lossless frames identical");
  EXPECT_THAT(user.Texts(), ElementsAre());

  job.written[1].file = dir.File("gone.avi");
  EXPECT_EQ(CheckLine(CheckWrittenFiles(dlg, job)), "Check failed: gone.avi");
  EXPECT_THAT(user.Texts(),
              ElementsAre("Check failed: " + dir.File("gone.avi") + " cannot be read back"));
}

TEST_F(CheckFilesTest, AfterEscapeTheFramesWrittenAreChecked) {
  // Escape at the video pass's third frame: the colour file alone, with two frames; at the
  // matte pass's first, both files, the matte one empty.
  user.PressEscapeAtPoll(3);
  Convert(MakeFourCC('F', 'F', 'V', '1'), dir.File("e.avi"));
  EXPECT_THAT(user.Texts(), ElementsAre("AVI File Created"));
  EXPECT_EQ(check.line, "Checked: e.avi, 2 frames");

  CConverterDlg fresh;
  ScriptedUser person;
  person.Attach(fresh);
  LastCheck told;
  fresh.SetObserver(&told);
  person.controls = {{IDC_FIRST_FILE, dir.File("c0001.tga")},
                     {IDC_LAST_FILE, dir.File("c0003.tga")},
                     {IDC_AVI_FILE, dir.File("f.avi")}};
  person.PressEscapeAtPoll(4);
  chooser.Pick(MakeFourCC('F', 'F', 'V', '1'));
  fresh.OnConvert();
  EXPECT_THAT(person.Texts(), ElementsAre("AVI File Created"));
  EXPECT_EQ(told.line, "Checked: f.avi (3 frames) and f.matte.avi (0 frames)");
}

}  // namespace
