#include "frames/frame_look.h"

#include <array>
#include <cmath>

namespace {

struct Named {
  const char* name;
  Fill fill;
};
constexpr Named kFills[] = {{"as-stored", Fill::kAsStored},
                            {"straight", Fill::kStraight},
                            {"premultiplied", Fill::kPremultiplied},
                            {"straight-from-premultiplied", Fill::kStraightFromPremultiplied}};

}  // namespace

const char* FillName(Fill fill) {
  for (const Named& named : kFills) {
    if (named.fill == fill) return named.name;
  }
  return "as-stored";
}

std::optional<Fill> FillNamed(const std::string& name) {
  for (const Named& named : kFills) {
    if (name == named.name) return named.fill;
  }
  return std::nullopt;
}

const char* TransferName(Transfer transfer) {
  return transfer == Transfer::kAsStored ? "as-stored" : "srgb";
}

std::optional<Transfer> TransferNamed(const std::string& name) {
  if (name == "srgb") return Transfer::kSrgb;
  if (name == "as-stored") return Transfer::kAsStored;
  return std::nullopt;
}

void ApplyFill(unsigned char* bgra, std::size_t pixels, Fill fill, bool sourcePremultiplied) {
  const bool divide =
      fill == Fill::kStraightFromPremultiplied || (fill == Fill::kStraight && sourcePremultiplied);
  const bool multiply = fill == Fill::kPremultiplied && !sourcePremultiplied;
  if (!divide && !multiply) return;
  for (std::size_t i = 0; i < pixels; ++i, bgra += 4) {
    const unsigned alpha = bgra[3];
    if (alpha == 255 || (divide && alpha == 0)) continue;
    for (int c = 0; c < 3; ++c) {
      const unsigned value = bgra[c];
      const unsigned result =
          divide ? (value * 255 + alpha / 2) / alpha : (value * alpha + 127) / 255;
      bgra[c] = static_cast<unsigned char>(result > 255 ? 255 : result);
    }
  }
}

unsigned char SrgbFromLinear16(unsigned value) {
  // One table for every frame: 64 KiB, made on first use (thread-safe as a function static).
  static const std::array<unsigned char, 65536> table = [] {
    std::array<unsigned char, 65536> made{};
    for (unsigned v = 0; v < made.size(); ++v) {
      const double linear = v / 65535.0;
      const double encoded =
          linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
      made[v] = static_cast<unsigned char>(std::lround(std::fmin(encoded, 1.0) * 255.0));
    }
    return made;
  }();
  return table[value > 65535 ? 65535 : value];
}
