// Frames read ahead on other threads must come out exactly as frames loaded in turn, and their
// failures must be told at their own turn.

#include "frames/read_ahead.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "frames/converter_dlg.h"
#include "tests/support/avi_reader.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

Bytes BufferOf(const CConverterDlg& dlg) {
  const std::size_t size = static_cast<std::size_t>(dlg.m_nFrameWidth) * dlg.m_nFrameHeight * 4;
  return Bytes(dlg.m_pFrameData, dlg.m_pFrameData + size);
}

class ReadAheadTest : public ::testing::Test {
 protected:
  ReadAheadTest() {
    user.Attach(dlg);
    for (int n = 1; n <= 4; ++n) {
      pictures.push_back(RampPicture(6 + n, 4, n));  // each frame its own size and pixels
      WriteTga(Frame(n), pictures.back());
    }
  }
  std::string Frame(int n) const { return dir.File("shot000" + std::to_string(n) + ".tga"); }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
  std::vector<TgaPicture> pictures;
};

TEST_F(ReadAheadTest, FramesReadAheadEqualFramesLoadedInTurn) {
  for (const bool matte : {false, true}) {
    SCOPED_TRACE(matte ? "matte" : "video");
    ASSERT_TRUE(dlg.ReadAhead(Frame(1).c_str(), matte));
    ASSERT_TRUE(dlg.ReadAhead(Frame(2).c_str(), matte));
    EXPECT_FALSE(dlg.ReadAhead(Frame(3).c_str(), matte)) << "no more than two are read ahead";
    for (int n = 1; n <= 4; ++n) {
      ASSERT_TRUE(dlg.LoadFrame(Frame(n).c_str(), matte));
      const Bytes ahead = BufferOf(dlg);
      EXPECT_EQ(dlg.m_nFrameWidth, pictures[n - 1].width);
      if (n == 2) dlg.ReadAhead(Frame(3).c_str(), matte);

      CConverterDlg inTurn;
      ASSERT_TRUE(inTurn.LoadFrame(Frame(n).c_str(), matte));
      EXPECT_EQ(ahead, BufferOf(inTurn)) << "frame " << n;
    }
    EXPECT_EQ(dlg.m_readAhead.PendingReads(), 0U);
  }
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(ReadAheadTest, AFailedReadIsToldAtItsOwnTurn) {
  std::filesystem::remove(Frame(2));
  ASSERT_TRUE(dlg.LoadFrame(Frame(1).c_str(), false));
  const Bytes first = BufferOf(dlg);
  dlg.ReadAhead(Frame(2).c_str(), false);
  dlg.ReadAhead(Frame(3).c_str(), false);
  dlg.m_readAhead.Abandon();  // dropped untaken: whatever they found is never told
  EXPECT_TRUE(user.boxes.empty());

  dlg.ReadAhead(Frame(2).c_str(), false);
  EXPECT_FALSE(dlg.LoadFrame(Frame(2).c_str(), false));
  EXPECT_THAT(user.Texts(), ElementsAre("Error on opening " + Frame(2)));
  // The previous good frame stays, as after a failed load in turn.
  EXPECT_EQ(BufferOf(dlg), first);
  EXPECT_EQ(dlg.m_nFrameWidth, pictures[0].width);
}

TEST_F(ReadAheadTest, AFrameOtherThanTheOneReadAheadIsLoadedInTurn) {
  dlg.ReadAhead(Frame(3).c_str(), false);
  dlg.ReadAhead(Frame(4).c_str(), false);
  // A different flag is a different frame buffer: nothing read ahead may stand in for it.
  ASSERT_TRUE(dlg.LoadFrame(Frame(3).c_str(), true));
  EXPECT_EQ(dlg.m_readAhead.PendingReads(), 0U);
  EXPECT_EQ(BufferOf(dlg)[0], pictures[2].At(0, pictures[2].height - 1).a);

  dlg.ReadAhead(Frame(4).c_str(), false);
  ASSERT_TRUE(dlg.LoadFrame(Frame(1).c_str(), false));
  EXPECT_EQ(dlg.m_nFrameWidth, pictures[0].width);
  EXPECT_EQ(dlg.m_readAhead.PendingReads(), 0U);
}

TEST_F(ReadAheadTest, AKeptCopyOfTheBufferSurvivesLaterFramesReadAhead) {
  ASSERT_TRUE(dlg.LoadFrame(Frame(1).c_str(), false));
  const Magick::Blob kept = dlg.m_blob;
  const Bytes before(static_cast<const std::uint8_t*>(kept.data()),
                     static_cast<const std::uint8_t*>(kept.data()) + kept.length());
  for (int n = 2; n <= 4; ++n) dlg.ReadAhead(Frame(n).c_str(), false);
  for (int n = 2; n <= 4; ++n) ASSERT_TRUE(dlg.LoadFrame(Frame(n).c_str(), false));
  EXPECT_EQ(0, std::memcmp(kept.data(), before.data(), before.size()));
}

TEST_F(ReadAheadTest, ANamedPipeOrAFolderIsRefusedAtOnce) {
  // Opening a named pipe for reading waits for a writer; neither reader may ever do that.
  for (const char* name : {"pipe0002.tga", "pipe0002.png", "folder0002.tga"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    if (std::string(name).rfind("folder", 0) == 0) {
      std::filesystem::create_directory(path);
    } else {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    for (bool matte : {false, true}) {
      EXPECT_EQ(ReadFrame(path, matte).status, FrameRead::Status::kOpenFailed);
    }
  }
}

// A read that hangs until the test lets it go, as a file on a server that went away does.
class HangingRead {
 public:
  FrameReadAhead::Reader Around(const std::string& hangingPath) {
    return [gate = m_gate, hangingPath](const std::string& path, bool matte) {
      if (path == hangingPath) gate.wait();
      return ReadFrame(path, matte);
    };
  }
  void Release() { m_release.set_value(); }

 private:
  std::promise<void> m_release;
  std::shared_future<void> m_gate = m_release.get_future().share();
};

TEST_F(ReadAheadTest, EscapeEndsTheWaitForAReadThatHangs) {
  HangingRead hanging;
  FrameReadAhead ahead(hanging.Around(Frame(2)));
  ASSERT_TRUE(ahead.Start(Frame(1), false));
  ASSERT_TRUE(ahead.Start(Frame(2), false));

  int asked = 0;
  const auto escapeAtThirdAsk = [&asked] { return ++asked >= 3; };
  std::optional<FrameRead> first = ahead.Take(Frame(1), false, escapeAtThirdAsk);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, FrameRead::Status::kOk);
  EXPECT_EQ(asked, 0) << "a read that finishes is not held up by polls";

  std::optional<FrameRead> second = ahead.Take(Frame(2), false, escapeAtThirdAsk);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, FrameRead::Status::kStopped);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(ahead.PendingReads(), 0U) << "the hanging read is given up";
  hanging.Release();  // its thread ends on its own, and what it read is dropped
}

TEST_F(ReadAheadTest, ALoadThatHangsEndsOnEscapeWithoutAMessage) {
  HangingRead hanging;
  dlg.m_readAhead.UseReader(hanging.Around(Frame(2)));
  ASSERT_TRUE(dlg.LoadFrame(Frame(1).c_str(), false));
  const Bytes first = BufferOf(dlg);
  EXPECT_FALSE(dlg.m_bLoadStopped);

  user.PressEscapeAtPoll(1);
  EXPECT_FALSE(dlg.LoadFrame(Frame(2).c_str(), false));
  EXPECT_TRUE(dlg.m_bLoadStopped);
  EXPECT_TRUE(user.boxes.empty());
  EXPECT_EQ(BufferOf(dlg), first);
  hanging.Release();
}

}  // namespace
