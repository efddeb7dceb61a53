#include "cli/progress.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

const char* PassName(int pass) { return pass == 0 ? "colour" : "matte"; }

std::string ClockText(double seconds) {
  const long long total = seconds > 0 ? std::llround(seconds) : 0;
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

ProgressMeter::ProgressMeter(long long first, long long last)
    : m_first(first), m_count(last >= first ? last - first + 1 : 0) {}

bool ProgressMeter::Update(PassStatus status, double seconds) {
  const bool begins = !m_started || status.pass != m_status.pass;
  if (begins) m_passStart = seconds;
  m_started = true;
  m_status = status;
  m_now = seconds;
  return begins;
}

std::string ProgressMeter::Line() const {
  const long long place = m_status.frame - m_first + 1;
  const long long done = place - 1;
  std::string line = std::string(PassName(m_status.pass)) + " pass: frame " +
                     std::to_string(m_status.frame) + " (" + std::to_string(place) + " of " +
                     std::to_string(m_count) + ")";
  const double elapsed = m_now - m_passStart;
  if (done > 0 && elapsed > 0.0) {
    const double fps = static_cast<double>(done) / elapsed;
    const long long left = m_count - done + (m_status.pass == 0 ? m_count : 0);
    line += ", " + Fixed(fps, 1) + " fps, " + ClockText(static_cast<double>(left) / fps) + " left";
  }
  return line;
}

std::string ProgressMeter::Summary(long long frames, double seconds) const {
  const double elapsed = seconds - m_passStart;
  std::string line = std::string(PassName(m_status.pass)) + " pass: ";
  if (frames == m_count) {
    line += std::to_string(frames) + (frames == 1 ? " frame" : " frames");
  } else {
    line += std::to_string(frames) + " of " + std::to_string(m_count) + " frames";
  }
  line += " in " + Fixed(elapsed, 1) + " s";
  if (frames == m_count && elapsed > 0.0) {
    line += " (" + Fixed(static_cast<double>(frames) / elapsed, 1) + " fps)";
  }
  return line;
}
