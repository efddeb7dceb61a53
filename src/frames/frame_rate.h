#pragma once
// Frame rates as exact fractions: parsed from what a user types, and read from the headers of
// the frame formats that carry one (DPX, OpenEXR).

#include <cstdint>
#include <optional>
#include <string>

/// num / den frames per second, in lowest terms; both at most INT32_MAX.
struct FrameRate {
  std::uint32_t num = 0;
  std::uint32_t den = 1;
};

inline bool operator==(const FrameRate& a, const FrameRate& b) {
  return a.num == b.num && a.den == b.den;
}

/// The highest rate taken from a user or a header, in frames per second.
constexpr double kMostFramesPerSecond = 1000.0;

/// A rate given in frames per second: a whole number is itself ("24" gives 24/1), a value
/// within a thousandth of a frame of N * 1000/1001 is that fraction (23.976 gives 24000/1001,
/// 29.97 gives 30000/1001), anything else is kept to a thousandth (12.5 gives 25/2). Nothing
/// for a value that is not a number, 0 or less, or above kMostFramesPerSecond.
std::optional<FrameRate> RateFromValue(double framesPerSecond);

/// A rate as typed: "24", "24000/1001" or "23.976"; nothing for anything else, or a rate
/// RateFromValue would refuse.
std::optional<FrameRate> ParseRate(const std::string& text);

/// "24", "30000/1001": as ParseRate takes it back.
std::string RateText(const FrameRate& rate);

/// "29.97", "24", "12.5": the rate in frames per second to at most three decimals.
std::string RateDecimal(const FrameRate& rate);

/// The rate the header of the frame file at path declares, when it is a DPX file (the film
/// header's frame rate, else the television header's) or an OpenEXR file (its
/// framesPerSecond attribute); nothing for other files, unset values and values RateFromValue
/// refuses. Only the header's bytes are read.
std::optional<FrameRate> HeaderFrameRate(const std::string& path);
