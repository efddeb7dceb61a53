// The compressor choice through the probe file: what the chooser is shown, what comes back,
// every failure with its message and releases, and that the probe is a private temporary file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "avi/conversion_job.h"
#include "avi/stream_headers.h"
#include "dialog/converter_dlg.h"
#include "media/compressor_catalogue.h"
#include "media/writer_faults.h"
#include "tests/support/avi_reader.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace testing_support;

constexpr FourCC kFFV1 = MakeFourCC('F', 'F', 'V', '1');
constexpr const char* kCaption = "TGA to AVI Converter";

std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Points TMPDIR somewhere for as long as it lives.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& folder) {
    if (const char* old = std::getenv("TMPDIR")) m_old = old, m_had = true;
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryFolder() {
    if (m_had) {
      ::setenv("TMPDIR", m_old.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

 private:
  std::string m_old;
  bool m_had = false;
};

// A chooser that looks at the temporary folder while the dialog is up, then accepts.
class PeekingChooser : public CompressorChooser {
 public:
  explicit PeekingChooser(std::filesystem::path folder)
      : m_folder(std::move(folder)), m_previous(SetCompressorChooser(this)) {}
  ~PeekingChooser() override { SetCompressorChooser(m_previous); }
  int ChooseCompressor(const CompressorRequest&, CompressorChoice* choice) override {
    // Only files: a test's own folders are made in the temporary folder as well.
    seen.clear();
    for (const std::string& name : Entries(m_folder)) {
      if (std::filesystem::is_regular_file(m_folder / name)) seen.push_back(name);
    }
    if (seen.size() == 1) {
      AviHeaders headers;
      std::string error;
      probeIsAvi = ReadAviHeaders((m_folder / seen[0]).string(), &headers, &error);
      probeWidth = headers.width;
      probeHeight = headers.height;
    }
    *choice = CompressorChoice{kFFV1, kDefaultQuality};
    return 1;
  }
  std::vector<std::string> seen;
  bool probeIsAvi = false;
  int probeWidth = 0;
  int probeHeight = 0;

 private:
  std::filesystem::path m_folder;
  CompressorChooser* m_previous;
};

class CompressionOptionsTest : public ::testing::Test {
 protected:
  CompressionOptionsTest() : tmp(probes.path().string()) {
    user.Attach(dlg);
    chooser.LogTo(user);
  }
  ~CompressionOptionsTest() override { ClearWriterFaults(); }
  void SetUp() override { Size(720, 486); }
  void TearDown() override {
    EXPECT_THAT(Entries(probes.path()), IsEmpty()) << "the probe file stayed behind";
  }

  void Size(int width, int height) {
    job.width = width;
    job.height = height;
    job.rate = height <= 500 ? FrameRate{30000, 1001} : FrameRate{25, 1};
    job.frameByteSize = width * height * 4;
    BuildStreamHeaders(job);
  }
  int Choose() {
    return dlg.GetCompressionOptions(&job.streamInfo, &job.bitmapHeader, &job.options);
  }

  TempDir probes;  // the system's temporary folder, as the probe sees it
  TemporaryFolder tmp;
  CConverterDlg dlg;
  ScriptedUser user;
  ScriptedChooser chooser;
  ConversionJob job;
};

TEST_F(CompressionOptionsTest, AcceptedChoiceFillsBothRecordsAndRestoresTheHeader) {
  job.bitmapHeader.biSizeImage = 720 * 486 * 4;
  const BITMAPINFOHEADER before = job.bitmapHeader;
  AVISTREAMINFOA expectedInfo = job.streamInfo;
  expectedInfo.fccHandler = kFFV1;
  chooser.Pick(kFFV1, 7000);

  EXPECT_EQ(Choose(), 1);
  EXPECT_EQ(job.options.fccHandler, kFFV1);
  EXPECT_EQ(job.options.dwQuality, 7000u);
  EXPECT_EQ(std::memcmp(&job.streamInfo, &expectedInfo, sizeof expectedInfo), 0)
      << "only fccHandler changes";
  EXPECT_EQ(std::memcmp(&job.bitmapHeader, &before, sizeof before), 0);
  ASSERT_EQ(chooser.calls.size(), 1u);
  EXPECT_EQ(chooser.calls[0].width, 720) << "the dialog is handed the frame's own size";
  EXPECT_EQ(chooser.calls[0].height, 486);
  EXPECT_THAT(user.Texts(), IsEmpty());
}

TEST_F(CompressionOptionsTest, TheDialogIsHandedTheFramesOwnSize) {
  // The probe holds no frame, so even a large one costs no frame-sized write.
  const struct {
    int width, height;
  } rows[] = {{1, 1}, {66, 50}, {89, 41}, {1920, 1080}, {8192, 4320}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
    Size(row.width, row.height);
    chooser.Pick(kFFV1);
    ASSERT_EQ(Choose(), 1);
    EXPECT_EQ(chooser.calls.back().width, row.width);
    EXPECT_EQ(chooser.calls.back().height, row.height);
    EXPECT_EQ(job.bitmapHeader.biWidth, row.width);
    EXPECT_EQ(job.bitmapHeader.biHeight, row.height);
  }
}

TEST_F(CompressionOptionsTest, TheProbeIsAPrivateFileInTheTemporaryFolder) {
  TempDir work;
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  WriteFile(work.File("tmp.avi"), "the user's own tmp.avi");
  PeekingChooser peeking(probes.path());

  const int result = Choose();
  std::filesystem::current_path(cwd);

  EXPECT_EQ(result, 1);
  ASSERT_EQ(peeking.seen.size(), 1u);
  EXPECT_THAT(peeking.seen[0], ::testing::MatchesRegex("tga2avi-probe-.*\\.avi"));
  EXPECT_TRUE(peeking.probeIsAvi);
  EXPECT_EQ(peeking.probeWidth, 720);
  EXPECT_EQ(peeking.probeHeight, 486);
  std::ifstream kept(work.File("tmp.avi"));
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "the user's own tmp.avi");
  EXPECT_THAT(Entries(work.path()), ElementsAre("tmp.avi"));
}

TEST_F(CompressionOptionsTest, CancelledOrOtherAnswersAreReturnedAsTheyCame) {
  chooser.Cancel();
  EXPECT_EQ(Choose(), 0);
  EXPECT_EQ(job.streamInfo.fccHandler, 0u) << "copied from the untouched options";
  chooser.Answer(2);
  EXPECT_EQ(Choose(), 2);
  EXPECT_THAT(user.Texts(), IsEmpty());
}

// Every failure of the probe's writer before the dialog: its message, a result of 0, no dialog,
// and no probe file left (the teardown checks the folder).
TEST_F(CompressionOptionsTest, FailuresBeforeTheDialogShowTheirMessage) {
  const struct {
    WriterStep step;
    const char* message;
  } rows[] = {
      {WriterStep::kOpen, "Failed to open AVI file for writing"},
      {WriterStep::kStart, "Failed to set AVI stream format"},
  };
  for (const auto& row : rows) {
    user.boxes.clear();
    FailWriterStep(row.step);
    EXPECT_EQ(Choose(), 0) << row.message;
    ClearWriterFaults();
    ASSERT_EQ(user.boxes.size(), 1u) << row.message;
    EXPECT_EQ(user.boxes[0].text, row.message);
    EXPECT_EQ(user.boxes[0].caption, kCaption);
    EXPECT_EQ(user.boxes[0].style, MB_OK);
    EXPECT_TRUE(chooser.calls.empty()) << "no dialog after " << row.message;
    EXPECT_THAT(Entries(probes.path()), IsEmpty()) << row.message;
  }
}

// A temporary folder that cannot take the probe is named with the system's reason, not taken
// for the user's output; no dialog follows.
TEST_F(CompressionOptionsTest, NoTemporaryFolderIsToldWithItsReason) {
  WriteFile(probes.File("plain.txt"), "x");
  const struct {
    std::string folder;
    std::string reason;
  } rows[] = {{probes.File("missing"), "No such file or directory"},
              {probes.File("plain.txt"), "Not a directory"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    user.boxes.clear();
    TemporaryFolder nowhere(row.folder);
    chooser.Pick(kFFV1);
    EXPECT_EQ(Choose(), 0);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text,
              "Cannot make a temporary file in " + row.folder + ": " + row.reason);
    EXPECT_EQ(user.boxes[0].caption, kCaption);
    EXPECT_EQ(user.boxes[0].style, MB_OK);
    EXPECT_TRUE(chooser.calls.empty());
  }
  std::filesystem::remove(probes.File("plain.txt"));
}

}  // namespace
