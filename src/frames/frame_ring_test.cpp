// Frames read ahead on the ring's thread must come out exactly as frames read in turn, each
// failure must be told at its own turn, and a read that hangs must hold up nobody.

#include "frames/frame_ring.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/avi_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes BytesOf(const FrameBuffer& frame) {
  return Bytes(frame.data(), frame.data() + frame.bytes());
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class FrameRingTest : public ::testing::Test {
 protected:
  FrameRingTest() {
    for (int n = 1; n <= 4; ++n) {
      pictures.push_back(RampPicture(6 + n, 4, n));  // each frame its own size and pixels
      WriteTga(Frame(n), pictures.back());
    }
  }
  std::string Frame(long long n) const { return dir.File("shot000" + std::to_string(n) + ".tga"); }
  FrameRing::Namer Names() const {
    return [this](long long n) { return Frame(n); };
  }

  TempDir dir;
  std::vector<TgaPicture> pictures;
};

TEST_F(FrameRingTest, FramesTakenByNumberEqualFramesReadInTurn) {
  FrameRing ring;
  FrameBuffer taken;
  for (const bool matte : {false, true}) {  // the second run reads into the first run's buffers
    SCOPED_TRACE(matte ? "matte" : "video");
    ring.Start(Names(), 1, 4, matte);
    for (int n = 1; n <= 4; ++n) {
      const FrameRead read = ring.Take(n, taken);
      ASSERT_EQ(read.status, FrameRead::Status::kOk) << n;
      EXPECT_EQ(read.path, Frame(n));
      EXPECT_EQ(read.size.width, pictures[n - 1].width);
      FrameBuffer inTurn;
      ASSERT_EQ(ReadFrameInto(Frame(n), matte, inTurn).status, FrameRead::Status::kOk);
      EXPECT_EQ(BytesOf(taken), BytesOf(inTurn)) << "frame " << n;
      EXPECT_EQ(BytesOf(taken), FrameBufferOf(pictures[n - 1], matte)) << "frame " << n;
    }
    ring.Stop();
  }
}

TEST_F(FrameRingTest, AFrameOfAnotherSizeIsNotTakenWhenOneSizeIsAsked) {
  FrameRing ring;
  FrameBuffer kept;
  const FrameSize first{pictures[0].width, pictures[0].height};
  ring.Start(Names(), 1, 2, false);
  ASSERT_EQ(ring.Take(1, kept, {}, first).status, FrameRead::Status::kOk);
  const FrameRead other = ring.Take(2, kept, {}, first);
  EXPECT_EQ(other.status, FrameRead::Status::kOk);
  EXPECT_EQ(other.size.width, pictures[1].width) << "the size read, for the message";
  EXPECT_EQ(BytesOf(kept), FrameBufferOf(pictures[0], false));
}

TEST_F(FrameRingTest, AFrameOutOfTurnOrWithoutARunIsRefusedAtOnce) {
  FrameRing ring;
  FrameBuffer taken;
  EXPECT_EQ(ring.Take(1, taken).status, FrameRead::Status::kOpenFailed);
  ring.Start(Names(), 1, 3, false);
  EXPECT_EQ(ring.Take(2, taken).status, FrameRead::Status::kOpenFailed);
  EXPECT_EQ(ring.Take(4, taken).status, FrameRead::Status::kOpenFailed);
  EXPECT_EQ(taken.data(), nullptr);
  EXPECT_EQ(ring.Take(1, taken).status, FrameRead::Status::kOk);
  ring.Stop();
  EXPECT_EQ(ring.Take(2, taken).status, FrameRead::Status::kOpenFailed);
}

TEST_F(FrameRingTest, AReaderThatThrowsFailsThatFrameAloneWithItsReason) {
  FrameRing ring;
  ring.UseReader([this](const std::string& path, bool matte, FrameBuffer& frame) {
    if (path == Frame(2)) throw std::runtime_error("no memory for the frame");
    return ReadFrameInto(path, matte, frame);
  });
  ring.Start(Names(), 1, 3, false);
  FrameBuffer taken;
  EXPECT_EQ(ring.Take(1, taken).status, FrameRead::Status::kOk);
  const FrameRead failed = ring.Take(2, taken);
  EXPECT_EQ(failed.status, FrameRead::Status::kOpenFailed);
  EXPECT_EQ(failed.reason, "no memory for the frame");
  EXPECT_EQ(failed.path, Frame(2));
  EXPECT_EQ(ring.Take(3, taken).status, FrameRead::Status::kOk);
}

TEST_F(FrameRingTest, TheReaderStaysAFewFramesAhead) {
  std::atomic<int> reads{0};
  FrameRing ring;
  ring.UseReader([&reads](const std::string& path, bool matte, FrameBuffer& frame) {
    ++reads;
    return ReadFrameInto(path, matte, frame);
  });
  ring.Start([this](long long n) { return Frame(1 + (n - 1) % 4); }, 1, 40, false);
  FrameBuffer taken;
  ASSERT_EQ(ring.Take(1, taken).status, FrameRead::Status::kOk);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(reads, 1 + FrameRing::kDepth) << "the frame taken and those that fit the ring";
  for (int n = 2; n <= 40; ++n) ASSERT_EQ(ring.Take(n, taken).status, FrameRead::Status::kOk);
  EXPECT_EQ(reads, 40);
}

