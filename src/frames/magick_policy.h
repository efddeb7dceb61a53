#pragma once
// What ImageMagick may do with a frame file. It decides by a file's content which coder reads
// it, and some of its coders run programs (an IFF picture goes to `ilbmtoppm` through the
// shell), read other files or addresses named inside the file (MVG, SVG, MSL, TEXT, URL), or
// reserve gigabytes for a picture that a 23-byte header merely claims. Frames are untrusted
// files, so the library is held to the raster formats a frame can sensibly be.

/// Confines the initialised library for the rest of the process: only the raster coders below
/// may read, no delegate program runs, no coder reads a list of other files, and a picture
/// must stay within 16384 pixels a side, 64 Mi pixels in all and the library's memory limit
/// (its disk cache is closed). Returns false when the library did not take the confinement,
/// in which case no frame may be given to it.
bool ConfineMagick();

/// The coders ConfineMagick lets read, as a pattern of the library's policy language.
extern const char* const kFrameCoders;
