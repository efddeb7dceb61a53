#include "dialog/job_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

bool JobMeter::Update(int pass, long long place, double seconds) {
  const bool begins = !m_started || pass != m_pass;
  if (begins) {
    m_passStart = seconds;
    m_passFirst = place;
    m_timedFrom = 0;
  } else if (m_timedFrom == 0 && place > m_passFirst) {
    m_timedFrom = place;
    m_timedSince = seconds;
  }
  m_started = true;
  m_pass = pass;
  m_place = place;
  m_now = seconds;
  return begins;
}

std::optional<double> JobMeter::Rate() const {
  const long long done = m_place - m_timedFrom;
  const double elapsed = m_now - m_timedSince;
  if (!m_started || m_timedFrom == 0 || done <= 0 || elapsed <= 0.0) return std::nullopt;
  return static_cast<double>(done) / elapsed;
}

std::optional<double> JobMeter::SecondsLeft() const {
  const std::optional<double> rate = Rate();
  if (!rate) return std::nullopt;
  const long long left = m_count - (m_place - 1) + (m_pass == 0 ? m_count : 0);
  return static_cast<double>(left) / *rate;
}

double JobMeter::Fraction(int pass, long long done) const {
  if (m_count == 0) return 0.0;
  const double frames = static_cast<double>(pass == 0 ? 0 : m_count) +
                        static_cast<double>(std::clamp(done, 0LL, m_count));
  return frames / (2.0 * static_cast<double>(m_count));
}