TEST_F(FrameRingTest, ANamedPipeOrAFolderIsRefusedAtOnce) {
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
      FrameBuffer frame;
      EXPECT_EQ(ReadFrameInto(path, matte, frame).status, FrameRead::Status::kOpenFailed);
    }
  }
}

// A read that hangs until the test lets it go, as a file on a server that went away does.
class HangingRead {
 public:
  FrameRing::Reader Around(const std::string& hangingPath) {
    return [gate = m_gate, hangingPath](const std::string& path, bool matte, FrameBuffer& frame) {
      if (path == hangingPath) gate.wait();
      return ReadFrameInto(path, matte, frame);
    };
  }
  void Release() { m_release.set_value(); }

 private:
  std::promise<void> m_release;
  std::shared_future<void> m_gate = m_release.get_future().share();
};

TEST_F(FrameRingTest, EscapeEndsTheWaitForAReadThatHangs) {
  HangingRead hanging;
  FrameRing ring;
  ring.UseReader(hanging.Around(Frame(2)));
  ring.Start(Names(), 1, 4, false);

  int asked = 0;
  const auto escapeAtThirdAsk = [&asked] { return ++asked >= 3; };
  FrameBuffer taken;
  EXPECT_EQ(ring.Take(1, taken, escapeAtThirdAsk).status, FrameRead::Status::kOk);
  EXPECT_EQ(asked, 0) << "a read that finishes is not held up by polls";

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(ring.Take(2, taken, escapeAtThirdAsk).status, FrameRead::Status::kStopped);
  EXPECT_EQ(asked, 3) << "after a fifth of a second, then every tenth";
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_EQ(BytesOf(taken), FrameBufferOf(pictures[0], false));
  EXPECT_EQ(ring.Take(3, taken).status, FrameRead::Status::kOpenFailed) << "the run is over";

  // The next run reads on while the abandoned read still hangs.
  ring.UseReader(nullptr);  // the ring's own reader again
  ring.Start(Names(), 3, 4, true);
  EXPECT_EQ(ring.Take(3, taken).status, FrameRead::Status::kOk);
  EXPECT_EQ(BytesOf(taken), FrameBufferOf(pictures[2], true));
  hanging.Release();  // its thread ends on its own, and what it read is dropped
  EXPECT_EQ(ring.Take(4, taken).status, FrameRead::Status::kOk);
}

TEST_F(FrameRingTest, DestructionWaitsForAnAbandonedReadAboutTwoSecondsAtMost) {
  const struct {
    const char* what;
    int readMillis;  // how long the abandoned read takes; -1: until released
    bool finishedFirst;
  } cases[] = {{"a slow read", 500, true}, {"a read that hangs", -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    HangingRead hanging;
    const FrameRing::Reader hang = hanging.Around(Frame(1));
    Clock::time_point start;
    {
      FrameRing ring;
      ring.UseReader([&c, finished, hang](const std::string& path, bool matte, FrameBuffer& frame) {
        FrameRead read;
        if (c.readMillis < 0) {
          read = hang(path, matte, frame);
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(c.readMillis));
          read = ReadFrameInto(path, matte, frame);
        }
        *finished = true;
        return read;
      });
      ring.Start(Names(), 1, 1, false);
      FrameBuffer taken;
      ASSERT_EQ(ring.Take(1, taken, [] { return true; }).status, FrameRead::Status::kStopped);
      start = Clock::now();
    }
    const double waited = SecondsSince(start);
    EXPECT_EQ(*finished, c.finishedFirst);
    EXPECT_LT(waited, 3.5);
    if (!c.finishedFirst) {
      EXPECT_GT(waited, 1.5);
    }
    hanging.Release();
    // The test's reader outlives this scope only in the thread, which holds what it needs.
    while (!*finished) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

namespace {

// A frame of another size than the run's is known by its header: its pixels are never decoded,
// however many it claims, and the caller's frame stays as it was.
TEST(FrameRingSizeTest, AFrameOfAnotherSizeIsNotDecoded) {
  TempDir dir;
  const TgaPicture first = RampPicture(16, 12, 1);
  WriteTga(dir.File("s1.tga"), first);
  WriteFile(dir.File("s2.tga"), TgaHeader(8192, 8192));  // a header and no pixels
  WriteTga(dir.File("s3.tga"), RampPicture(12, 16, 3));  // the run's size on its side: read
  FrameRing ring;
  std::atomic<int> reads{0};
  ring.UseReader([&reads](const std::string& path, bool bMatte, FrameBuffer& frame) {
    ++reads;
    return ReadFrameInto(path, bMatte, frame);
  });
  ring.Start([&dir](long long n) { return dir.File("s" + std::to_string(n) + ".tga"); }, 1, 3,
             false, FrameSize{16, 12});
  FrameBuffer frame;
  ASSERT_EQ(ring.Take(1, frame, {}, FrameSize{16, 12}).status, FrameRead::Status::kOk);
  const Bytes firstBytes = BytesOf(frame);
  const FrameRead other = ring.Take(2, frame, {}, FrameSize{16, 12});
  EXPECT_EQ(other.status, FrameRead::Status::kOk);
  EXPECT_EQ(other.size.width, 8192);
  EXPECT_EQ(other.size.height, 8192);
  EXPECT_EQ(BytesOf(frame), firstBytes);
  EXPECT_EQ(ring.Take(3, frame, {}, FrameSize{16, 12}).size.width, 12);
  ring.Stop();
  EXPECT_EQ(reads.load(), 2);
}

}  // namespace
