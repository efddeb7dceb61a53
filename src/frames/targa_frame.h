#pragma once
// Targa files, in every layout the format has, read straight into a frame buffer: true colour of
// 15, 16, 24 or 32 bits, grey of 8 bits or 8 bits and 8 of alpha, colour-mapped with 8- or
// 16-bit indices into a map of 15- to 32-bit entries; raw or run-length encoded; from any corner.
//
// A file named .tga whose header is a Targa header is read here and only here. ImageMagick's
// Targa coder hands its pixels over one at a time (several times the file's own read time for a
// 1080p frame), misreads grey with alpha, and the library picks its coder by the file's content:
// a Targa file whose pixels happen to spell another format's signature goes to that format's
// coder. Every other file still goes through ImageMagick.

#include <optional>
#include <string>

#include "frames/frame_buffer.h"

/// What ReadTargaFrame made of a file.
enum class TargaRead {
  kRead,        ///< the frame buffer is filled
  kNotTarga,    ///< not named .tga, or no Targa header: the caller asks the library
  kUnreadable,  ///< a Targa file that cannot be read (missing, cut short, an index outside its
                ///< colour map, interleaved rows): refused
  kTooLarge,    ///< a Targa header declaring more than the frame limits: refused, with *size
                ///< set to what it declares
};

/// Reads the Targa file at path into frame (the matte buffer when bMatte) and sets *size, when
/// the result is kRead; otherwise frame's bytes are undefined (its size too, once the file got
/// as far as its pixels), and *size is left alone unless the result is kTooLarge.
/// ReadTargaFrame("shot0001.tga", false, frame, &size) on a 1920 × 1080 32-bit file gives kRead,
/// size 1920 × 1080 and 8294400 bytes in frame, in the block frame held already when it held a
/// frame of that length.
///
/// Alpha: 32-bit pixels and 32-bit map entries carry it in their fourth byte, grey with alpha in
/// its second, 15- and 16-bit pixels and map entries in their top bit when the descriptor
/// declares one alpha bit; every other layout is opaque. A Targa 2.0 extension area overrides
/// that: an alpha type of 0 or 1 makes the frame opaque, and so does 2 when every alpha sample is
/// 0; 3, 4 and anything else keep the alpha as stored. A file without one keeps its alpha as
/// stored (a frame that is transparent everywhere is a black matte).
///
/// The file's length is checked against what its header declares before any frame-sized block
/// is reserved. Throws std::bad_alloc when the frame buffer cannot be had.
/// After kUnreadable, *reason (when given) says why: the system's words for a file that would
/// not open ("Permission denied"), the reader's for a damaged one ("cut short").
/// After kRead, *premultiplied (when given) says whether the extension area declares the
/// colour premultiplied by alpha (alpha type 4).
TargaRead ReadTargaFrame(const std::string& path, bool bMatte, FrameBuffer& frame, FrameSize* size,
                         std::string* reason = nullptr, bool* premultiplied = nullptr);

/// The size a frame file declares, read from its header alone (no pixel is decoded): a .tga
/// file through the 18-byte Targa header, any other through ImageMagick's ping (PingFrameSize).
/// Nothing for a file that cannot be opened, has no header the readers know, or declares an empty
/// frame. ReadFrameSize("shot0001.tga") on a 1920 x 1080 frame gives 1920 x 1080.
std::optional<FrameSize> ReadFrameSize(const std::string& path);
