// The Convert command end to end: a scripted user types the paths, answers the questions and
// picks a compressor; the real frame loader, AVI writer and FFmpeg's reader do the rest.

#include <Magick++.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "dialog/converter_dlg.h"
#include "job/output_lock.h"
#include "media/compressor_catalogue.h"
#include "media/writer_faults.h"
#include "tests/support/avi_reader.h"
#include "tests/support/event_log.h"
#include "tests/support/exr_writer.h"
#include "tests/support/file_limits.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using namespace testing_support;

constexpr const char* kCaption = "TGA to AVI Converter";
const FourCC kFFV1 = MakeFourCC('F', 'F', 'V', '1');

class ConvertTest : public ::testing::Test {
 protected:
  ConvertTest() {
    user.Attach(dlg);
    dlg.SetObserver(&events);
    chooser.LogTo(user);
  }
  ~ConvertTest() override { ClearWriterFaults(); }

  /// Writes frames first..last of shot<number>.tga, width digits, width x height pixels.
  void WriteFrames(int first, int last, int width = 16, int height = 12, int digits = 4) {
    for (int n = first; n <= last; ++n) {
      const TgaPicture picture = RampPicture(width, height, n);
      pictures.push_back(picture);
      WriteTga(Frame(n, digits), picture);
    }
  }
  std::vector<TgaPicture> FirstPictures(std::size_t count) const {
    return std::vector<TgaPicture>(pictures.begin(), pictures.begin() + count);
  }
  std::string Frame(int n, int digits = 4) const {
    char name[64];
    std::snprintf(name, sizeof name, "shot%0*d.tga", digits, n);
    return dir.File(name);
  }
  void Type(const std::string& first, const std::string& last, const std::string& avi) {
    user.controls[IDC_FIRST_FILE] = first;
    user.controls[IDC_LAST_FILE] = last;
    user.controls[IDC_AVI_FILE] = avi;
    user.controls[IDC_STATUS] = dlg.m_strStatus.str();
  }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
  ScriptedChooser chooser;
  EventLog events;
  std::vector<TgaPicture> pictures;
};

TEST_F(ConvertTest, WritesTheColourAndTheMatteFile) {
  WriteFrames(1, 3);
  const std::string avi = dir.File("shot.avi");
  Type(Frame(1), Frame(3), avi);
  chooser.Pick(kFFV1);

  dlg.OnConvert();

  EXPECT_THAT(user.log, ElementsAre("cursor:on", "chooser:FFV1", "status:Saving Video Frame 1",
                                    "status:Saving Video Frame 2", "status:Saving Video Frame 3",
                                    "status:Saving Matte Frame 1", "status:Saving Matte Frame 2",
                                    "status:Saving Matte Frame 3", "box:AVI File Created",
                                    "status:", "cursor:off"));
  EXPECT_EQ(user.boxes.at(0).caption, kCaption);
  EXPECT_EQ(user.boxes.at(0).style, MB_OK);
  EXPECT_EQ(user.waitCursor, 0);
  EXPECT_EQ(user.controls[IDC_AVI_FILE], dir.File("shot.matte.avi"));
  EXPECT_EQ(dlg.m_strAviFile, dir.File("shot.matte.avi"));

  const DecodedAvi video = DecodeAviOrFail(avi);
  const DecodedAvi matte = DecodeAviOrFail(dir.File("shot.matte.avi"));
  ASSERT_EQ(video.frames.size(), 3U);
  ASSERT_EQ(matte.frames.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ComparePictures(video.frames[i], pictures[i], true).maxDiff, 0) << i;
    EXPECT_EQ(ComparePictures(matte.frames[i], MatteOf(pictures[i]), false).maxDiff, 0) << i;
  }
  AviHeaders headers;
  std::string error;
  ASSERT_TRUE(ReadAviHeaders(avi, &headers, &error)) << error;
  EXPECT_EQ(headers.handler, kFFV1);
  EXPECT_EQ(headers.rate, 30000U);
  EXPECT_EQ(headers.scale, 1001U);
  EXPECT_THAT(events.lines, ElementsAre("began colour shot.avi 1-3", "writing colour 1 (1 of 3)",
                                        "writing colour 2 (2 of 3)", "writing colour 3 (3 of 3)",
                                        "ended colour finished 3", "began matte shot.matte.avi 1-3",
                                        "writing matte 1 (1 of 3)", "writing matte 2 (2 of 3)",
                                        "writing matte 3 (3 of 3)", "ended matte finished 3",
                                        "checked shot.avi 3 of 3", "checked shot.matte.avi 3 of 3",
                                        "job created"));
}

