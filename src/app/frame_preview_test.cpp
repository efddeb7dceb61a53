#include "app/frame_preview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::Rgba;
using testing_support::TgaPicture;

TEST(FramePreviewTest, FitsTheFrameInsideItsHalfKeepingItsShape) {
  const struct {
    FrameSize frame, box, fit;
  } cases[] = {
      {{64, 48}, {100, 50}, {67, 50}},  {{64, 48}, {100, 100}, {100, 75}},
      {{1, 1}, {100, 50}, {50, 50}},    {{10000, 1}, {100, 50}, {100, 1}},
      {{1, 10000}, {100, 50}, {1, 50}}, {{3, 5}, {3, 5}, {3, 5}},
      {{0, 5}, {100, 50}, {0, 0}},      {{64, 48}, {0, 50}, {0, 0}},
  };
  for (const auto& c : cases) {
    const FrameSize fit = FitInside(c.frame, c.box);
    EXPECT_TRUE(fit.width == c.fit.width && fit.height == c.fit.height)
        << c.frame.width << "x" << c.frame.height << " gave " << fit.width << "x" << fit.height;
  }
}

TEST(FramePreviewTest, CompositesOverTheCheckerboardAndShowsAlphaAsGrey) {
  const Rgba red{255, 0, 0, 255}, clear{0, 0, 255, 0}, white{255, 255, 255, 255};
  // Half red over the light squares and the dark: 255 * 128/255 + 204 (153) * 127/255.
  const Rgba overLight{230, 102, 102, 128}, overDark{204, 76, 76, 128};
  const Rgba light{204, 204, 204, 0}, dark{153, 153, 153, 0};  // the checkerboard alone
  const struct {
    const char* what;
    FrameSize size, fit;
    std::vector<Rgba> bottomUp;
    bool premultiplied;
    std::vector<std::pair<int, Rgba>> checks;  // pixel x + y * fit.width: colour, alpha as grey
  } cases[] = {
      {"opaque", {1, 1}, {1, 1}, {red}, false, {{0, red}}},
      {"straight", {1, 1}, {8, 8}, {{255, 0, 0, 128}}, false, {{0, overLight}, {4, overDark}}},
      {"squares alternate down", {1, 1}, {8, 8}, {{255, 0, 0, 128}}, false, {{36, overLight}}},
      {"premultiplied", {1, 1}, {1, 1}, {{128, 0, 0, 128}}, true, {{0, overLight}}},
      {"transparent", {1, 1}, {5, 1}, {clear}, false, {{0, light}, {4, dark}}},
      {"weighted by alpha", {2, 1}, {1, 1}, {white, clear}, false, {{0, {230, 230, 230, 128}}}},
      {"rows bottom-up", {1, 2}, {1, 2}, {clear, red}, false, {{0, red}}},
      // Five columns to two: two and three.
      {"odd sizes", {5, 1}, {2, 1}, {red, red, clear, clear, clear}, false, {{0, red}, {1, light}}},
  };
  for (const auto& c : cases) {
    std::vector<unsigned char> bgra;
    for (const Rgba& p : c.bottomUp) bgra.insert(bgra.end(), {p.b, p.g, p.r, p.a});
    const PreviewPictures pictures = MakePreview(bgra.data(), c.size, c.fit, {c.premultiplied, 4});
    ASSERT_EQ(pictures.colour.rgb.size(), std::size_t(c.fit.width) * c.fit.height * 3) << c.what;
    for (const auto& [at, want] : c.checks) {
      const unsigned char* colour = &pictures.colour.rgb[std::size_t(at) * 3];
      const unsigned char* grey = &pictures.matte.rgb[std::size_t(at) * 3];
      EXPECT_TRUE((Rgba{colour[0], colour[1], colour[2], grey[0]}) == want && grey[1] == grey[0] &&
                  grey[2] == grey[0])
          << c.what << " at " << at << ": " << +colour[0] << " " << +colour[1] << " " << +colour[2]
          << " / " << +grey[0];
    }
  }
}

TEST(PreviewReaderTest, AnswersTheNewestRequestWithTheColourPassLook) {
  testing_support::TempDir dir;
  WriteTga(dir.File("big0001.tga"), TgaPicture(1500, 1000, {0, 0, 255, 255}));
  // Premultiplied half red: divided by alpha it is full red at half alpha.
  WriteTga(dir.File("shot0001.tga"), TgaPicture(4, 2, {128, 0, 0, 128}));
  std::mutex mutex;
  std::condition_variable added;
  std::vector<PreviewAnswer> answers;
  const auto waitFor = [&](std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return added.wait_for(lock, std::chrono::seconds(10), [&] { return answers.size() >= n; });
  };
  {
    PreviewReader reader([&](PreviewAnswer answer) {
      const std::lock_guard<std::mutex> lock(mutex);
      answers.push_back(std::move(answer));
      added.notify_all();
    });
    reader.Request({dir.File("none0001.tga"), {}, {60, 40}, 4});
    ASSERT_TRUE(waitFor(1));  // a missing frame is answered, with nothing to show
    reader.Request({dir.File("big0001.tga"), {}, {60, 40}, 4});
    reader.Request(
        {dir.File("shot0001.tga"), {Transfer::kSrgb, Fill::kStraightFromPremultiplied}, {8, 8}, 4});
    ASSERT_TRUE(waitFor(2));
  }
  ASSERT_EQ(answers.size(), 2U);  // the big frame was given up unanswered
  EXPECT_TRUE(answers[0].pictures.colour.rgb.empty() && answers[0].pictures.matte.rgb.empty());
  const PreviewPictures& shot = answers[1].pictures;
  ASSERT_TRUE(shot.colour.width == 8 && shot.colour.height == 4);
  const std::vector<unsigned char>& c = shot.colour.rgb;
  EXPECT_TRUE((Rgba{c[0], c[1], c[2], shot.matte.rgb[0]}) == (Rgba{230, 102, 102, 128}));
}

}  // namespace
