#include "app/frame_preview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::Rgba;
using testing_support::TempDir;
using testing_support::TgaPicture;

TEST(FramePreviewTest, FitsTheFrameInsideItsHalfKeepingItsShape) {
  const struct {
    FrameSize frame, box, fit;
  } cases[] = {
      {{64, 48}, {100, 50}, {67, 50}},    // taller than the box: its height fills it
      {{64, 48}, {100, 100}, {100, 75}},  // wider: its width does
      {{1, 1}, {100, 50}, {50, 50}},      // a single pixel is drawn large
      {{10000, 1}, {100, 50}, {100, 1}},  // far wider than the box keeps a row
      {{1, 10000}, {100, 50}, {1, 50}},  {{3, 5}, {3, 5}, {3, 5}},
      {{0, 5}, {100, 50}, {0, 0}},       {{64, 48}, {0, 50}, {0, 0}},
  };
  for (const auto& c : cases) {
    const FrameSize fit = FitInside(c.frame, c.box);
    EXPECT_EQ(fit.width, c.fit.width) << c.frame.width << "x" << c.frame.height;
    EXPECT_EQ(fit.height, c.fit.height) << c.frame.width << "x" << c.frame.height;
  }
}

// One pixel of the frame buffer: blue, green, red, alpha.
std::vector<unsigned char> Pixel(Rgba p) { return {p.b, p.g, p.r, p.a}; }

TEST(FramePreviewTest, CompositesOverTheCheckerboardAndShowsAlphaAsGrey) {
  const Rgba red{255, 0, 0, 255};
  const Rgba halfRed{255, 0, 0, 128};
  const Rgba clearBlue{0, 0, 255, 0};
  struct Check {
    int x, y;
    Rgba colour;  // its alpha is the matte's grey
  };
  const auto join = [](std::initializer_list<Rgba> bottomUp) {
    std::vector<unsigned char> bytes;
    for (const Rgba& p : bottomUp) {
      const auto pixel = Pixel(p);
      bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    }
    return bytes;
  };
  const struct {
    const char* what;
    FrameSize size, fit;
    std::vector<unsigned char> bgra;  // rows bottom-up
    bool premultiplied;
    std::vector<Check> checks;
  } cases[] = {
      {"opaque", {1, 1}, {1, 1}, Pixel(red), false, {{0, 0, {255, 0, 0, 255}}}},
      // 255 * 128/255 + 204 * 127/255 on a light square, 153 on a dark one.
      {"half alpha, straight",
       {1, 1},
       {8, 8},
       Pixel(halfRed),
       false,
       {{0, 0, {230, 102, 102, 128}}, {4, 0, {204, 76, 76, 128}}, {4, 4, {230, 102, 102, 128}}}},
      {"half alpha, premultiplied",
       {1, 1},
       {1, 1},
       Pixel({128, 0, 0, 128}),
       true,
       {{0, 0, {230, 102, 102, 128}}}},
      {"transparent: the checkerboard alone",
       {1, 1},
       {5, 1},
       Pixel(clearBlue),
       false,
       {{0, 0, {204, 204, 204, 0}}, {4, 0, {153, 153, 153, 0}}}},
      // White beside a transparent blue: half white over the light grey, and no blue.
      {"a mean weighted by alpha",
       {2, 1},
       {1, 1},
       join({{255, 255, 255, 255}, clearBlue}),
       false,
       {{0, 0, {230, 230, 230, 128}}}},
      {"rows bottom-up", {1, 2}, {1, 2}, join({clearBlue, red}), false, {{0, 0, {255, 0, 0, 255}}}},
      // 7 x 3 to 3 x 1: columns of 2, 2 and 3 pixels, all three rows each.
      {"odd sizes shared out",
       {7, 3},
       {3, 1},
       join({red, red, clearBlue, clearBlue, red, red, red,  //
             red, red, clearBlue, clearBlue, red, red, red,  //
             red, red, clearBlue, clearBlue, red, red, red}),
       false,
       {{0, 0, {255, 0, 0, 255}}, {1, 0, {204, 204, 204, 0}}, {2, 0, {255, 0, 0, 255}}}},
  };
  for (const auto& c : cases) {
    const PreviewPictures pictures =
        MakePreview(c.bgra.data(), c.size, c.fit, {c.premultiplied, 4});
    ASSERT_EQ(pictures.colour.width, c.fit.width) << c.what;
    ASSERT_EQ(pictures.colour.height, c.fit.height) << c.what;
    ASSERT_EQ(pictures.matte.rgb.size(), pictures.colour.rgb.size()) << c.what;
    for (const Check& check : c.checks) {
      const std::size_t at = (static_cast<std::size_t>(check.y) * c.fit.width + check.x) * 3;
      const unsigned char* colour = &pictures.colour.rgb[at];
      const unsigned char* matte = &pictures.matte.rgb[at];
      EXPECT_EQ((Rgba{colour[0], colour[1], colour[2], matte[0]}), check.colour)
          << c.what << " at " << check.x << "," << check.y << ": " << int(colour[0]) << " "
          << int(colour[1]) << " " << int(colour[2]) << " " << int(matte[0]);
      EXPECT_TRUE(matte[0] == matte[1] && matte[1] == matte[2]) << c.what;
    }
  }
  // Given up between rows: nothing.
  const auto bgra = Pixel(red);
  EXPECT_TRUE(MakePreview(bgra.data(), {1, 1}, {4, 4}, {}, [] { return true; }).colour.rgb.empty());
}

struct Answers {
  std::mutex mutex;
  std::condition_variable added;
  std::vector<PreviewAnswer> list;

  void Add(PreviewAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex);
    list.push_back(std::move(answer));
    added.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return added.wait_for(lock, std::chrono::seconds(10), [&] { return list.size() >= count; });
  }
};

TEST(PreviewReaderTest, ShowsTheNewestFrameWithTheLookTheColourPassGivesIt) {
  TempDir dir;
  WriteTga(dir.File("big0001.tga"), TgaPicture(1500, 1000, {0, 0, 255, 255}));
  // Premultiplied half red: divided by alpha it is full red at half alpha.
  WriteTga(dir.File("shot0001.tga"), TgaPicture(4, 2, {128, 0, 0, 128}));
  Answers answers;
  PreviewReader reader([&answers](PreviewAnswer answer) { answers.Add(std::move(answer)); });
  reader.Request({dir.File("big0001.tga"), {}, {60, 40}, 4});
  const unsigned long long id = reader.Request(
      {dir.File("shot0001.tga"), {Transfer::kSrgb, Fill::kStraightFromPremultiplied}, {8, 8}, 4});
  ASSERT_TRUE(answers.WaitFor(1));
  reader.Request({dir.File("missing0001.tga"), {}, {60, 40}, 4});
  ASSERT_TRUE(answers.WaitFor(2));
  ASSERT_EQ(answers.list.size(), 2U);  // the big frame was given up unanswered

  const PreviewAnswer& shot = answers.list[0];
  EXPECT_EQ(shot.id, id);
  ASSERT_EQ(shot.pictures.colour.width, 8);
  ASSERT_EQ(shot.pictures.colour.height, 4);
  const std::vector<unsigned char> topLeft(shot.pictures.colour.rgb.begin(),
                                           shot.pictures.colour.rgb.begin() + 3);
  EXPECT_EQ(topLeft, (std::vector<unsigned char>{230, 102, 102}));
  EXPECT_EQ(shot.pictures.matte.rgb[0], 128);
  EXPECT_TRUE(answers.list[1].pictures.colour.rgb.empty());
  EXPECT_TRUE(answers.list[1].pictures.matte.rgb.empty());
}

}  // namespace