TEST_F(ConvertTest, RateIsTheChosenOneElseTheHeadersElseTheHeights) {
  // An OpenEXR first frame may declare its rate, or one that is no rate.
  using ExrRate = std::optional<std::pair<std::int32_t, std::uint32_t>>;
  const auto writeExr = [](const std::string& path, int height, ExrRate rate) {
    const std::vector<std::array<float, 4>> grey(8 * static_cast<std::size_t>(height),
                                                 {0.5F, 0.5F, 0.5F, 1});
    WriteFile(path, EncodeExr(8, height, grey, rate));
  };
  const struct Case {
    const char* name;
    int height;
    bool exr;  // else a Targa frame
    ExrRate headerRate;
    std::optional<FrameRate> chosen;
    FrameRate expected;
    RateSource source;
  } cases[] = {
      {"h500", 500, false, {}, std::nullopt, {30000, 1001}, RateSource::kSize},
      {"h501", 501, false, {}, std::nullopt, {25, 1}, RateSource::kSize},
      {"exr24", 1080, true, std::pair{24, 1U}, std::nullopt, {24, 1}, RateSource::kHeader},
      {"exr23976",
       100,
       true,
       std::pair{24000, 1001U},
       std::nullopt,
       {24000, 1001},
       RateSource::kHeader},
      {"exrnone", 100, true, {}, std::nullopt, {30000, 1001}, RateSource::kSize},
      {"exrzero", 600, true, std::pair{0, 1U}, std::nullopt, {25, 1}, RateSource::kSize},
      {"chosen", 600, true, std::pair{24, 1U}, FrameRate{50, 1}, {50, 1}, RateSource::kChosen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string first = dir.File(std::string(c.name) + (c.exr ? "1.exr" : "1.tga"));
    if (c.exr) {
      writeExr(first, c.height, c.headerRate);
    } else {
      WriteTga(first, RampPicture(8, c.height, 1));
    }
    Type(first, first, dir.File(std::string(c.name) + ".avi"));
    dlg.m_settings.rate = c.chosen;
    chooser.Pick(kFullFramesFourCC);
    dlg.OnConvert();
    AviHeaders headers;
    std::string error;
    ASSERT_TRUE(ReadAviHeaders(dir.File(std::string(c.name) + ".avi"), &headers, &error)) << error;
    EXPECT_EQ(headers.rate, c.expected.num);
    EXPECT_EQ(headers.scale, c.expected.den);
    EXPECT_EQ(headers.height, c.height);
    ASSERT_TRUE(events.began);
    EXPECT_EQ(events.began->rateSource, c.source);
  }
}

// Every way the command ends before a pass starts: the messages in order, and nothing on disk,
// no busy cursor, the status line as it was.
TEST_F(ConvertTest, EndsEarlyWithItsMessage) {
  WriteFrames(1, 3);
  testing_support::WriteFile(dir.File("garbage0001.tga"), "this is no picture");
  WriteFile(dir.File("huge0001.tga"), TgaHeader(65535, 65535));
  WriteTga(dir.File("Shot0003.tga"), RampPicture(4, 4, 0));
  const std::string existing = dir.File("existing.avi");
  // Opening a named pipe for reading waits for a writer: the check must not open it.
  ASSERT_EQ(mkfifo(dir.File("pipe0001.tga").c_str(), 0600), 0);
  // Outputs that are frames of the run under other names, or no regular file at all.
  std::filesystem::create_symlink(Frame(2), dir.File("link.avi"));
  std::filesystem::create_hard_link(Frame(3), dir.File("hard.matte.avi"));
  ASSERT_EQ(mkfifo(dir.File("fifo.avi").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("folder.avi"));
  const auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string frame2 = bytes(Frame(2));
  const std::string frame3 = bytes(Frame(3));

  struct Case {
    const char* what;
    std::string first;
    std::string last;
    std::string avi;
    std::vector<int> answers;
    std::vector<std::string> boxes;
  } cases[] = {
      {"empty first field", "", Frame(3), dir.File("a.avi"), {}, {"Failed to open First TGA file"}},
      {"empty last field", Frame(1), "", dir.File("a.avi"), {}, {"Failed to open Last TGA file"}},
      {"missing first file",
       dir.File("none0001.tga"),
       Frame(3),
       dir.File("a.avi"),
       {},
       {"Failed to open First TGA file"}},
      {"named pipe as first file",
       dir.File("pipe0001.tga"),
       Frame(3),
       dir.File("a.avi"),
       {},
       {"Failed to open First TGA file"}},
      {"named pipe as last file",
       Frame(1),
       dir.File("pipe0001.tga"),
       dir.File("a.avi"),
       {},
       {"Failed to open Last TGA file"}},
      {"folder as last file",
       Frame(1),
       dir.path().string(),
       dir.File("a.avi"),
       {},
       {"Failed to open Last TGA file"}},
      {"range before the output test",
       Frame(3),
       Frame(1),
       existing,
       {},
       {"Ending frame number must be greater than starting frame number"}},
      {"range and root both wrong",
       dir.File("Shot0003.tga"),
       Frame(1),
       dir.File("a.avi"),
       {},
       {"Ending frame number must be greater than starting frame number"}},
      {"root differs in case",
       Frame(1),
       dir.File("Shot0003.tga"),
       dir.File("a.avi"),
       {},
       {"Ending root file name must be the same as starting root file name"}},
      {"output is a frame",
       Frame(1),
       Frame(3),
       Frame(2),
       {},
       {"The AVI file " + Frame(2) + " is one of the frames: " + Frame(2)}},
      {"output links to a frame",
       Frame(1),
       Frame(3),
       dir.File("link.avi"),
       {},
       {"The AVI file " + dir.File("link.avi") + " is one of the frames: " + Frame(2)}},
      {"matte is a frame",
       Frame(1),
       Frame(3),
       dir.File("hard.avi"),
       {},
       {"The matte AVI file " + dir.File("hard.matte.avi") + " is one of the frames: " + Frame(3)}},
      {"output is a named pipe",
       Frame(1),
       Frame(3),
       dir.File("fifo.avi"),
       {},
       {"The AVI file is not a regular file: " + dir.File("fifo.avi")}},
      {"output is a folder",
       Frame(1),
       Frame(3),
       dir.File("folder.avi"),
       {},
       {"The AVI file is not a regular file: " + dir.File("folder.avi")}},
      {"existing output, answer No",
       Frame(1),
       Frame(3),
       existing,
       {IDNO},
       {"AVI file exists, overwrite?"}},
      {"first frame unreadable",
       dir.File("garbage0001.tga"),
       dir.File("garbage0001.tga"),
       dir.File("a.avi"),
       {},
       {"Error reading " + dir.File("garbage0001.tga")}},
      {"first frame too large",
       dir.File("huge0001.tga"),
       dir.File("huge0001.tga"),
       dir.File("a.avi"),
       {},
       {"Frame too large to convert: " + dir.File("huge0001.tga") + " (65535 x 65535)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(existing, "keep me");
    CConverterDlg fresh;
    ScriptedUser person;
    person.Attach(fresh);
    person.controls = {{IDC_FIRST_FILE, c.first},
                       {IDC_LAST_FILE, c.last},
                       {IDC_AVI_FILE, c.avi},
                       {IDC_STATUS, "last status"}};
    person.answers.assign(c.answers.begin(), c.answers.end());
    EventLog told;
    fresh.SetObserver(&told);

    fresh.OnConvert();

    EXPECT_EQ(person.Texts(), c.boxes);
    // Told as one end of the job, and nothing before it; a frame that cannot be read is a
    // failure with the reader's reason after the message's words.
    ASSERT_EQ(told.lines.size(), 1u);
    const JobEnded& ended = told.jobsEnded.at(0);
    const bool frameFailed =
        c.boxes[0].rfind("Error reading", 0) == 0 || c.boxes[0].rfind("Frame too large", 0) == 0;
    EXPECT_EQ(ended.end, frameFailed ? JobEnd::kFailed : JobEnd::kRefused);
    if (c.answers.empty()) {
      EXPECT_EQ(ended.reason.rfind(c.boxes[0], 0), 0u) << ended.reason;
    }
    for (const RecordedBox& box : person.boxes) {
      EXPECT_EQ(box.caption, kCaption);
      EXPECT_EQ(box.style, box.text == "AVI file exists, overwrite?" ? MB_YESNO : MB_OK);
    }
    EXPECT_EQ(person.maxWaitCursor, 0);
    EXPECT_EQ(person.controls[IDC_STATUS], "last status");
    EXPECT_TRUE(chooser.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.avi")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.matte.avi")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("existing.matte.avi")));
    std::ifstream kept(existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
    EXPECT_EQ(bytes(Frame(2)), frame2);
    EXPECT_EQ(bytes(Frame(3)), frame3);
  }
}

// Another conversion writing either output (held here as it would hold it) refuses the job
// before anything is asked or written.
TEST_F(ConvertTest, AnOutputAnotherConversionWritesIsRefused) {
  WriteFrames(1, 2);
  const std::string busy =
      " is being written by another conversion (process " + std::to_string(::getpid()) + ")";
  for (const std::string& locked : {dir.File("shot.avi"), dir.File("shot.matte.avi")}) {
    SCOPED_TRACE(locked);
    const OutputLock other(locked);
    ASSERT_EQ(other.state(), OutputLock::State::kHeld);
    Type(Frame(1), Frame(2), dir.File("shot.avi"));
    dlg.OnConvert();
    EXPECT_EQ(user.boxes.back().text, locked + busy);
    EXPECT_EQ(events.lines.back(), "job refused");
    EXPECT_EQ(events.jobsEnded.back().reason, locked + busy);
    EXPECT_FALSE(std::filesystem::exists(dir.File("shot.avi")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("shot.matte.avi")));
  }
  EXPECT_TRUE(chooser.calls.empty());
}

TEST_F(ConvertTest, CancelledChoiceEndsSilentlyAndKeepsAnExistingFile) {
  WriteFrames(1, 2);
  const std::string avi = dir.File("shot.avi");
  WriteFile(avi, "an older cut");
  Type(Frame(1), Frame(2), avi);
  chooser.Cancel();

  dlg.OnConvert();

  EXPECT_THAT(user.Texts(), ElementsAre("AVI file exists, overwrite?"));
  EXPECT_EQ(user.waitCursor, 0);
  EXPECT_EQ(user.maxWaitCursor, 1);
  std::ifstream kept(avi);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an older cut");
  EXPECT_FALSE(std::filesystem::exists(dir.File("shot.matte.avi")));

  // Without an older file, a cancelled choice leaves nothing behind.
  const std::string fresh = dir.File("fresh.avi");
  Type(Frame(1), Frame(2), fresh);
  chooser.Cancel();
  dlg.OnConvert();
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_THAT(user.Texts(), ElementsAre("AVI file exists, overwrite?"));
  EXPECT_THAT(events.Lines(""), ElementsAre("ended colour cancelled 0", "job refused",
                                            "ended colour cancelled 0", "job refused"));
}

TEST_F(ConvertTest, EscapeStopsThePassesAndStillCompletes) {
  WriteFrames(1, 3);
  struct Case {
    int poll;  // the poll at which Escape is seen; polls 1-3 are the video pass, 4-6 the matte
    std::size_t videoFrames;
    int matteFrames;  // -1: no matte file
  } cases[] = {{1, 0, -1}, {3, 2, -1}, {4, 3, 0}, {6, 3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.poll);
    CConverterDlg fresh;
    ScriptedUser person;
    person.Attach(fresh);
    ScriptedChooser picker;
    picker.Pick(kFullFramesFourCC);
    const std::string avi = dir.File("esc" + std::to_string(c.poll) + ".avi");
    const std::string matte = dir.File("esc" + std::to_string(c.poll) + ".matte.avi");
    person.controls = {{IDC_FIRST_FILE, Frame(1)}, {IDC_LAST_FILE, Frame(3)}, {IDC_AVI_FILE, avi}};
    person.PressEscapeAtPoll(c.poll);
    EventLog told;
    fresh.SetObserver(&told);

    fresh.OnConvert();

    EXPECT_THAT(person.Texts(), ElementsAre("AVI File Created"));
    // The pass Escape stopped says how many frames its file holds; the job ends as stopped.
    std::vector<std::string> ends = {"ended colour " +
                                     std::string(c.matteFrames < 0 ? "stopped " : "finished ") +
                                     std::to_string(c.videoFrames)};
    if (c.matteFrames >= 0) ends.push_back("ended matte stopped " + std::to_string(c.matteFrames));
    EXPECT_EQ(told.Lines("ended"), ends);
    EXPECT_THAT(told.Lines("job"), ElementsAre("job stopped"));
    EXPECT_EQ(person.controls[IDC_STATUS], "");
    EXPECT_EQ(person.waitCursor, 0);
    // Each file stopped by Escape is finished, with exactly the frames before the stop.
    ExpectWholeAvi(avi, FirstPictures(c.videoFrames), true);
    if (c.matteFrames < 0) {
      EXPECT_FALSE(std::filesystem::exists(matte));
    } else {
      std::vector<TgaPicture> mattes;
      for (const TgaPicture& picture : FirstPictures(c.matteFrames)) {
        mattes.push_back(MatteOf(picture));
      }
      ExpectWholeAvi(matte, mattes, true);
    }
  }
}

TEST_F(ConvertTest, MissingFrameRepeatsThePreviousOne) {
  WriteFrames(1, 4);
  std::filesystem::remove(Frame(3));
  Type(Frame(1), Frame(4), dir.File("gap.avi"));
  chooser.Pick(kFullFramesFourCC);

  dlg.OnConvert();

  EXPECT_THAT(user.Texts(), ElementsAre("Error on opening " + Frame(3),
                                        "Error on opening " + Frame(3), "AVI File Created"));
  EXPECT_THAT(events.Lines("repeated"),
              ElementsAre("repeated colour 3 missing", "repeated matte 3 missing"));
  EXPECT_EQ(events.repeated.at(0).path, Frame(3));
  EXPECT_THAT(events.Lines("job"), ElementsAre("job created"));
  const DecodedAvi video = DecodeAviOrFail(dir.File("gap.avi"));
  ASSERT_EQ(video.frames.size(), 4U);
  EXPECT_EQ(ComparePictures(video.frames[2], pictures[1], true).maxDiff, 0);
  EXPECT_EQ(ComparePictures(video.frames[3], pictures[3], true).maxDiff, 0);
  const DecodedAvi matte = DecodeAviOrFail(dir.File("gap.matte.avi"));
  ASSERT_EQ(matte.frames.size(), 4U);
  EXPECT_EQ(ComparePictures(matte.frames[2], MatteOf(pictures[1]), true).maxDiff, 0);
}

// Frames are read ahead of their turn; a missing one is still told right after its own status.
TEST_F(ConvertTest, TheFirstFrameIsReadAsEveryOtherFrameIs) {
  // Targa files whose bytes another coder of the library would claim: pixels that spell an
  // EMF signature at byte 40, origin fields that read "ILBM". Both are read as Targa, as
  // frame 1 as well as frame 2.
  struct Case {
    const char* what;
    std::size_t offset;
    std::string bytes;
  } cases[] = {
      {"EMF signature in the pixels", 40, std::string(" EMF\0\0\1\0", 8)},
      {"ILBM in the origin fields", 8, "ILBM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir folder;
    std::vector<TgaPicture> shots;
    for (int n = 1; n <= 2; ++n) {
      TgaPicture shot = RampPicture(8, 4, n);
      std::string file = EncodeTga(shot);  // 32-bit, raw, bottom row first
      file.replace(c.offset, c.bytes.size(), c.bytes);
      // The picture the changed bytes hold.
      for (int i = 0; i < shot.width * shot.height; ++i) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(file.data()) + 18 + 4 * i;
        shot.At(i % shot.width, shot.height - 1 - i / shot.width) = {p[2], p[1], p[0], p[3]};
      }
      shots.push_back(shot);
      WriteFile(folder.File("odd000" + std::to_string(n) + ".tga"), file);
    }
    CConverterDlg fresh;
    ScriptedUser person;
    person.Attach(fresh);
    chooser.LogTo(person);
    chooser.Pick(kFFV1);
    person.controls = {{IDC_FIRST_FILE, folder.File("odd0001.tga")},
                       {IDC_LAST_FILE, folder.File("odd0002.tga")},
                       {IDC_AVI_FILE, folder.File("odd.avi")},
                       {IDC_STATUS, ""}};
    fresh.OnConvert();

    EXPECT_THAT(person.Texts(), ElementsAre("AVI File Created"));
    const DecodedAvi video = DecodeAviOrFail(folder.File("odd.avi"));
    const DecodedAvi matte = DecodeAviOrFail(folder.File("odd.matte.avi"));
    ASSERT_EQ(video.frames.size(), 2u);
    ASSERT_EQ(matte.frames.size(), 2u);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(ComparePictures(video.frames[i], shots[i], true).maxDiff, 0) << i;
      EXPECT_EQ(ComparePictures(matte.frames[i], MatteOf(shots[i]), false).maxDiff, 0) << i;
    }
  }
}

TEST_F(ConvertTest, AMissingFrameIsToldAtItsOwnTurn) {
  WriteFrames(1, 5);
  std::filesystem::remove(Frame(4));
  Type(Frame(1), Frame(5), dir.File("turn.avi"));
  chooser.Pick(kFullFramesFourCC);

  dlg.OnConvert();

  const std::string missing = "box:Error on opening " + Frame(4);
  EXPECT_THAT(
      user.log,
      ElementsAre("cursor:on", "chooser:DIB ", "status:Saving Video Frame 1",
                  "status:Saving Video Frame 2", "status:Saving Video Frame 3",
                  "status:Saving Video Frame 4", missing, "status:Saving Video Frame 5",
                  "status:Saving Matte Frame 1", "status:Saving Matte Frame 2",
                  "status:Saving Matte Frame 3", "status:Saving Matte Frame 4", missing,
                  "status:Saving Matte Frame 5", "box:AVI File Created", "status:", "cursor:off"));
}

TEST_F(ConvertTest, NumbersFramesFromTheFirstFileAndSamplesFromZero) {
  WriteFrames(100, 104);
  Type(Frame(100), Frame(104), dir.File("range.avi"));
  chooser.Pick(kFullFramesFourCC);

  dlg.OnConvert();

  EXPECT_THAT(user.Statuses(), ElementsAre("Saving Video Frame 100", "Saving Video Frame 101",
                                           "Saving Video Frame 102", "Saving Video Frame 103",
                                           "Saving Video Frame 104", "Saving Matte Frame 100",
                                           "Saving Matte Frame 101", "Saving Matte Frame 102",
                                           "Saving Matte Frame 103", "Saving Matte Frame 104", ""));
  const DecodedAvi video = DecodeAviOrFail(dir.File("range.avi"));
  EXPECT_THAT(video.pts, ElementsAre(0, 1, 2, 3, 4));
  ASSERT_EQ(video.frames.size(), 5U);
  EXPECT_EQ(ComparePictures(video.frames[4], pictures[4], true).maxDiff, 0);
}

TEST_F(ConvertTest, UnpaddedRunKeepsTheFirstFilesWidth) {
  for (int n = 1; n <= 10; ++n) {
    pictures.push_back(RampPicture(8, 6, n));
    WriteTga(dir.File("take" + std::to_string(n) + ".tga"), pictures.back());
  }
  Type(dir.File("take1.tga"), dir.File("take10.tga"), dir.File("take.avi"));
  chooser.Pick(kFullFramesFourCC);

  dlg.OnConvert();

  EXPECT_THAT(user.Texts(), ElementsAre("AVI File Created"));
  const DecodedAvi video = DecodeAviOrFail(dir.File("take.avi"));
  ASSERT_EQ(video.frames.size(), 10U);
  EXPECT_EQ(ComparePictures(video.frames[9], pictures[9], true).maxDiff, 0);
}

TEST_F(ConvertTest, ConvertingAgainDerivesTheMatteNameOnceMore) {
  WriteFrames(1, 1);
  WriteFile(dir.File("shot.matte.avi"), "old matte");
  Type(Frame(1), Frame(1), dir.File("shot.avi"));
  chooser.Pick(kFullFramesFourCC);
  dlg.OnConvert();
  // The existing matte file was overwritten without a question.
  EXPECT_THAT(user.Texts(), ElementsAre("AVI File Created"));
  EXPECT_EQ(DecodeAviOrFail(dir.File("shot.matte.avi")).frames.size(), 1U);

  // The edit box now shows the matte name; converting again asks before writing into it.
  chooser.Pick(kFullFramesFourCC);
  dlg.OnConvert();
  EXPECT_THAT(user.Texts(),
              ElementsAre("AVI File Created", "AVI file exists, overwrite?", "AVI File Created"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("shot.matte.matte.avi")));
}

TEST_F(ConvertTest, WriteErrorInTheMattePassStillCompletes) {
  WriteFrames(1, 3);
  Type(Frame(1), Frame(3), dir.File("werr.avi"));
  chooser.Pick(kFullFramesFourCC);
  // Writes: three video frames, then the matte pass's second frame.
  FailWriterStep(WriterStep::kWrite, 5);

  dlg.OnConvert();

  EXPECT_THAT(user.Texts(), ElementsAre("AVI stream write error", "AVI File Created"));
  EXPECT_EQ(DecodeAviOrFail(dir.File("werr.avi")).frames.size(), 3U);
  EXPECT_EQ(DecodeAviOrFail(dir.File("werr.matte.avi")).frames.size(), 1U);
  EXPECT_EQ(user.waitCursor, 0);
  // The file whose write failed is not checked again; the job failed, naming it.
  EXPECT_THAT(events.Lines("ended"),
              ElementsAre("ended colour finished 3", "ended matte write failed 1"));
  EXPECT_THAT(events.Lines("checked"), ElementsAre("checked werr.avi 3 of 3"));
  ASSERT_EQ(events.jobsEnded.size(), 1u);
  EXPECT_EQ(events.jobsEnded[0].end, JobEnd::kFailed);
  EXPECT_THAT(events.jobsEnded[0].reason,
              ::testing::StartsWith("AVI stream write error: " + dir.File("werr.matte.avi")));
}

// A disk that fills up during the video pass (here: the size limit of the process the job runs
// in). The user hears of it once, the job still completes, no matte file is started, and the
// video file is whole with every frame before the one that failed.
TEST_F(ConvertTest, AFullDiskIsToldOnceAndLeavesAWholeFile) {
  // 640 x 480 noise: 1.2 MB a frame, stored or FFV1 alike.
  for (int n = 1; n <= 30; ++n) {
    pictures.push_back(NoisePicture(640, 480, static_cast<unsigned>(n)));
    WriteTga(Frame(n), pictures.back());
  }
  const struct {
    const char* what;
    FourCC fourcc;
    std::uint64_t limit;
  } cases[] = {
      {"Full Frames", kFullFramesFourCC, 6'500'000},
      {"FFV1", kFFV1, 27'000'000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string avi = dir.File(std::string(c.what) + ".avi");
    const ChildRun run = RunWithFileSizeLimit(c.limit, [&] {
      // A forked child has none of the parent's threads, ImageMagick's OpenMP workers among
      // them, and a parallel loop would wait for them; the child's frames are read on one.
      Magick::ResourceLimits::thread(1);
      CConverterDlg fresh;
      ScriptedUser person;
      person.Attach(fresh);
      ScriptedChooser picker;
      picker.Pick(c.fourcc);
      person.controls = {
          {IDC_FIRST_FILE, Frame(1)}, {IDC_LAST_FILE, Frame(30)}, {IDC_AVI_FILE, avi}};
      fresh.OnConvert();
      std::string log;
      for (const std::string& line : person.log) log += line + "\n";
      return log;
    });
    ASSERT_TRUE(run.ok) << run.error;

    std::vector<std::string> boxes;
    std::size_t videoStatuses = 0;
    std::istringstream lines(run.report);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("box:", 0) == 0) boxes.push_back(line.substr(4));
      if (line.rfind("status:Saving Video Frame ", 0) == 0) ++videoStatuses;
    }
    EXPECT_THAT(boxes, ElementsAre("AVI stream write error", "AVI File Created"));
    EXPECT_FALSE(std::filesystem::exists(dir.File(std::string(c.what) + ".matte.avi")));
    // The failed write is the one after the last status.
    ASSERT_GT(videoStatuses, 1U);
    ASSERT_LT(videoStatuses, 30U);
    ExpectWholeAvi(avi, FirstPictures(videoStatuses - 1), true);
  }
}

// A file that cannot be finished (its last frames, index or close failed) is a write error
// too: told once, then the job completes as after any write error.
TEST_F(ConvertTest, AFailedFinishIsToldAsAWriteError) {
  WriteFrames(1, 3);
  Type(Frame(1), Frame(3), dir.File("fin.avi"));
  chooser.Pick(kFFV1);
  FailWriterStep(WriterStep::kFinish);  // the video pass's finish

  dlg.OnConvert();

  EXPECT_THAT(user.Texts(), ElementsAre("AVI stream write error", "AVI File Created"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("fin.matte.avi")));
  EXPECT_EQ(user.waitCursor, 0);
}

TEST_F(ConvertTest, FailedPassEndsWithoutCompletion) {
  WriteFrames(1, 2);
  // The output name lies under a regular file, so the video pass cannot open it.
  WriteFile(dir.File("plain"), "x");
  Type(Frame(1), Frame(2), dir.File("plain/x.avi"));
  chooser.Pick(kFullFramesFourCC);
  dlg.OnConvert();
  EXPECT_THAT(user.Texts(), ElementsAre("Failed to open AVI file for writing"));
  EXPECT_EQ(user.waitCursor, 0);
  EXPECT_TRUE(chooser.calls.empty());
  // The message says what failed; the job's end says why as well.
  EXPECT_THAT(events.Lines(""), ElementsAre("ended colour not started 0", "job failed"));
  EXPECT_THAT(events.jobsEnded.at(0).reason, ::testing::HasSubstr(dir.File("plain/x.avi")));
}

}  // namespace
