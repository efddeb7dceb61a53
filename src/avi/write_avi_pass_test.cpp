// One output pass at a time, on real Targa files and real AVI files: every catalogue
// compressor round trip (read back by FFmpeg, ffprobe and GStreamer), every way a pass fails
// or stops with its message and what it leaves on disk, and what is written for a frame that
// did not load.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "avi/conversion_job.h"
#include "dialog/converter_dlg.h"
#include "media/avi_writer.h"
#include "media/compressor_catalogue.h"
#include "media/writer_faults.h"
#include "sequence/sequence_name.h"
#include "tests/support/avi_reader.h"
#include "tests/support/event_log.h"
#include "tests/support/file_limits.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace testing_support;

constexpr FourCC kFFV1 = MakeFourCC('F', 'F', 'V', '1');
constexpr FourCC kUtVideo = MakeFourCC('U', 'L', 'R', 'A');
constexpr const char* kCaption = "TGA to AVI Converter";

// Smooth ramps (so lossy codecs stay close), the top unlike the bottom, and an alpha ramp
// through the values 128..254 that a careless conversion shifts.
TgaPicture PassPicture(int width, int height, int seed) {
  TgaPicture picture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int across = x * 255 / (width - 1);
      const int down = y * 255 / (height - 1);
      picture.At(x, y) = Rgba{static_cast<std::uint8_t>(across), static_cast<std::uint8_t>(down),
                              static_cast<std::uint8_t>(60 + 40 * seed),
                              static_cast<std::uint8_t>((across + down) / 2)};
    }
  }
  return picture;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PassTest : public ::testing::Test {
 protected:
  PassTest() {
    user.Attach(dlg);
    chooser.LogTo(user);
  }
  ~PassTest() override {
    ClearWriterFaults();
    SetEncoderThreads(0);
  }

  std::string Frame(int n, int digits = 4) const {
    char name[64];
    std::snprintf(name, sizeof name, "shot%0*d.tga", digits, n);
    return dir.File(name);
  }
  /// Writes frames first..last and sets the job up for them, as the Convert command would.
  void WriteFrames(int first, int last, int width = 48, int height = 24) {
    pictures.clear();
    for (int n = first; n <= last; ++n) {
      pictures.push_back(PassPicture(width, height, n - first));
      WriteTga(Frame(n), pictures.back());
    }
    SetJob(Frame(first), Frame(last), width, height);
  }
  void SetJob(const std::string& first, const std::string& last, int width, int height) {
    job = ConversionJob();
    job.first = SplitSequencePath(first.c_str());
    job.last = SplitSequencePath(last.c_str());
    job.digitWidth = job.first.width;
    job.width = width;
    job.height = height;
    job.rate = height <= 500 ? FrameRate{30000, 1001} : FrameRate{25, 1};
    job.frameByteSize = width * height * 4;
  }
  PassOutcome Pass(int pass, const std::string& avi) {
    dlg.m_strAviFile = avi.c_str();
    job.pass = pass;
    return dlg.WriteAviPass(job, pass);
  }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
  ScriptedChooser chooser;
  ConversionJob job;
  std::vector<TgaPicture> pictures;
};

// ---- round trips: one row per compressor this machine's FFmpeg has -------------------------

class PassRoundTrip : public PassTest, public ::testing::WithParamInterface<CompressorInfo> {};

