// The dialog takes frames from its reader and tells each failure at that frame's turn, never
// before; a read that hangs ends on Escape without a message.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "dialog/converter_dlg.h"
#include "tests/support/avi_reader.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const FrameBuffer& frame) {
  return Bytes(frame.data(), frame.data() + frame.bytes());
}

class TakeFrameTest : public ::testing::Test {
 protected:
  TakeFrameTest() {
    user.Attach(dlg);
    for (int n = 1; n <= 3; ++n) {
      pictures.push_back(RampPicture(6 + n, 4, n));
      WriteTga(Frame(n), pictures.back());
    }
  }
  std::string Frame(long long n) const { return dir.File("shot000" + std::to_string(n) + ".tga"); }
  FrameRing::Namer Names() const {
    return [this](long long n) { return Frame(n); };
  }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
  std::vector<TgaPicture> pictures;
};

TEST_F(TakeFrameTest, AFailedReadIsToldAtItsOwnTurn) {
  std::filesystem::remove(Frame(2));
  dlg.m_frames.Start(Names(), 1, 3, false);
  FrameBuffer taken;
  ASSERT_EQ(dlg.TakeFrame(1, taken).status, FrameRead::Status::kOk);
  const Bytes first = BytesOf(taken);
  // Frame 2 has been read by now, and failed; nobody hears of it before its turn.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_THAT(user.Texts(), IsEmpty());

  EXPECT_EQ(dlg.TakeFrame(2, taken).status, FrameRead::Status::kMissing);
  EXPECT_THAT(user.Texts(), ElementsAre("Error on opening " + Frame(2)));
  EXPECT_EQ(BytesOf(taken), first) << "a failed frame leaves the buffer as it was";
  EXPECT_EQ(dlg.TakeFrame(3, taken).status, FrameRead::Status::kOk);
  EXPECT_EQ(BytesOf(taken), FrameBufferOf(pictures[2], false));
  dlg.m_frames.Stop();

  // Frames read ahead and never taken are never told.
  user.boxes.clear();
  dlg.m_frames.Start(Names(), 1, 3, false);
  ASSERT_EQ(dlg.TakeFrame(1, taken).status, FrameRead::Status::kOk);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  dlg.m_frames.Stop();
  EXPECT_THAT(user.Texts(), IsEmpty());
}

TEST_F(TakeFrameTest, AReadThatHangsEndsOnEscapeWithoutAMessage) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  dlg.m_frames.UseReader(
      [gate, hanging = Frame(2)](const std::string& path, bool matte, FrameBuffer& frame) {
        if (path == hanging) gate.wait();
        return ReadFrameInto(path, matte, frame);
      });
  dlg.m_frames.Start(Names(), 1, 3, false);
  FrameBuffer taken;
  ASSERT_EQ(dlg.TakeFrame(1, taken).status, FrameRead::Status::kOk);
  const Bytes first = BytesOf(taken);

  user.PressEscapeAtPoll(1);
  EXPECT_EQ(dlg.TakeFrame(2, taken).status, FrameRead::Status::kStopped);
  EXPECT_THAT(user.Texts(), IsEmpty());
  EXPECT_EQ(BytesOf(taken), first);
  release.set_value();
}

}  // namespace
