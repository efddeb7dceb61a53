#include "cli/options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_status.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

ParsedCommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tga2avi");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

const std::vector<std::string> kConvert = {"--first",   "a0001.tga", "--last",
                                           "a0009.tga", "--output",  "a.avi"};

std::vector<std::string> Convert(std::vector<std::string> more) {
  std::vector<std::string> args = kConvert;
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(OptionsTest, TakesAConversion) {
  const ParsedCommandLine parsed =
      Parse({"-f", "in/shot0001.tga", "-l", "in/shot0240.tga", "-o", "out.avi"});
  EXPECT_EQ(parsed.exitStatus, -1);
  EXPECT_EQ(parsed.options.first, "in/shot0001.tga");
  EXPECT_EQ(parsed.options.last, "in/shot0240.tga");
  EXPECT_EQ(parsed.options.output, "out.avi");
  ASSERT_NE(parsed.options.compressor, nullptr);
  EXPECT_EQ(parsed.options.compressor->fourcc, kFullFramesFourCC);
  EXPECT_EQ(parsed.options.quality, kDefaultQuality);
  EXPECT_FALSE(parsed.options.overwrite);
  EXPECT_FALSE(parsed.options.json);
}

TEST(OptionsTest, NamesACompressorByFourCCOrNameInAnyCase) {
  const struct {
    const char* text;
    FourCC fourcc;
  } cases[] = {
      {"ffv1", MakeFourCC('F', 'F', 'V', '1')},          {"FFV1", MakeFourCC('F', 'F', 'V', '1')},
      {"Ut Video", MakeFourCC('U', 'L', 'R', 'A')},      {"ULRA", MakeFourCC('U', 'L', 'R', 'A')},
      {"ut video", MakeFourCC('U', 'L', 'R', 'A')},      {"dib", kFullFramesFourCC},
      {"Full Frames (Uncompressed)", kFullFramesFourCC}, {"mjpg", MakeFourCC('M', 'J', 'P', 'G')},
      {"motion jpeg", MakeFourCC('M', 'J', 'P', 'G')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedCommandLine parsed = Parse(Convert({"--compressor", c.text}));
    EXPECT_EQ(parsed.exitStatus, -1) << parsed.err;
    ASSERT_NE(parsed.options.compressor, nullptr);
    EXPECT_EQ(parsed.options.compressor->fourcc, c.fourcc);
    // The catalogue's own entry, which outlives the parse.
    EXPECT_EQ(parsed.options.compressor, FindCompressor(c.fourcc));
  }
}

TEST(OptionsTest, QualityIsTheSlidersValueTimesOneHundred) {
  const ParsedCommandLine parsed = Parse(Convert({"-c", "mjpg", "-q", "80", "-y", "--json"}));
  ASSERT_EQ(parsed.exitStatus, -1) << parsed.err;
  EXPECT_EQ(parsed.options.quality, 8000u);
  EXPECT_TRUE(parsed.options.overwrite);
  EXPECT_TRUE(parsed.options.json);
  EXPECT_EQ(Parse(Convert({"-c", "mjpg", "-q", "0"})).options.quality, 0u);
  EXPECT_EQ(Parse(Convert({"-c", "mjpg", "-q", "100"})).options.quality, 10000u);
}

TEST(OptionsTest, UsageErrorsSayWhyAndGiveStatusTwo) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--last", "a0009.tga", "--output", "a.avi"}, "a conversion needs --first"},
      {{"--list-compressors", "--label"}, "--list-compressors takes no --label"},
      {Convert({"--compressor", "nonesuch"}), "no compressor is called \"nonesuch\""},
      {Convert({"--compressor", "ffv1", "--quality", "50"}),
       "FFV1 has no quality setting; --quality is for Motion JPEG"},
      {Convert({"--quality", "50"}), "Full Frames (Uncompressed) has no quality setting"},
      {Convert({"-c", "mjpg", "--quality", "101"}), "101"},
      {Convert({"-c", "mjpg", "--quality", "high"}), "high"},
      {Convert({"--speed", "9"}), "--speed"},
      {Convert({"extra.tga"}), "extra.tga"},
      {{"--list-compressors", "--first", "a0001.tga"}, "--list-compressors takes no --first"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const ParsedCommandLine parsed = Parse(c.args);
    EXPECT_EQ(parsed.exitStatus, kExitUsage);
    EXPECT_THAT(parsed.err, StartsWith("tga2avi: "));
    EXPECT_THAT(parsed.err, HasSubstr(c.says));
    EXPECT_THAT(parsed.err, HasSubstr("Run with --help"));
    EXPECT_EQ(parsed.out, "");
  }
}

TEST(OptionsTest, HelpAndVersionGoToStandardOutput) {
  const ParsedCommandLine help = Parse({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_THAT(help.out, HasSubstr("--first FILE"));
  EXPECT_THAT(help.out, HasSubstr("Exit status:"));
  EXPECT_THAT(help.out, HasSubstr("130  stopped by one of the signals above"));
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(Parse({"-h"}).out, help.out);

  const ParsedCommandLine version = Parse({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_THAT(version.out, StartsWith("tga2avi "));
}

TEST(OptionsTest, ListingTakesOnlyJson) {
  const ParsedCommandLine parsed = Parse({"--list-compressors", "--json"});
  EXPECT_EQ(parsed.exitStatus, -1);
  EXPECT_TRUE(parsed.options.listCompressors);
  EXPECT_TRUE(parsed.options.json);
}

TEST(OptionsTest, ListsEveryAvailableCompressorInTheDialogsOrder) {
  std::istringstream lines(CompressorListText());
  std::string line;
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    ASSERT_TRUE(std::getline(lines, line));
    SCOPED_TRACE(line);
    std::string fourcc = ShownFourCC(compressor.fourcc);
    EXPECT_THAT(line, StartsWith(fourcc + " "));
    EXPECT_THAT(line, HasSubstr(std::string("  ") + compressor.name + "  "));
    EXPECT_THAT(line, HasSubstr(compressor.lossless ? "lossless" : "lossy"));
    EXPECT_THAT(line, HasSubstr(compressor.keepsAlpha ? "keeps alpha" : "no alpha"));
    EXPECT_EQ(line.find("quality") != std::string::npos, compressor.knob != QualityKnob::kNone);
    EXPECT_THAT(line, EndsWith("  " + CompressorReaders(compressor, 0, 0)));
  }
  EXPECT_FALSE(std::getline(lines, line)) << line;
}

TEST(OptionsTest, ShownFourCCDropsTrailingSpaces) {
  EXPECT_EQ(ShownFourCC(kFullFramesFourCC), "DIB");
  EXPECT_EQ(ShownFourCC(MakeFourCC('c', 'v', 'i', 'd')), "cvid");
}

}  // namespace
