// Writes the fuzz targets' seed corpus with the tests' Targa writer: a few small files of every
// layout the reader knows, each of a few hundred bytes at most. Every file goes to
// targa_frame_fuzzer; those whose layout ImageMagick reads right go to targa_differential_fuzzer
// too (see that target). Run from the repository after changing the list:
//
//   build-fuzz/fuzz/make_fuzz_corpus fuzz/corpus

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using namespace testing_support;

// 5 × 3 with a run of three equal pixels, for the run-length encoder, and mixed alpha.
TgaPicture Picture(int width = 5, int height = 3) {
  TgaPicture pic(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pic.At(x, y) = {static_cast<std::uint8_t>(40 * x + 3 * y),
                      static_cast<std::uint8_t>(90 - 20 * y), static_cast<std::uint8_t>(17 * x * y),
                      static_cast<std::uint8_t>(x == 0 ? 0 : 60 * x)};
    }
  }
  if (width >= 4) pic.At(1, 1) = pic.At(2, 1) = pic.At(3, 1);
  return pic;
}

struct Seed {
  std::string name;
  std::string bytes;
  bool differential;  // ImageMagick reads its layout right
};

TgaOptions Options(TgaKind kind, int bits, bool rle, TgaOrigin origin = TgaOrigin::kBottomLeft) {
  return TgaOptions{kind, bits, rle, origin};
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path root = argc > 1 ? argv[1] : "fuzz/corpus";
  const TgaPicture pic = Picture();
  std::vector<Seed> seeds;
  auto add = [&](std::string name, const TgaOptions& options, bool differential,
                 const TgaPicture& picture) {
    seeds.push_back({std::move(name), EncodeTga(picture, options), differential});
  };
  const char* rleNames[] = {"raw", "rle"};

  const struct {
    TgaOrigin origin;
    const char* name;
  } origins[] = {{TgaOrigin::kBottomLeft, "bottom-left"},
                 {TgaOrigin::kBottomRight, "bottom-right"},
                 {TgaOrigin::kTopLeft, "top-left"},
                 {TgaOrigin::kTopRight, "top-right"}};
  for (bool rle : {false, true}) {
    const std::string mode = rleNames[rle];
    for (const auto& o : origins) {
      add("rgba32-" + mode + "-" + o.name, Options(TgaKind::kTrueColor, 32, rle, o.origin), true,
          pic);
    }
    add("rgb24-" + mode, Options(TgaKind::kTrueColor, 24, rle), true, pic);
    add("rgb24-" + mode + "-top-right", Options(TgaKind::kTrueColor, 24, rle, TgaOrigin::kTopRight),
        true, pic);
    add("rgb16-" + mode, Options(TgaKind::kTrueColor, 16, rle), true, pic);
    add("rgb15-" + mode + "-top-left", Options(TgaKind::kTrueColor, 15, rle, TgaOrigin::kTopLeft),
        true, pic);
    add("grey8-" + mode, Options(TgaKind::kGrey, 8, rle), true, pic);
    add("grey-alpha16-" + mode, Options(TgaKind::kGreyAlpha, 16, rle), false, pic);
    add("grey-alpha16-" + mode + "-top-right",
        Options(TgaKind::kGreyAlpha, 16, rle, TgaOrigin::kTopRight), false, pic);
    for (int entryBits : {32, 24, 16, 15}) {
      TgaOptions mapped = Options(TgaKind::kColorMapped, entryBits, rle);
      mapped.mapFirst = entryBits == 32 ? 5 : 0;
      // 16-bit entries declare their attribute bit, which the library ignores.
      add("map8-entries" + std::to_string(entryBits) + "-" + mode, mapped, entryBits != 16, pic);
    }
    TgaOptions wide = Options(TgaKind::kColorMapped, 24, rle, TgaOrigin::kTopLeft);
    wide.indexBits = 16;
    wide.mapFirst = 300;
    add("map16-entries24-" + mode, wide, false, pic);
  }

  TgaOptions noAlphaBits = Options(TgaKind::kTrueColor, 16, false);
  noAlphaBits.alphaBits = 0;
  add("rgb16-raw-no-alpha-bits", noAlphaBits, true, pic);
  TgaOptions named = Options(TgaKind::kTrueColor, 32, true);
  named.imageId = "seed";
  add("rgba32-rle-image-id", named, true, pic);
  TgaOptions unused = Options(TgaKind::kTrueColor, 32, false);
  unused.unusedMapEntries = 4;
  add("rgba32-raw-unused-map", unused, false, pic);
  TgaOptions greyUnused = Options(TgaKind::kGrey, 8, true);
  greyUnused.unusedMapEntries = 2;
  add("grey8-rle-unused-map", greyUnused, false, pic);
  const TgaPicture tiny = Picture(3, 2);
  for (int alphaType : {0, 2, 3}) {
    TgaOptions extension = Options(TgaKind::kTrueColor, alphaType == 2 ? 16 : 32, alphaType == 3);
    extension.alphaType = alphaType;
    add("extension-alpha-type" + std::to_string(alphaType), extension, false, tiny);
  }
  TgaOptions interleaved = Options(TgaKind::kTrueColor, 24, false);
  std::string interleavedBytes = EncodeTga(pic, interleaved);
  interleavedBytes[17] = static_cast<char>(interleavedBytes[17] | 0x40);
  seeds.push_back({"rgb24-raw-interleaved", interleavedBytes, false});
  // Bytes the library would take for other formats: "ILBM" in the origin fields, and a run
  // across rows.
  std::string ilbm = EncodeTga(pic);
  ilbm.replace(8, 4, "ILBM");
  seeds.push_back({"rgba32-raw-ilbm-origin", ilbm, true});
  std::string across = EncodeTga(TgaPicture(3, 2), Options(TgaKind::kTrueColor, 32, true));
  across.resize(18);
  across += std::string("\x83\x01\x02\x03\x04\x01\x05\x06\x07\x08\x09\x0A\x0B\x0C", 14);
  seeds.push_back({"rgba32-rle-run-across-rows", across, true});

  // Headers that carry a frame rate, for the rate reader the frame fuzzer also feeds: a DPX
  // file (big-endian, 24 fps in the film header) and an OpenEXR attribute list with
  // framesPerSecond 24000/1001.
  std::string dpx = "SDPX" + std::string(1724, '\0') + std::string("\x41\xC0\x00\x00", 4);
  seeds.push_back({"rate-dpx-film", dpx, false});
  const auto le32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  std::string exr = std::string("\x76\x2f\x31\x01", 4) + le32(2);
  exr += std::string("framesPerSecond\0rational\0", 25) + le32(8) + le32(24000) + le32(1001);
  exr += std::string(1, '\0');
  seeds.push_back({"rate-exr", exr, false});

  for (const char* target : {"targa_frame_fuzzer", "targa_differential_fuzzer"}) {
    const bool differential = std::string(target) == "targa_differential_fuzzer";
    const fs::path folder = root / target;
    fs::remove_all(folder);
    fs::create_directories(folder);
    int count = 0;
    for (const Seed& seed : seeds) {
      if (differential && !seed.differential) continue;
      WriteFile((folder / (seed.name + ".tga")).string(), seed.bytes);
      ++count;
    }
    std::printf("%s: %d files\n", folder.c_str(), count);
  }

  // The names and options a user types, cut at NUL bytes into arguments.
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
      {"convert", {"--first", "shot0001.tga", "--last", "shot0240.tga", "--output", "shot.avi"}},
      {"short-options",
       {"-f", "D:\\seq\\take1.tga", "-l", "D:\\seq\\take10.tga", "-o", "clip", "-c", "ffv1", "-q",
        "90", "-y", "--json"}},
      {"list", {"--list-compressors", "--json"}},
      {"backwards", {"/clips/s0010.tga", "/clips/s0001.tga", "out/ab"}},
      {"too-large", {"shot99999999999.tga", "Shot0001.tga", "x.matte.avi"}},
  };
  const fs::path names = root / "naming_fuzzer";
  fs::remove_all(names);
  fs::create_directories(names);
  for (const auto& [name, args] : commands) {
    std::string bytes;
    for (const std::string& arg : args) bytes += (bytes.empty() ? "" : std::string(1, '\0')) + arg;
    WriteFile((names / name).string(), bytes);
  }
  std::printf("%s: %zu files\n", names.c_str(), commands.size());
  return 0;
}
