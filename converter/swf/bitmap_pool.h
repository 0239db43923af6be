// Compression threads for the bitmaps of one movie. The converter thread
// hands each frame's bitmap over and goes on decoding; every tag written
// after a bitmap waits behind it, so the body gets the same bytes in the same
// order as when each bitmap is compressed where it is written.
#pragma once
#include <atomic>
#include <cstddef>

#include "bitmap_tag.h"

struct SwfWriter;

constexpr int kMaxBitmapThreads = 64;
// Bitmap bytes handed over and not yet in the body, per thread, counted in
// frames of the largest size so far: enough to keep every thread busy while
// the oldest one finishes, few enough to bound memory. Small frames between
// large ones fill the window by their own size, so two large frames far apart
// in the movie can still be compressed at the same time.
constexpr int kFramesInFlightPerThread = 2;
// However small the frames, no more than this many per thread are in flight.
constexpr int kMaxFramesInFlightPerThread = 64;

// From now on the writer's bitmaps go to `threads` compression threads (at
// most kMaxBitmapThreads). Below 2 none is started and every bitmap is
// compressed where it is written, as without this call. cancel (may be null)
// is the job's flag: once it is set, bitmaps not yet compressed are dropped,
// since the movie will be discarded. Returns the number of threads running.
[[nodiscard]] int StartBitmapThreads(SwfWriter& w, int threads, const std::atomic<bool>* cancel);

// Writes the frame's bitmap tag. With threads running it copies the bitmap,
// queues the copy and returns true; when the frames in flight fill the window
// it first writes the oldest, compressing it itself if no thread has taken it
// yet. Without threads, and for a bitmap it cannot copy, it is WriteBitmap.
bool QueueBitmap(SwfWriter& w, const FrameBitmap& bitmap, int level);

// Writes every pending bitmap and the bytes behind it, in order, and stops
// the threads. Nothing to do without threads.
void FinishBitmaps(SwfWriter& w);

// Stops the threads and drops whatever is pending: the movie is discarded.
void AbandonBitmaps(SwfWriter& w);
