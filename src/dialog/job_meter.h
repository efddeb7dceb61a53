#pragma once
// How far a job's two passes are and how fast they go, from the frames its events say are being
// written. The command line's progress line and the window's progress both read it, so that
// the rate and the time left are worked out in one place.

#include <optional>
#include <string>

/// Seconds as "0:07", "12:30" or "1:02:03".
std::string ClockText(double seconds);

/// Follows the two passes of a run of count frames: the pass under way, the frames it has done,
/// its rate and the time left for both passes. A pass's first frame also pays for setting its
/// compressor up (FFV1 clears a worst-case packet buffer, over a gigabyte for a UHD frame with
/// alpha: seconds), so the rate is timed from the first frame told after it.
///
///   JobMeter meter(120);
///   meter.Update(0, 1, 10.0);   // the colour pass's first frame begins 10 s on the clock
///   meter.Update(0, 2, 13.0);   // the first frame took 3 s, setup and all: no rate yet
///   meter.Update(0, 58, 15.0);  // 56 frames more in 2 s
///   meter.Rate();               // 28 frames a second
///   meter.SecondsLeft();        // (63 colour + 120 matte frames) / 28
class JobMeter {
 public:
  explicit JobMeter(long long count = 0) : m_count(count > 0 ? count : 0) {}

  /// The place-th frame (1 for the first) of pass 0 (colour) or 1 (matte) begins, `seconds`
  /// after any fixed origin. Another pass than the last one starts that pass's clock. True when
  /// it began a pass.
  bool Update(int pass, long long place, double seconds);

  bool Started() const { return m_started; }
  int Pass() const { return m_pass; }
  long long Place() const { return m_place; }
  long long Count() const { return m_count; }
  /// Seconds of the current pass from its first frame until `seconds`.
  double PassSeconds(double seconds) const { return seconds - m_passStart; }

  /// Frames a second of the current pass since the first frame told after its first; nothing
  /// until a frame more is done and time has passed.
  std::optional<double> Rate() const;
  /// Seconds left for both passes at that rate (the matte pass is taken to go as fast as the
  /// colour pass); nothing when there is no rate yet.
  std::optional<double> SecondsLeft() const;
  /// The part of both passes' frames done, 0 to 1, once pass has done `done` frames.
  double Fraction(int pass, long long done) const;
  /// The same for the frames before the one being written.
  double Fraction() const { return Fraction(m_pass, m_place - 1); }

 private:
  long long m_count;
  bool m_started = false;
  int m_pass = 0;
  long long m_place = 0;
  double m_passStart = 0.0;
  double m_now = 0.0;
  long long m_passFirst = 0;  // the place the pass was first told at
  long long m_timedFrom = 0;  // the place the rate is timed from; 0 until one after m_passFirst
  double m_timedSince = 0.0;
};
