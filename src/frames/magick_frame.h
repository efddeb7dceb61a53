#pragma once
// Frame files that are not ours to read (every format but a Targa file with a Targa header) read
// through ImageMagick into a frame buffer. The library's own types stay in magick_frame.cpp, so
// that no code above the frames library compiles against them.

#include <cstddef>
#include <optional>
#include <string>

#include "frames/frame_buffer.h"
#include "frames/frame_look.h"
#include "frames/frame_ring.h"  // FrameRead

/// Reads source with ImageMagick alone into frame (the matte buffer when bMatte), orienting the
/// picture as the file declares it: a picture stored on its side is turned upright, and a
/// bottom-left Targa file comes out the same as a top-left one of the same picture. A header
/// that claims a frame too large for FrameByteCount is refused (kTooLarge, with the size it
/// claims) before any pixel is decoded. A library warning that leaves an image is not a failure.
/// A failure's reason is the library's own words without its location: "insufficient image data
/// in file". source may name the coder, as the library's own syntax has it ("tga:shot0001.tga");
/// nothing here checks that it is a regular file (ReadFrameInto does).
/// A frame the library marks as linear light (OpenEXR, a linear RGB colour space) has its colour
/// encoded with the sRGB curve when transfer is Transfer::kSrgb; alpha is never transferred.
FrameRead ReadLibraryFrame(const std::string& source, bool bMatte, FrameBuffer& frame,
                           Transfer transfer = Transfer::kSrgb);

/// The size ImageMagick's ping finds in the header of the file at path; nothing when it finds
/// none, or an empty frame, or one beyond an int a side.
std::optional<FrameSize> PingFrameSize(const std::string& path);

/// Whether ImageMagick would agree to decode a frame of width × height under the limits the
/// frames are held to: the limits are the same whichever reader a file meets.
bool WithinLibraryLimits(std::size_t width, std::size_t height);
