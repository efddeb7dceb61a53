// Rates as typed and as frame headers declare them, turned into exact fractions.

#include "frames/frame_rate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/exr_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::EncodeExr;
using testing_support::TempDir;
using testing_support::WriteFile;

// The listed rates are the command line's test, read back from the files; here the edges.
TEST(FrameRateTest, ParsesWholeDecimalAndFractionalRates) {
  const std::pair<const char*, FrameRate> taken[] = {
      {"48000/2002", {24000, 1001}},
      {"25.000", {25, 1}},
      {"1000", {1000, 1}},
      {"23.974", {11987, 500}},
  };
  for (const auto& [text, rate] : taken) {
    const std::optional<FrameRate> parsed = ParseRate(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(RateText(*parsed), RateText(rate)) << text;
  }
  for (const char* refused : {"", "0", "0/1", "24/0", "-24", "1001", "nan", "inf", "24fps", "1e3",
                              ".5", "24.", "24/", "/24", " 24", "4294967296/1", "99999999999/1"}) {
    EXPECT_FALSE(ParseRate(refused)) << refused;
  }
}

// A DPX header of 2048 bytes with the film and television frame rates at their places.
std::string Dpx(bool bigEndian, float film, float television) {
  std::string bytes(2048, '\0');
  std::memcpy(bytes.data(), bigEndian ? "SDPX" : "XPDS", 4);
  for (const auto& [at, value] : {std::pair{1724, film}, std::pair{1940, television}}) {
    unsigned char word[4];
    std::memcpy(word, &value, 4);  // this machine's order is little-endian
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(word[bigEndian ? 3 - k : k]);
  }
  return bytes;
}

TEST(FrameRateTest, ReadsTheRateAHeaderDeclaresAndRefusesNonsense) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::array<float, 4>> pixel = {{0, 0, 0, 1}};
  const struct {
    const char* name;
    std::string bytes;
    std::optional<FrameRate> rate;
  } cases[] = {
      {"dpx film", Dpx(true, 24, 25), FrameRate{24, 1}},
      {"dpx television", Dpx(false, nan, 29.97F), FrameRate{30000, 1001}},
      {"dpx unset", Dpx(true, nan, nan), std::nullopt},
      {"dpx zero, negative", Dpx(true, 0, -25), std::nullopt},
      {"dpx huge", Dpx(false, inf, 1e9F), std::nullopt},
      {"exr", EncodeExr(1, 1, pixel, std::pair{24000, 1001U}), FrameRate{24000, 1001}},
      {"exr unreduced", EncodeExr(1, 1, pixel, std::pair{50, 2U}), FrameRate{25, 1}},
      {"exr none", EncodeExr(1, 1, pixel), std::nullopt},
      {"exr negative", EncodeExr(1, 1, pixel, std::pair{-24, 1U}), std::nullopt},
      {"exr over zero", EncodeExr(1, 1, pixel, std::pair{24, 0U}), std::nullopt},
      {"exr cut short", EncodeExr(1, 1, pixel, std::pair{24, 1U}).substr(0, 200), std::nullopt},
      {"targa", std::string(2048, '\0'), std::nullopt},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.File("frame");
    WriteFile(path, c.bytes);
    const std::optional<FrameRate> rate = HeaderFrameRate(path);
    EXPECT_EQ(rate ? RateText(*rate) : "none", c.rate ? RateText(*c.rate) : "none") << c.name;
  }
}

}  // namespace
