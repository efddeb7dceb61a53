#include "app/sequence_line.h"

#include <cstdio>
#include <utility>

#include "frames/frame_rate.h"
#include "frames/magick_frame.h"
#include "job/conversion.h"

namespace {

constexpr const char* kDot = " \u00B7 ";
constexpr const char* kTimes = " \u00D7 ";

std::string Number(int n, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*d", width, n);
  return text;
}

std::string Size(const FrameSize& size) {
  return std::to_string(size.width) + kTimes + std::to_string(size.height);
}

// "3 missing: 0004, 0006, 0007": the listed numbers, and an ellipsis for those left out.
template <typename T, typename Show>
std::string Listed(long long count, const char* what, const std::vector<T>& listed, Show show) {
  std::string text = std::to_string(count) + " " + what + ": ";
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (i > 0) text += ", ";
    text += show(listed[i]);
  }
  if (count > static_cast<long long>(listed.size())) text += ", \u2026";
  return text;
}

}  // namespace

std::string DescribeRun(const RunScan& scan, const LineSettings& settings) {
  const std::string aviWarning =
      settings.aviFile.empty() || EndsInAvi(settings.aviFile)
          ? ""
          : kDot + std::string(
                       "the AVI name does not end in .avi; the file is an AVI file all the same");
  if (!scan.problem.empty()) return scan.problem + aviWarning;
  const auto number = [&scan](int n) { return Number(n, scan.digitWidth); };
  std::string line =
      std::to_string(scan.frameCount) + (scan.frameCount == 1 ? " frame" : " frames");
  if (scan.missingCount > 0)
    line += ", " + Listed(scan.missingCount, "missing", scan.missing, number);

  // The first frame decides the size and the rate, as it does for Convert, in its words when it
  // cannot.
  const std::string firstFile = FrameFileName(scan.first, scan.digitWidth, scan.first.number).str();
  if (!scan.firstSize) {
    if (scan.missingCount == 0 || scan.missing.front() != scan.first.number) {
      line += kDot + ("Error reading " + firstFile);
    }
  } else if (const std::optional<FrameGeometry> geometry =
                 WithinLibraryLimits(scan.firstSize->width, scan.firstSize->height)
                     ? MakeFrameGeometry(scan.firstSize->width, scan.firstSize->height)
                     : std::nullopt) {
    const JobRate rate = ChooseRate(settings.rate, settings.headerRate, *geometry);
    line += kDot + Size(*scan.firstSize) + kDot + RateDecimal(rate.rate) + " fps";
    if (rate.source == RateSource::kHeader) line += " from the frames' header";
    if (rate.source == RateSource::kChosen) line += " as set";
  } else {
    char text[64];
    std::snprintf(text, sizeof text, " (%d x %d)", scan.firstSize->width, scan.firstSize->height);
    line += kDot + ("Frame too large to convert: " + firstFile + text);
  }
  if (scan.otherSizeCount > 0) {
    line += kDot + Listed(scan.otherSizeCount, "of another size", scan.otherSizes,
                          [&number](const SizedFrame& frame) {
                            return number(frame.number) + " (" + Size(frame.size) + ")";
                          });
  }
  if (scan.unreadableCount > 0) {
    line += kDot + Listed(scan.unreadableCount, "unreadable", scan.unreadable, number);
  }
  return line + aviWarning;
}

RunScanner::RunScanner(std::function<void(ScanAnswer)> deliver)
    : m_deliver(std::move(deliver)),
      m_thread([this](unsigned long long id, ScanRequest& request,
                      const std::function<bool()>& givenUp) { Scan(id, request, givenUp); }) {}

unsigned long long RunScanner::Request(ScanRequest request) {
  return m_thread.Ask(std::move(request));
}

void RunScanner::Scan(unsigned long long id, ScanRequest& asked,
                      const std::function<bool()>& givenUp) {
  ScanAnswer answer;
  answer.id = id;
  answer.request = std::move(asked);
  const ScanRequest& request = answer.request;
  std::string last = request.lastFile;
  if (request.suggest && !request.firstFile.empty()) {
    if (last.empty()) {
      answer.suggestedLast = LastFileOfRun(request.firstFile);
      if (!request.offerOnly) last = answer.suggestedLast;
    }
    answer.suggestedAvi = SuggestedAviFile(request.firstFile);
  }
  if (!request.firstFile.empty() && !last.empty()) {
    const RunScan scan = ScanRun(request.firstFile, last, givenUp);
    if (scan.cancelled) return;
    LineSettings settings{request.aviFile, request.rate, std::nullopt};
    if (!request.rate && scan.firstSize) {
      settings.headerRate =
          HeaderFrameRate(FrameFileName(scan.first, scan.digitWidth, scan.first.number).str());
    }
    answer.line = DescribeRun(scan, settings);
  }
  if (givenUp()) return;
  m_deliver(std::move(answer));
}
