#include "cli/progress.h"

#include <cstdio>

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

const char* PassName(int pass) { return pass == 0 ? "colour" : "matte"; }

ProgressMeter::ProgressMeter(long long first, long long last)
    : m_first(first), m_meter(last >= first ? last - first + 1 : 0) {}

bool ProgressMeter::Update(PassStatus status, double seconds) {
  m_frame = status.frame;
  return m_meter.Update(status.pass, status.frame - m_first + 1, seconds);
}

std::string ProgressMeter::Line() const {
  std::string line = std::string(PassName(Pass())) + " pass: frame " + std::to_string(m_frame) +
                     " (" + std::to_string(m_meter.Place()) + " of " + std::to_string(Count()) +
                     ")";
  if (const std::optional<double> fps = m_meter.Rate()) {
    line += ", " + Fixed(*fps, 1) + " fps, " + ClockText(*m_meter.SecondsLeft()) + " left";
  }
  return line;
}

std::string ProgressMeter::Summary(long long frames, double seconds) const {
  const double elapsed = m_meter.PassSeconds(seconds);
  const long long count = Count();
  std::string line = std::string(PassName(Pass())) + " pass: ";
  if (frames == count) {
    line += std::to_string(frames) + (frames == 1 ? " frame" : " frames");
  } else {
    line += std::to_string(frames) + " of " + std::to_string(count) + " frames";
  }
  line += " in " + Fixed(elapsed, 1) + " s";
  if (frames == count && elapsed > 0.0) {
    line += " (" + Fixed(static_cast<double>(frames) / elapsed, 1) + " fps)";
  }
  return line;
}
