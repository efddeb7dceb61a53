#include "cli/report.h"

#include <gtest/gtest.h>

#include "cli/options.h"
#include "media/compressor_catalogue.h"

namespace {

TEST(ReportTest, SaysTheFilesTheCompressorAndTheFramesRepeated) {
  ConversionReport report;
  report.status = 1;
  report.colour = {"out/shot.avi", true, 240};
  report.matte = {"out/shot.matte.avi", true, 240};
  report.firstFrame = 1001;
  report.lastFrame = 1240;
  report.compressor = FindCompressor(MakeFourCC('M', 'J', 'P', 'G'));
  report.quality = 9000;
  report.width = 1920;
  report.height = 1080;
  report.rate = 25;
  report.scale = 1;
  FrameRepeated otherSize;
  otherSize.frame = 1017;
  otherSize.path = "shot1017.tga";
  otherSize.cause = RepeatCause::kOtherSize;
  otherSize.size = {64, 48};
  otherSize.expected = {1920, 1080};
  report.repeated = {{otherSize, {0, 1}}};
  report.end = JobEnd::kFailed;
  report.reason = "AVI stream write error: out/shot.avi: No space left on device";
  report.messages = {"Error on opening shot1017.tga", "Error on opening shot1017.tga",
                     "AVI File Created"};
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(ReportJson(report).dump());
  EXPECT_EQ(json["status"], 1);
  EXPECT_EQ(json["stopped"], false);
  EXPECT_EQ(json["colour"]["path"], "out/shot.avi");
  EXPECT_EQ(json["matte"]["frames"], 240);
  EXPECT_EQ(json["frames"], 240);
  EXPECT_EQ(json["first_frame"], 1001);
  EXPECT_EQ(json["compressor"]["fourcc"], "MJPG");
  EXPECT_EQ(json["compressor"]["quality"], 90);
  EXPECT_EQ(json["width"], 1920);
  EXPECT_EQ(json["rate"]["num"], 25);
  EXPECT_EQ(json["rate"]["den"], 1);
  ASSERT_EQ(json["repeated"].size(), 1u);
  EXPECT_EQ(json["repeated"][0]["frame"], 1017);
  EXPECT_EQ(json["repeated"][0]["cause"], "other size");
  EXPECT_EQ(json["repeated"][0]["size"]["width"], 64);
  EXPECT_EQ(json["repeated"][0]["expected"]["height"], 1080);
  EXPECT_EQ(json["repeated"][0]["passes"], nlohmann::ordered_json({"colour", "matte"}));
  EXPECT_EQ(json["messages"].size(), 3u);
  EXPECT_EQ(json["end"], "failed");
  EXPECT_EQ(json["reason"], report.reason);
}

TEST(ReportTest, WhatIsNotKnownIsNull) {
  ConversionReport report;
  report.compressor = FindCompressor(kFullFramesFourCC);
  const nlohmann::ordered_json json = ReportJson(report);
  EXPECT_TRUE(json["width"].is_null());
  EXPECT_TRUE(json["rate"].is_null());
  EXPECT_TRUE(json["compressor"]["quality"].is_null());
  EXPECT_TRUE(json["check"].is_null());
  EXPECT_TRUE(json["reason"].is_null());
  EXPECT_EQ(json["compressor"]["fourcc"], "DIB");
}

TEST(ReportTest, ListsTheCompressorsAsTheTextListDoes) {
  const nlohmann::ordered_json list = CompressorListJson();
  const std::vector<CompressorInfo> available = AvailableCompressors();
  ASSERT_EQ(list.size(), available.size());
  for (std::size_t i = 0; i < available.size(); ++i) {
    EXPECT_EQ(list[i]["fourcc"], ShownFourCC(available[i].fourcc));
    EXPECT_EQ(list[i]["name"], available[i].name);
    EXPECT_EQ(list[i]["lossless"], available[i].lossless);
    EXPECT_EQ(list[i]["keeps_alpha"], available[i].keepsAlpha);
    EXPECT_EQ(list[i]["quality"].is_null(), available[i].knob == QualityKnob::kNone);
  }
}

}  // namespace
