// Times ReadFrameInto, the read of one frame file into a frame buffer, against the bare
// Magick::Image::read of the same file, in the same run, and prints both and their ratio. A plain
// Targa file our own reader reads, and the ratio shows what that saves; for any other file the
// library's read is the floor, and everything ReadFrameInto adds (the header check, orientation,
// the 8-bit export into the frame buffer) shows in the ratio.
//
//   load_frame_bench            a 1920×1080 32-bit bottom-left Targa file, 60 rounds
//   load_frame_bench 200        the same, 200 rounds
//   load_frame_bench 60 x.png   any frame file

#include <Magick++.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frames/frame_ring.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double Millis(F&& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A picture with smooth colour, varied alpha and some noise, as a rendered frame has.
testing_support::TgaPicture MakePicture(int width, int height) {
  testing_support::TgaPicture pic(width, height);
  unsigned seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 7);
      pic.At(x, y) = {static_cast<std::uint8_t>((x + noise) & 255),
                      static_cast<std::uint8_t>((y + noise) & 255),
                      static_cast<std::uint8_t>((x ^ y) & 255),
                      static_cast<std::uint8_t>(x < width / 2 ? 255 : (x + y) & 255)};
    }
  }
  return pic;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  testing_support::TempDir dir;
  std::string path;
  if (argc > 2) {
    path = argv[2];
  } else {
    path = dir.File("bench0001.tga");
    testing_support::WriteTga(path, MakePicture(1920, 1080));
  }

  EnsureMagickReady();
  FrameBuffer frame;
  const FrameRead first = ReadFrameInto(path, false, frame);
  if (first.status != FrameRead::Status::kOk) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), first.reason.c_str());
    return 1;
  }
  Magick::Image bare;
  bare.read(path);

  // Each kind runs in blocks of consecutive calls, as a pass makes them, so that each meets the
  // memory its own previous call left (large frees and fresh pages cost as much as a third of a
  // read here); the blocks take turns so that a change in the machine's load hits all three.
  // The bare read lets go of the previous frame first, as a frame read does: read into an image
  // that still holds one, two frames' pixels live at once and the floor itself gets slower.
  constexpr int kBlock = 10;
  std::vector<double> readTimes, videoTimes, matteTimes;
  auto block = [&](std::vector<double>& times, auto&& call) {
    call();  // the first call still meets the other kind's memory
    for (int i = 0; i < kBlock; ++i) times.push_back(Millis(call));
  };
  for (int done = 0; done < rounds; done += kBlock) {
    block(readTimes, [&] {
      bare = Magick::Image();
      bare.read(path);
    });
    block(videoTimes, [&] { ReadFrameInto(path, false, frame); });
    block(matteTimes, [&] { ReadFrameInto(path, true, frame); });
  }

  // The fastest rounds give the figure: they carry the work itself with the least of whatever
  // else the machine is doing; the medians show what a busy machine adds.
  const double read = Median(readTimes);
  const double video = Median(videoTimes);
  const double matte = Median(matteTimes);
  const double bestRead = *std::min_element(readTimes.begin(), readTimes.end());
  const double bestVideo = *std::min_element(videoTimes.begin(), videoTimes.end());
  const double bestMatte = *std::min_element(matteTimes.begin(), matteTimes.end());
  std::printf("%s: %d x %d, %d rounds\n", path.c_str(), first.size.width, first.size.height,
              rounds);
  std::printf("                       median              fastest\n");
  std::printf("Magick::Image::read  %8.2f ms          %8.2f ms\n", read, bestRead);
  std::printf("ReadFrameInto (video)%8.2f ms  %5.3f   %8.2f ms  %5.3f\n", video, video / read,
              bestVideo, bestVideo / bestRead);
  std::printf("ReadFrameInto (matte)%8.2f ms  %5.3f   %8.2f ms  %5.3f\n", matte, matte / read,
              bestMatte, bestMatte / bestRead);
  std::printf("ratio %.3f (fastest rounds; medians give %.3f)\n", bestVideo / bestRead,
              video / read);
  return 0;
}
