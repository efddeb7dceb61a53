#pragma once
// The plain Targa files that most sequences are made of (true colour, 24 or 32 bits a pixel,
// raw or run-length encoded, from any corner) read straight into a frame buffer. ImageMagick's
// Targa coder hands its pixels over one at a time and needs several times longer for a 1080p
// frame than the file takes to read; every other file, and any file this reader is not sure
// of, still goes through ImageMagick, which also says what is wrong with a bad one.

#include <Magick++.h>

#include <string>

#include "frames/frame_buffer.h"

/// Reads the file at path into a new frame buffer owned by blob (the matte one when bMatte),
/// with the bytes ExportFrameBuffer gives for the same file read through ImageMagick, and sets
/// *size. Returns false, with blob and *size unchanged, when the file is not a whole plain
/// Targa file named .tga (grey, colour-mapped, 16-bit, interleaved, cut short, missing,
/// larger than ImageMagick's resource limits allow, ...): the caller then reads it through
/// ImageMagick. Throws std::bad_alloc when the buffer cannot be had.
bool ReadPlainTarga(const std::string& path, bool bMatte, Magick::Blob& blob, FrameSize* size);
