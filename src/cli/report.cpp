#include "cli/report.h"

#include "cli/options.h"
#include "cli/progress.h"
#include "job/check_files.h"

namespace {

nlohmann::ordered_json FileJson(const OutputFile& file) {
  return {{"path", file.path}, {"written", file.written}, {"frames", file.frames}};
}

nlohmann::ordered_json OrNull(int value) {
  return value > 0 ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

nlohmann::ordered_json OrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

nlohmann::ordered_json SizeJson(FrameSize size) {
  return {{"width", size.width}, {"height", size.height}};
}

const char* CauseName(RepeatCause cause) {
  switch (cause) {
    case RepeatCause::kMissing:
      return "missing";
    case RepeatCause::kUnreadable:
      return "unreadable";
    case RepeatCause::kOtherSize:
      return "other size";
  }
  return "unreadable";
}

const char* EndName(JobEnd end) {
  switch (end) {
    case JobEnd::kCreated:
      return "created";
    case JobEnd::kStopped:
      return "stopped";
    case JobEnd::kRefused:
      return "refused";
    case JobEnd::kFailed:
      return "failed";
  }
  return "failed";
}

}  // namespace

nlohmann::ordered_json ReportJson(const ConversionReport& report) {
  nlohmann::ordered_json json;
  json["status"] = report.status;
  json["stopped"] = report.stopped;
  json["colour"] = FileJson(report.colour);
  json["matte"] = FileJson(report.matte);
  json["first_frame"] = report.firstFrame;
  json["last_frame"] = report.lastFrame;
  json["frames"] =
      report.lastFrame >= report.firstFrame ? report.lastFrame - report.firstFrame + 1 : 0;
  nlohmann::ordered_json compressor;
  if (report.compressor) {
    compressor["fourcc"] = ShownFourCC(report.compressor->fourcc);
    compressor["name"] = report.compressor->name;
    compressor["quality"] = report.quality == kDefaultQuality
                                ? nlohmann::ordered_json()
                                : nlohmann::ordered_json(report.quality / 100);
  }
  json["compressor"] = compressor;
  json["width"] = OrNull(report.width);
  json["height"] = OrNull(report.height);
  json["rate"] = report.rate > 0 && report.scale > 0
                     ? nlohmann::ordered_json{{"num", report.rate}, {"den", report.scale}}
                     : nlohmann::ordered_json();
  nlohmann::ordered_json repeated = nlohmann::ordered_json::array();
  for (const RepeatedFrame& frame : report.repeated) {
    nlohmann::ordered_json passes = nlohmann::ordered_json::array();
    for (const int pass : frame.passes) passes.push_back(PassName(pass));
    const FrameRepeated& first = frame.first;
    nlohmann::ordered_json entry = {{"frame", first.frame},
                                    {"path", first.path},
                                    {"cause", CauseName(first.cause)},
                                    {"detail", first.detail}};
    if (first.cause == RepeatCause::kOtherSize) {
      entry["size"] = SizeJson(first.size);
      entry["expected"] = SizeJson(first.expected);
    }
    entry["passes"] = passes;
    repeated.push_back(entry);
  }
  json["repeated"] = repeated;
  json["messages"] = report.messages;
  json["check"] = report.check ? OrNull(CheckLine(*report.check)) : nlohmann::ordered_json();
  json["end"] = EndName(report.end);
  json["reason"] = OrNull(report.reason);
  return json;
}

nlohmann::ordered_json ErrorJson(int status, const std::string& error) {
  return {{"status", status}, {"error", error}};
}

nlohmann::ordered_json CompressorListJson() {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const CompressorInfo& compressor : AvailableCompressors()) {
    list.push_back(
        {{"fourcc", ShownFourCC(compressor.fourcc)},
         {"name", compressor.name},
         {"lossless", compressor.lossless},
         {"keeps_alpha", compressor.keepsAlpha},
         {"grey_matte", CompressorWritesGreyMatte(compressor)},
         {"quality", compressor.knob == QualityKnob::kNone
                         ? nlohmann::ordered_json()
                         : nlohmann::ordered_json{{"default", compressor.defaultQuality / 100}}},
         {"summary", CompressorSummary(compressor, 0, 0)},
         {"typical_bytes_per_pixel", compressor.bytesPerPixel}});
  }
  return list;
}
