#include "frames/frame_rate.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "platform/mfc/cfile.h"

namespace {

constexpr std::uint64_t kMostTerm = std::numeric_limits<std::int32_t>::max();

std::optional<FrameRate> Reduced(std::uint64_t num, std::uint64_t den) {
  if (num == 0 || den == 0) return std::nullopt;
  const std::uint64_t divisor = std::gcd(num, den);
  num /= divisor;
  den /= divisor;
  if (num > kMostTerm || den > kMostTerm) return std::nullopt;
  if (static_cast<double>(num) / static_cast<double>(den) > kMostFramesPerSecond) {
    return std::nullopt;
  }
  return FrameRate{static_cast<std::uint32_t>(num), static_cast<std::uint32_t>(den)};
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() <= 12 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

// The first bytes of a frame file; nothing for anything but a regular file, which is opened
// without waiting (a named pipe in place of a frame must not hold the scan or the job).
std::vector<unsigned char> Head(const std::string& path, std::size_t most) {
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate)) {
    return {};
  }
  std::vector<unsigned char> bytes(most);
  bytes.resize(file.Read(bytes.data(), static_cast<UINT>(most)));
  return bytes;
}

std::uint32_t Word(const unsigned char* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                         (std::uint32_t{p[2]} << 8) | p[3]
                   : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                         (std::uint32_t{p[1]} << 8) | p[0];
}

float FloatOf(std::uint32_t bits) {
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// DPX: the film header's frame rate at byte 1724, the television header's at 1940, both
// 32-bit floats in the file's byte order ("SDPX" big-endian, "XPDS" little-endian).
std::optional<FrameRate> DpxRate(const std::vector<unsigned char>& head) {
  const bool big = std::memcmp(head.data(), "SDPX", 4) == 0;
  if (!big && std::memcmp(head.data(), "XPDS", 4) != 0) return std::nullopt;
  for (const std::size_t at : {std::size_t{1724}, std::size_t{1940}}) {
    if (head.size() < at + 4) break;
    if (auto rate = RateFromValue(FloatOf(Word(head.data() + at, big)))) return rate;
  }
  return std::nullopt;
}

// OpenEXR: the magic number and version, then attributes (name, type name, 32-bit size,
// value) up to an empty name; framesPerSecond is a "rational" (int32 over uint32).
std::optional<FrameRate> ExrRate(const std::vector<unsigned char>& head) {
  static const unsigned char kMagic[] = {0x76, 0x2f, 0x31, 0x01};
  if (head.size() < 8 || std::memcmp(head.data(), kMagic, 4) != 0) return std::nullopt;
  std::size_t at = 8;
  const auto text = [&head, &at]() -> std::optional<std::string> {
    const auto* start = head.data() + at;
    const auto* end = static_cast<const unsigned char*>(std::memchr(start, 0, head.size() - at));
    if (!end) return std::nullopt;
    at += static_cast<std::size_t>(end - start) + 1;
    return std::string(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
  };
  while (at < head.size()) {
    const std::optional<std::string> name = text();
    if (!name || name->empty()) return std::nullopt;
    const std::optional<std::string> type = text();
    if (!type || head.size() - at < 4) return std::nullopt;
    const std::uint32_t size = Word(head.data() + at, false);
    at += 4;
    if (size > head.size() - at) return std::nullopt;
    if (*name == "framesPerSecond" && *type == "rational" && size == 8) {
      const auto num = static_cast<std::int32_t>(Word(head.data() + at, false));
      const std::uint32_t den = Word(head.data() + at + 4, false);
      if (num <= 0) return std::nullopt;
      return Reduced(static_cast<std::uint64_t>(num), den);
    }
    at += size;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FrameRate> RateFromValue(double framesPerSecond) {
  if (!(framesPerSecond > 0.0 && framesPerSecond <= kMostFramesPerSecond)) return std::nullopt;
  const double whole = std::round(framesPerSecond);
  if (std::fabs(framesPerSecond - whole) < 1e-4)
    return Reduced(static_cast<std::uint64_t>(whole), 1);
  const double ntsc = std::round(framesPerSecond * 1.001);
  if (std::fabs(framesPerSecond - ntsc * 1000.0 / 1001.0) < 1e-3) {
    return Reduced(static_cast<std::uint64_t>(ntsc) * 1000, 1001);
  }
  return Reduced(static_cast<std::uint64_t>(std::llround(framesPerSecond * 1000.0)), 1000);
}

std::optional<FrameRate> ParseRate(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash != std::string::npos) {
    const std::string num = text.substr(0, slash);
    const std::string den = text.substr(slash + 1);
    if (!AllDigits(num) || !AllDigits(den)) return std::nullopt;
    return Reduced(std::stoull(num), std::stoull(den));
  }
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "0" : text.substr(point + 1);
  if (!AllDigits(whole) || !AllDigits(fraction)) return std::nullopt;
  return RateFromValue(static_cast<double>(std::stoull(whole)) +
                       static_cast<double>(std::stoull(fraction)) /
                           std::pow(10.0, static_cast<double>(fraction.size())));
}

std::string RateText(const FrameRate& rate) {
  return rate.den == 1 ? std::to_string(rate.num)
                       : std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

std::string RateDecimal(const FrameRate& rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(rate.num) / rate.den);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown;
}

std::optional<FrameRate> HeaderFrameRate(const std::string& path) {
  const std::vector<unsigned char> head = Head(path, 1 << 16);
  if (head.size() < 8) return std::nullopt;
  if (auto rate = DpxRate(head)) return rate;
  return ExrRate(head);
}
