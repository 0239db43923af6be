// DefineBitsLossless / DefineBitsLossless2 for one 8-bit colour-mapped frame.
#pragma once
#include "../gif/frame_bitmap.h"

struct SwfWriter;

// Appends the bitmap tag, zlib-compressed at `level` with the writer's
// compressor. Returns 1, or 0 when the tag could not be composed (nothing
// appended, body marked incomplete).
int WriteBitmap(SwfWriter& w, const FrameBitmap& bitmap, int level);
