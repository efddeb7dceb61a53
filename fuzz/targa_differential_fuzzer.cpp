// Holds our Targa reader to ImageMagick's Targa coder on the same bytes. Where both read a file,
// both frame buffers (video and matte) must be equal, for the layouts the library reads right:
// true colour without a colour map, 8-bit grey, and 8-bit indices into a map of 24- or 32-bit
// entries, or of 15- or 16-bit ones without an attribute bit declared. Left out: 16-bit grey
// (the library takes it for 5-5-5 colour), an unused colour map (read as the picture's colours),
// 16-bit indices (given the colour of the index itself), a Targa 2.0 extension area (read its
// own way), and 15/16-bit pixels whose descriptor declares more than one alpha bit, or none
// while the map entry size, meaningless without a map, says 32 (the library then takes the top
// bit for alpha).
// Where either refuses a file, there is nothing to compare: we refuse files the library reads
// with a warning (cut short, an index outside the map), and the library refuses some we read.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "frames/frame_buffer.h"
#include "frames/magick_frame.h"
#include "frames/targa_frame.h"
#include "fuzz/fuzz_input.h"

namespace {

bool LibraryReadsItRight(const std::uint8_t* data, std::size_t size) {
  constexpr char kSignature[] = "TRUEVISION-XFILE.";  // 18 bytes with the zero
  if (size < 18) return false;
  if (size >= 18 + sizeof kSignature &&
      std::memcmp(data + size - sizeof kSignature, kSignature, sizeof kSignature) == 0) {
    return false;
  }
  const unsigned mapType = data[1];
  const unsigned entryBits = data[7];
  const unsigned bits = data[16];
  const unsigned alphaBits = data[17] & 0x0F;
  const bool fiveBits = bits == 15 || bits == 16;
  switch (data[2]) {
    case 2:
    case 10:
      return mapType == 0 &&
             (bits == 24 || bits == 32 ||
              (fiveBits && (alphaBits == 1 || (alphaBits == 0 && entryBits != 32))));
    case 3:
    case 11:
      return mapType == 0 && bits == 8;
    case 1:
    case 9:
      return mapType == 1 && bits == 8 &&
             (entryBits == 24 || entryBits == 32 ||
              ((entryBits == 15 || entryBits == 16) && alphaBits != 1));
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnsureMagickReady();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!LibraryReadsItRight(data, size)) return 0;
  const std::string& path = WriteFuzzInput(data, size);
  for (bool matte : {false, true}) {
    FrameBuffer ours;
    FrameSize ourSize;
    if (ReadTargaFrame(path, matte, ours, &ourSize) != TargaRead::kRead) return 0;

    // The coder named, so that the library does not guess another format from the content.
    FrameBuffer theirs;
    const FrameRead read = ReadLibraryFrame("tga:" + path, matte, theirs);
    if (read.status != FrameRead::Status::kOk) return 0;
    const FrameSize theirSize = read.size;
    if (ourSize.width != theirSize.width || ourSize.height != theirSize.height) {
      std::fprintf(stderr, "ours %d x %d, the library's %d x %d\n", ourSize.width, ourSize.height,
                   theirSize.width, theirSize.height);
      FuzzFailure("the frame sizes differ");
    }
    if (ours.bytes() != theirs.bytes() ||
        std::memcmp(ours.data(), theirs.data(), ours.bytes()) != 0) {
      FuzzFailure(matte ? "the matte buffers differ" : "the video buffers differ");
    }
  }
  return 0;
}
