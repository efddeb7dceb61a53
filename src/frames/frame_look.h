#pragma once
// How a frame's samples are turned into the colour bytes of the frame buffer beyond their
// format: the transfer of linear-light frames, and the alpha convention of the colour.

#include <cstddef>
#include <optional>
#include <string>

/// What becomes of frames the image library marks as linear light (OpenEXR; a colour space of
/// linear RGB).
enum class Transfer {
  kSrgb,      ///< encoded with the sRGB curve before they become 8-bit, as a display shows them
  kAsStored,  ///< the stored values, 8-bit (data passes: normals, depth)
};

/// The alpha convention of the colour file.
enum class Fill {
  kAsStored,       ///< colour as the file holds it
  kStraight,       ///< colour not multiplied by alpha; a premultiplied Targa frame is divided
  kPremultiplied,  ///< colour multiplied by alpha; a premultiplied Targa frame is kept
  kStraightFromPremultiplied,  ///< every frame is taken as premultiplied and divided
};

struct FrameLook {
  Transfer transfer = Transfer::kSrgb;
  Fill fill = Fill::kAsStored;
};

/// The words the command line, the settings file and the JSON report use: "as-stored",
/// "straight", "premultiplied", "straight-from-premultiplied"; "srgb", "as-stored".
const char* FillName(Fill fill);
std::optional<Fill> FillNamed(const std::string& name);
const char* TransferName(Transfer transfer);
std::optional<Transfer> TransferNamed(const std::string& name);

/// Brings the colour of pixels blue-green-red-alpha pixels to fill. sourcePremultiplied says
/// the file declared its colour premultiplied. Division (colour * 255 / alpha) and
/// multiplication (colour * alpha / 255) are rounded and clamped to 255; a pixel of alpha 0 is
/// left as it is when dividing; alpha itself never changes.
void ApplyFill(unsigned char* bgra, std::size_t pixels, Fill fill, bool sourcePremultiplied);

/// The 8-bit sRGB encoding of a linear sample of 0..65535, rounded: 11796 (0.18) gives 118.
unsigned char SrgbFromLinear16(unsigned value);
