#pragma once
// A small OpenEXR writer for test fixtures: one part, scanlines without compression, 32-bit
// float samples of red, green, blue and alpha, and, when asked, a framesPerSecond attribute.
// Written here so that a fixture holds exactly the linear values and rate the test names.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

/// width x height pixels of linear red, green, blue, alpha, top row first.
inline std::string EncodeExr(int width, int height, const std::vector<std::array<float, 4>>& rgba,
                             std::optional<std::pair<std::int32_t, std::uint32_t>> fps = {}) {
  std::string out("\x76\x2f\x31\x01\x02\x00\x00\x00", 8);
  const auto put32 = [](std::string& to, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) to.push_back(static_cast<char>(v >> (8 * k)));
  };
  const auto attribute = [&](const char* name, const char* type, const std::string& value) {
    out += name + std::string(1, '\0') + type + std::string(1, '\0');
    put32(out, static_cast<std::uint32_t>(value.size()));
    out += value;
  };
  std::string channels;
  for (const char* name : {"A", "B", "G", "R"}) {  // the file's order: by name
    channels += name + std::string(1, '\0');
    put32(channels, 2);  // FLOAT
    put32(channels, 0);  // pLinear and reserved
    put32(channels, 1);
    put32(channels, 1);
  }
  channels.push_back('\0');
  std::string window;
  for (const std::uint32_t v : {0U, 0U, std::uint32_t(width - 1), std::uint32_t(height - 1)}) {
    put32(window, v);
  }
  std::string one;
  put32(one, 0x3f800000);  // 1.0f
  attribute("channels", "chlist", channels);
  attribute("compression", "compression", std::string(1, '\0'));
  attribute("dataWindow", "box2i", window);
  attribute("displayWindow", "box2i", window);
  if (fps) {
    std::string rational;
    put32(rational, static_cast<std::uint32_t>(fps->first));
    put32(rational, fps->second);
    attribute("framesPerSecond", "rational", rational);
  }
  attribute("lineOrder", "lineOrder", std::string(1, '\0'));
  attribute("pixelAspectRatio", "float", one);
  attribute("screenWindowCenter", "v2f", std::string(8, '\0'));
  attribute("screenWindowWidth", "float", one);
  out.push_back('\0');
  const std::size_t lineBytes = 8 + static_cast<std::size_t>(width) * 16;
  const std::size_t firstLine = out.size() + static_cast<std::size_t>(height) * 8;
  for (int y = 0; y < height; ++y) {
    const std::uint64_t at = firstLine + static_cast<std::size_t>(y) * lineBytes;
    put32(out, static_cast<std::uint32_t>(at));
    put32(out, static_cast<std::uint32_t>(at >> 32));
  }
  for (int y = 0; y < height; ++y) {
    put32(out, static_cast<std::uint32_t>(y));
    put32(out, static_cast<std::uint32_t>(width * 16));
    for (const int channel : {3, 2, 1, 0}) {
      for (int x = 0; x < width; ++x) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &rgba[static_cast<std::size_t>(y) * width + x][channel], 4);
        put32(out, bits);
      }
    }
  }
  return out;
}

}  // namespace testing_support