TEST_P(PassRoundTrip, BothFilesReadBackAsWritten) {
  const CompressorInfo& compressor = GetParam();
  WriteFrames(1, 3);
  chooser.Pick(compressor.fourcc);
  const std::string video = dir.File("shot.avi");
  const std::string matte = dir.File("shot.matte.avi");
  ASSERT_EQ(Pass(0, video), PassOutcome::kFinished);
  ASSERT_EQ(Pass(1, matte), PassOutcome::kFinished);
  EXPECT_EQ(chooser.calls.size(), 1u) << "the matte pass reuses the video pass's choice";
  EXPECT_THAT(user.Texts(), IsEmpty());
  EXPECT_FALSE(job.abort);

  const bool fullFrames = compressor.fourcc == kFullFramesFourCC;
  for (const bool isMatte : {false, true}) {
    SCOPED_TRACE(isMatte ? "matte" : "video");
    const std::string& path = isMatte ? matte : video;
    AviHeaders headers;
    std::string error;
    ASSERT_TRUE(ReadAviHeaders(path, &headers, &error)) << error;
    // MagicYUV names its grey format by a code of its own.
    const FourCC code = isMatte && compressor.fourcc == MakeFourCC('M', '8', 'R', 'A')
                            ? MakeFourCC('M', '8', 'G', '0')
                            : compressor.fourcc;
    EXPECT_EQ(headers.handler, fullFrames ? 0u : code);
    EXPECT_EQ(headers.compression, fullFrames ? BI_RGB : code);
    EXPECT_EQ(headers.rate, 30000u);
    EXPECT_EQ(headers.scale, 1001u);
    EXPECT_EQ(headers.length, 3u);
    EXPECT_EQ(headers.width, 48);
    EXPECT_EQ(headers.height, 24);

    const DecodedAvi decoded = DecodeAviOrFail(path);
    ASSERT_EQ(decoded.frames.size(), 3u);
    EXPECT_THAT(decoded.keyFrames, Each(true));
    EXPECT_THAT(decoded.pts, ElementsAre(0, 1, 2));
    // A compressor codes the matte as one grey plane, or opaque; Full Frames as written.
    if (isMatte) {
      EXPECT_EQ(decoded.pixelFormat == "gray", CompressorWritesGreyMatte(compressor));
    }
    for (std::size_t i = 0; i < 3; ++i) {
      TgaPicture expected = isMatte ? MatteOf(pictures[i]) : pictures[i];
      for (Rgba& pixel : expected.pixels) pixel.a = isMatte && !fullFrames ? 255 : pixel.a;
      const PictureDifference diff =
          ComparePictures(decoded.frames[i], expected, compressor.keepsAlpha);
      if (compressor.lossless) {
        EXPECT_EQ(diff.maxDiff, 0) << "frame " << i << " decoded as " << decoded.pixelFormat;
      } else {
        // Upside down, the green ramp alone would differ by about 85 on average.
        EXPECT_LT(diff.meanDiff, 8.0) << "frame " << i << " decoded as " << decoded.pixelFormat;
      }
    }

    const std::string tag = fullFrames ? "[0][0][0][0]" : FourCCText(code);
    if (HaveTool("ffprobe")) {
      FfprobeView probe;
      EXPECT_TRUE(FfprobeRead(path, &probe)) << probe.output;
      EXPECT_EQ(probe.codecTag, tag) << probe.output;
      EXPECT_EQ(probe.width, 48);
      EXPECT_EQ(probe.height, 24);
      EXPECT_EQ(probe.frameRate, "30000/1001");
      EXPECT_EQ(probe.packets, 3);
    } else {
      std::printf("ffprobe is not installed: the ffprobe read is skipped\n");
    }
    if (HaveTool("gst-launch-1.0")) {
      GstreamerView gst;
      EXPECT_TRUE(GstreamerRead(path, &gst)) << gst.output;
      EXPECT_EQ(gst.buffers, 3) << gst.output;
      EXPECT_EQ(gst.deltaUnits, 0) << "every frame a key frame";
      // GStreamer has no caps for some codes (Ut Video, MagicYUV) and then names no rate.
      if (gst.caps.find("x-avi-unknown") == std::string::npos) {
        EXPECT_THAT(gst.caps, HasSubstr("framerate=(fraction)30000/1001"));
      }
    } else {
      std::printf("gst-launch-1.0 is not installed: the GStreamer read is skipped\n");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, PassRoundTrip, ::testing::ValuesIn(AvailableCompressors()),
                         [](const ::testing::TestParamInfo<CompressorInfo>& info) {
                           std::string name;
                           for (char c : FourCCText(info.param.fourcc)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

TEST_F(PassTest, RateOfTallFramesIsTwentyFive) {
  WriteFrames(1, 1, 8, 501);
  chooser.Pick(kFullFramesFourCC);
  ASSERT_EQ(Pass(0, dir.File("tall.avi")), PassOutcome::kFinished);
  AviHeaders headers;
  std::string error;
  ASSERT_TRUE(ReadAviHeaders(dir.File("tall.avi"), &headers, &error)) << error;
  EXPECT_EQ(headers.rate, 25u);
  EXPECT_EQ(headers.scale, 1u);
  EXPECT_EQ(job.streamInfo.dwSuggestedBufferSize, 8u * 501 * 4);
  EXPECT_EQ(job.bitmapHeader.biSizeImage, 8u * 501 * 4);
}

// ---- failures and stops: message, outcome, what is left on disk ----------------------------

enum class Disk { kAbsent, kEmpty, kUnchanged, kFrames };

TEST_F(PassTest, EveryFailureAndStopLeavesTheDiskAsItTells) {
  WriteFrames(1, 3, 16, 8);
  WriteFile(dir.File("plain.txt"), "x");
  const struct Row {
    const char* what;
    std::string output;
    bool existing;    // the output holds "older bytes" before the pass
    bool cancel;      // the chooser cancels
    WriterStep step;  // the injected fault, if nth > 0
    int nth;
    int escapeAtPoll;  // 0: never
    PassOutcome outcome;
    std::vector<std::string> boxes;
    Disk disk;
    std::size_t frames;
    FourCC compressor = kFFV1;  // FFV1 works on slices of one frame at a time
  } rows[] = {
      {"unwritable output",
       dir.File("plain.txt/out.avi"),
       false,
       false,
       WriterStep::kWrite,
       0,
       0,
       PassOutcome::kFailed,
       {"Failed to open AVI file for writing"},
       Disk::kAbsent,
       0},
      {"choice cancelled, new file",
       dir.File("new.avi"),
       false,
       true,
       WriterStep::kWrite,
       0,
       0,
       PassOutcome::kFailed,
       {},
       Disk::kAbsent,
       0},
      {"choice cancelled, existing file",
       dir.File("old.avi"),
       true,
       true,
       WriterStep::kWrite,
       0,
       0,
       PassOutcome::kFailed,
       {},
       Disk::kUnchanged,
       0},
      // The probe's writer starts first.
      {"format not set, new file",
       dir.File("f.avi"),
       false,
       false,
       WriterStep::kStart,
       2,
       0,
       PassOutcome::kFailed,
       {"Failed to set AVI stream format"},
       Disk::kEmpty,
       0},
      {"format not set, existing file",
       dir.File("f2.avi"),
       true,
       false,
       WriterStep::kStart,
       2,
       0,
       PassOutcome::kFailed,
       {"Failed to set AVI stream format"},
       Disk::kUnchanged,
       0},
      {"write fails at the second frame",
       dir.File("w.avi"),
       false,
       false,
       WriterStep::kWrite,
       2,
       0,
       PassOutcome::kStopped,
       {"AVI stream write error"},
       Disk::kFrames,
       1},
      {"Escape before the third frame",
       dir.File("e.avi"),
       false,
       false,
       WriterStep::kWrite,
       0,
       3,
       PassOutcome::kStopped,
       {},
       Disk::kFrames,
       2},
      // Frames in flight in the compressor's threads are finished into the file.
      {"Escape before the third frame, frame threads",
       dir.File("e3.avi"),
       false,
       false,
       WriterStep::kWrite,
       0,
       3,
       PassOutcome::kStopped,
       {},
       Disk::kFrames,
       2,
       kUtVideo},
      {"Escape before the first frame",
       dir.File("e1.avi"),
       false,
       false,
       WriterStep::kWrite,
       0,
       1,
       PassOutcome::kStopped,
       {},
       Disk::kFrames,
       0},
      {"finished",
       dir.File("done.avi"),
       true,
       false,
       WriterStep::kWrite,
       0,
       0,
       PassOutcome::kFinished,
       {},
       Disk::kFrames,
       3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CConverterDlg fresh;
    ScriptedUser person;
    person.Attach(fresh);
    ScriptedChooser picker;
    picker.LogTo(person);
    if (!FindCompressor(row.compressor)) continue;
    if (row.cancel) {
      picker.Cancel();
    } else {
      picker.Pick(row.compressor);
    }
    // Four threads hold frames in flight whatever the cores.
    SetEncoderThreads(4);
    if (row.existing) WriteFile(row.output, "older bytes");
    if (row.nth > 0) FailWriterStep(row.step, row.nth);
    person.PressEscapeAtPoll(row.escapeAtPoll);
    job.abort = false;
    fresh.m_strAviFile = row.output.c_str();

    const PassOutcome outcome = fresh.WriteAviPass(job, 0);

    ClearWriterFaults();
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(job.abort, row.outcome == PassOutcome::kStopped);
    EXPECT_EQ(person.Texts(), row.boxes);
    for (const RecordedBox& box : person.boxes) {
      EXPECT_EQ(box.caption, kCaption);
      EXPECT_EQ(box.style, MB_OK);
    }
    switch (row.disk) {
      case Disk::kAbsent:
        EXPECT_FALSE(std::filesystem::exists(row.output));
        break;
      case Disk::kEmpty:
        EXPECT_EQ(ReadAll(row.output), "");
        break;
      case Disk::kUnchanged:
        EXPECT_EQ(ReadAll(row.output), "older bytes");
        break;
      case Disk::kFrames:
        // Finished, stopped or not: a whole file of the frames written.
        ExpectWholeAvi(row.output,
                       std::vector<TgaPicture>(pictures.begin(), pictures.begin() + row.frames),
                       true);
        break;
    }
  }
}

// A file that cannot be finished is a write error: told once, also when a write error was
// told already, and the pass ends as stopped. The file is still finished whole.
TEST_F(PassTest, AFailedFinishIsToldOnce) {
  WriteFrames(1, 3, 16, 8);
  const struct {
    const char* what;
    int failingWrite;  // the pass's n-th frame write fails; 0: none
    int escapeAtPoll;  // 0: never
    std::size_t frames;
  } rows[] = {
      {"after the last frame", 0, 0, 3},
      {"after Escape", 0, 2, 1},
      {"after a failed write", 2, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CConverterDlg fresh;
    ScriptedUser person;
    person.Attach(fresh);
    ScriptedChooser picker;
    picker.Pick(kFFV1);
    FailWriterStep(WriterStep::kFinish);
    if (row.failingWrite > 0) FailWriterStep(WriterStep::kWrite, row.failingWrite);
    person.PressEscapeAtPoll(row.escapeAtPoll);
    EventLog told;
    fresh.SetObserver(&told);
    job.abort = false;
    const std::string avi = dir.File("finish.avi");
    fresh.m_strAviFile = avi.c_str();

    EXPECT_EQ(fresh.WriteAviPass(job, 0), PassOutcome::kStopped);
    // The pass's end counts what the finished file holds, read from it.
    ASSERT_EQ(told.passesEnded.size(), 1u);
    EXPECT_EQ(told.passesEnded[0].end, PassEnd::kWriteFailed);
    EXPECT_EQ(told.passesEnded[0].framesInFile, static_cast<long long>(row.frames));

    ClearWriterFaults();
    EXPECT_TRUE(job.abort);
    EXPECT_THAT(person.Texts(), ElementsAre("AVI stream write error"));
    EXPECT_EQ(person.boxes.at(0).caption, kCaption);
    EXPECT_EQ(person.boxes.at(0).style, MB_OK);
    ExpectWholeAvi(avi, std::vector<TgaPicture>(pictures.begin(), pictures.begin() + row.frames),
                   true);
  }
}

TEST_F(PassTest, TheMattePassAsksNothingAndFailsAlike) {
  WriteFrames(1, 2, 16, 8);
  chooser.Pick(kFFV1);
  ASSERT_EQ(Pass(0, dir.File("shot.avi")), PassOutcome::kFinished);
  user.log.clear();
  ASSERT_EQ(Pass(1, dir.File("shot.matte.avi")), PassOutcome::kFinished);
  EXPECT_THAT(user.log, ElementsAre("status:Saving Matte Frame 1", "status:Saving Matte Frame 2"));
  EXPECT_EQ(chooser.calls.size(), 1u);
  ExpectWholeAvi(dir.File("shot.matte.avi"), {MatteOf(pictures[0]), MatteOf(pictures[1])}, false);

  // The matte file under a regular file: the same message as the video pass.
  WriteFile(dir.File("plain"), "x");
  EXPECT_EQ(Pass(1, dir.File("plain/shot.matte.avi")), PassOutcome::kFailed);
  EXPECT_THAT(user.Texts(), ElementsAre("Failed to open AVI file for writing"));
}

TEST_F(PassTest, ACompressorThatCannotTakeTheSizeSaysSo) {
  if (!FindCompressor(MakeFourCC('M', 'S', 'V', 'C'))) GTEST_SKIP() << "no Microsoft Video 1";
  WriteFrames(1, 2, 34, 18);
  chooser.Pick(MakeFourCC('M', 'S', 'V', 'C'));
  EXPECT_EQ(Pass(0, dir.File("odd.avi")), PassOutcome::kFailed);
  EXPECT_THAT(user.Texts(), ElementsAre("Failed to set AVI stream format"));
  EXPECT_THAT(user.Statuses(), IsEmpty());
}

TEST_F(PassTest, AFullDiskFailsWithAMessage) {
  // No room even for the header (a file-size limit of 100 bytes on the child running the pass).
  WriteFrames(1, 1, 16, 8);
  const std::string avi = dir.File("full.avi");
  const ChildRun run = RunWithFileSizeLimit(100, [&] {
    chooser.Pick(kFullFramesFourCC);
    const PassOutcome outcome = Pass(0, avi);
    std::string texts = outcome == PassOutcome::kFailed ? "failed" : "went on";
    for (const std::string& text : user.Texts()) texts += "|" + text;
    return texts;
  });
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.report, "failed|Failed to set AVI stream format");
}

// ---- a disk that fills up -----------------------------------------------------------------

TEST_F(PassTest, AFilledDiskLeavesTheWholeFramesWrittenBeforeIt) {
  TmpfsMount disk(20 << 20);
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  // 30 frames of 1.2 MB that no codec shrinks: about 16 of them fit.
  for (int n = 1; n <= 30; ++n) {
    pictures.push_back(NoisePicture(640, 480, static_cast<unsigned>(n)));
    WriteTga(Frame(n), pictures.back());
  }
  // Stored; in slices of one frame; whole frames in flight in four threads, which hand a frame
  // over some writes after it was given: the pass tells what reached the file.
  SetJob(Frame(1), Frame(30), 640, 480);
  SetEncoderThreads(4);
  for (const FourCC compressor : {kFullFramesFourCC, kFFV1, kUtVideo}) {
    if (!FindCompressor(compressor)) continue;
    SCOPED_TRACE(FourCCText(compressor));
    chooser.Pick(compressor);
    EventLog told;
    dlg.SetObserver(&told);
    user.log.clear();
    user.boxes.clear();
    const std::string avi = disk.File("full.avi");

    EXPECT_EQ(Pass(0, avi), PassOutcome::kStopped);

    EXPECT_THAT(user.Texts(), ElementsAre("AVI stream write error"));
    EXPECT_TRUE(job.abort);
    ASSERT_EQ(told.passesEnded.size(), 1u);
    // The write that failed is the one after the last status; every frame before the first
    // that did not fit is whole.
    const long long inFile = told.passesEnded[0].framesInFile;
    const long long writes = static_cast<long long>(user.Statuses().size()) - 1;
    EXPECT_GT(inFile, 10);
    EXPECT_EQ(inFile < writes, compressor == kUtVideo);
    ExpectWholeAvi(avi, std::vector<TgaPicture>(pictures.begin(), pictures.begin() + inFile), true);
    std::filesystem::remove(avi);
  }
}

// ---- frames that did not load -------------------------------------------------------------

TEST_F(PassTest, AFrameThatDidNotLoadRepeatsTheLastGoodOne) {
  WriteFrames(1, 5, 16, 8);
  std::filesystem::remove(Frame(2));
  WriteTga(Frame(4), PassPicture(12, 8, 9));  // another size: its buffer would be short
  chooser.Pick(kFullFramesFourCC);

  ASSERT_EQ(Pass(0, dir.File("gap.avi")), PassOutcome::kFinished);

  // A frame of another size is told at its turn, as a missing one is, and repeats the last.
  EXPECT_THAT(user.Texts(), ElementsAre("Error on opening " + Frame(2),
                                        "Frame size differs from the first frame: " + Frame(4) +
                                            " (12 x 8, expected 16 x 8)"));
  const DecodedAvi decoded = DecodeAviOrFail(dir.File("gap.avi"));
  ASSERT_EQ(decoded.frames.size(), 5u) << "one sample per frame number";
  EXPECT_THAT(decoded.pts, ElementsAre(0, 1, 2, 3, 4));
  const int expected[] = {0, 0, 2, 2, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ComparePictures(decoded.frames[i], pictures[expected[i]], true).maxDiff, 0)
        << "sample " << i;
  }
}

TEST_F(PassTest, EscapeStopsAPassThatWaitsOnAReadThatHangs) {
  WriteFrames(1, 5, 16, 8);
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  dlg.m_frames.UseReader(
      [gate, hanging = Frame(3)](const std::string& path, bool matte, FrameBuffer& frame) {
        if (path == hanging) gate.wait();
        return ReadFrameInto(path, matte, frame);
      });
  chooser.Pick(kFullFramesFourCC);
  // Polls 1 to 3 come before frames 1 to 3; the fourth is the one made while frame 3 hangs.
  user.PressEscapeAtPoll(4);

  EXPECT_EQ(Pass(0, dir.File("hang.avi")), PassOutcome::kStopped);
  release.set_value();

  EXPECT_TRUE(job.abort);
  EXPECT_THAT(user.Texts(), IsEmpty());
  EXPECT_EQ(user.Statuses().back(), "Saving Video Frame 3");
  const DecodedAvi decoded = DecodeAviOrFail(dir.File("hang.avi"));
  ASSERT_EQ(decoded.frames.size(), 2u) << "nothing is written after the stop";
  EXPECT_EQ(ComparePictures(decoded.frames[1], pictures[1], true).maxDiff, 0);
}

TEST_F(PassTest, WithNoGoodFrameYetABlackTransparentFrameIsWritten) {
  WriteFrames(1, 3, 16, 8);
  std::filesystem::remove(Frame(1));
  WriteTga(Frame(2), PassPicture(8, 8, 0));  // wrong size as well
  chooser.Pick(kFullFramesFourCC);

  ASSERT_EQ(Pass(0, dir.File("black.avi")), PassOutcome::kFinished);
  EXPECT_THAT(user.Texts(), ElementsAre("Error on opening " + Frame(1),
                                        "Frame size differs from the first frame: " + Frame(2) +
                                            " (8 x 8, expected 16 x 8)"));

  const DecodedAvi decoded = DecodeAviOrFail(dir.File("black.avi"));
  ASSERT_EQ(decoded.frames.size(), 3u);
  const TgaPicture black(16, 8, Rgba{0, 0, 0, 0});
  EXPECT_EQ(ComparePictures(decoded.frames[0], black, true).maxDiff, 0);
  EXPECT_EQ(ComparePictures(decoded.frames[1], black, true).maxDiff, 0);
  EXPECT_EQ(ComparePictures(decoded.frames[2], pictures[2], true).maxDiff, 0);
}

TEST_F(PassTest, SamplesCountFromZeroAndStatusCountsFrameNumbers) {
  WriteFrames(100, 104, 8, 4);
  chooser.Pick(kFullFramesFourCC);
  ASSERT_EQ(Pass(0, dir.File("r.avi")), PassOutcome::kFinished);
  ASSERT_EQ(Pass(1, dir.File("r.matte.avi")), PassOutcome::kFinished);
  EXPECT_THAT(user.Statuses(), ElementsAre("Saving Video Frame 100", "Saving Video Frame 101",
                                           "Saving Video Frame 102", "Saving Video Frame 103",
                                           "Saving Video Frame 104", "Saving Matte Frame 100",
                                           "Saving Matte Frame 101", "Saving Matte Frame 102",
                                           "Saving Matte Frame 103", "Saving Matte Frame 104"));
  EXPECT_THAT(DecodeAviOrFail(dir.File("r.avi")).pts, ElementsAre(0, 1, 2, 3, 4));
  EXPECT_THAT(DecodeAviOrFail(dir.File("r.matte.avi")).pts, ElementsAre(0, 1, 2, 3, 4));
  EXPECT_EQ(user.controls[IDC_AVI_FILE], dir.File("r.matte.avi")) << "UpdateData(FALSE) per frame";
}

TEST_F(PassTest, ALastFrameNumberOfIntMaxEndsTheLoop) {
  const TgaPicture picture = PassPicture(8, 4, 0);
  WriteTga(dir.File("shot2147483646.tga"), picture);
  WriteTga(dir.File("shot2147483647.tga"), picture);
  SetJob(dir.File("shot2147483646.tga"), dir.File("shot2147483647.tga"), 8, 4);
  ASSERT_EQ(job.last.number, INT_MAX);
  chooser.Pick(kFullFramesFourCC);

  ASSERT_EQ(Pass(0, dir.File("max.avi")), PassOutcome::kFinished);

  EXPECT_THAT(user.Statuses(),
              ElementsAre("Saving Video Frame 2147483646", "Saving Video Frame 2147483647"));
  EXPECT_EQ(DecodeAviOrFail(dir.File("max.avi")).frames.size(), 2u);
}

}  // namespace
