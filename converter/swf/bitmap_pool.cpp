#include "bitmap_pool.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "bitmap_tag.h"
#include "geometry.h"
#include "swf_writer.h"

namespace {

enum class JobState { kQueued, kRunning, kDone };

// One handed-over bitmap and the tags written after it, up to the next one.
struct BitmapJob {
  BitmapPieces bitmap;  // a copy of the frame's bitmap, then its tag body
  int level = 9;
  size_t bytes = 0;  // of the bitmap handed over, for the window
  JobState state = JobState::kQueued;  // under the pool's mutex
  bool ok = false;
  std::vector<uint8_t> trailing;  // only the converter thread touches it
};

}  // namespace

struct BitmapPool {
  std::mutex mutex;
  std::condition_variable work;  // a job was queued, or the pool stops
  std::condition_variable done;  // a job was compressed
  std::deque<BitmapJob*> queue;  // not yet taken, oldest first
  bool stopping = false;
  std::atomic<bool> abandon{false};
  const std::atomic<bool>* cancel = nullptr;
  std::vector<std::thread> threads;

  // Converter thread only: every handed-over job, in movie order.
  std::deque<std::unique_ptr<BitmapJob>> slots;
  size_t maxFrames = 0;
  size_t windowFrames = 0;  // the window in frames of the largest size so far
  size_t largestFrame = 0;
  size_t bytesInFlight = 0;

  void Work();
  void Compress(BitmapJob& job, BitmapCompressor& compressor);
  void Complete(BitmapJob& job);  // with the mutex held
  // Drops the jobs no thread has taken, asks running ones to give up, and
  // joins the threads.
  void Stop();
};

void BitmapPool::Compress(BitmapJob& job, BitmapCompressor& compressor) {
  if ((cancel && cancel->load(std::memory_order_relaxed)) || abandon.load(std::memory_order_relaxed)) {
    job.ok = false;
    return;
  }
  try {
    job.ok = ComposeBitmapPieces(compressor, job.level, &abandon, job.bitmap);
  } catch (const std::bad_alloc&) {
    job.ok = false;  // as when zlib finds no memory
  }
}

void BitmapPool::Complete(BitmapJob& job) {
  job.bitmap.rows.clear();  // what a failed or dropped job had left
  job.state = JobState::kDone;
  done.notify_all();
}

void BitmapPool::Work() {
  // Each thread its own zlib stream; it lives as long as the thread.
  BitmapCompressor compressor;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    work.wait(lock, [this] { return stopping || !queue.empty(); });
    if (queue.empty()) return;
    BitmapJob* job = queue.front();
    queue.pop_front();
    job->state = JobState::kRunning;
    lock.unlock();
    Compress(*job, compressor);
    lock.lock();
    Complete(*job);
  }
}

void BitmapPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
    abandon.store(true);
    queue.clear();
  }
  work.notify_all();
  for (std::thread& t : threads)
    if (t.joinable()) t.join();
  threads.clear();
}

void BitmapPoolDelete::operator()(BitmapPool* p) const {
  if (!p) return;
  p->Stop();
  delete p;
}

namespace {

// Colour table and padded rows: what a queued copy of the bitmap holds.
size_t BitmapBytes(const FrameBitmap& b) {
  if (b.width <= 0 || b.height <= 0 || b.numColours <= 0) return 0;
  size_t stride = static_cast<size_t>(b.width) + RowPadding(b.width);
  return stride * static_cast<size_t>(b.height) + static_cast<size_t>(b.numColours) * b.colourEntrySize;
}

void WriteJob(SwfWriter& w, const BitmapJob& job) {
  if (job.ok) {
    AppendBitmapPieces(w, job.bitmap);
  } else {
    // No tag for this bitmap, as when it cannot be compressed in place.
    MarkBodyFailed(w);
  }
  if (!job.trailing.empty()) AppendBody(w, job.trailing.data(), job.trailing.size());
}

// Tags written from now on wait behind the newest job, if any.
void HoldBehindNewest(SwfWriter& w, BitmapPool& p) {
  w.heldBytes = p.slots.empty() ? nullptr : &p.slots.back()->trailing;
}

// Writes the oldest job once it is compressed. One that no thread has taken
// yet is compressed here rather than waited for.
void RetireOldest(SwfWriter& w, BitmapPool& p) {
  BitmapJob& job = *p.slots.front();
  std::unique_lock<std::mutex> lock(p.mutex);
  if (job.state == JobState::kQueued) {
    p.queue.erase(std::find(p.queue.begin(), p.queue.end(), &job));
    job.state = JobState::kRunning;
    lock.unlock();
    p.Compress(job, w.compressor);
    lock.lock();
    p.Complete(job);
  }
  p.done.wait(lock, [&job] { return job.state == JobState::kDone; });
  lock.unlock();
  WriteJob(w, job);
  p.bytesInFlight -= job.bytes;
  p.slots.pop_front();
  HoldBehindNewest(w, p);
}

// Writes the oldest jobs that are already compressed, without waiting.
void RetireDone(SwfWriter& w, BitmapPool& p) {
  while (!p.slots.empty()) {
    {
      std::lock_guard<std::mutex> lock(p.mutex);
      if (p.slots.front()->state != JobState::kDone) return;
    }
    WriteJob(w, *p.slots.front());
    p.bytesInFlight -= p.slots.front()->bytes;
    p.slots.pop_front();
    HoldBehindNewest(w, p);
  }
}

}  // namespace

int StartBitmapThreads(SwfWriter& w, int threads, const std::atomic<bool>* cancel) {
  w.heldBytes = nullptr;
  w.pool.reset();
  if (threads < 2) return 0;
  if (threads > kMaxBitmapThreads) threads = kMaxBitmapThreads;
  std::unique_ptr<BitmapPool, BitmapPoolDelete> p(new (std::nothrow) BitmapPool);
  if (!p) return 0;
  p->cancel = cancel;
  try {
    p->threads.reserve(static_cast<size_t>(threads));
    // A thread that cannot be started only makes the pool smaller.
    for (int i = 0; i < threads; ++i) p->threads.emplace_back(&BitmapPool::Work, p.get());
  } catch (const std::exception&) {
  }
  int started = static_cast<int>(p->threads.size());
  if (started == 0) return 0;
  p->windowFrames = static_cast<size_t>(started) * kFramesInFlightPerThread;
  p->maxFrames = static_cast<size_t>(started) * kMaxFramesInFlightPerThread;
  w.pool = std::move(p);
  return started;
}

bool QueueBitmap(SwfWriter& w, const FrameBitmap& b, int level) {
  if (!w.pool) return WriteBitmap(w, b, level);
  BitmapPool& p = *w.pool;
  const size_t bytes = BitmapBytes(b);
  if (bytes > p.largestFrame) p.largestFrame = bytes;
  RetireDone(w, p);
  while (!p.slots.empty() &&
         (p.slots.size() >= p.maxFrames || p.bytesInFlight + bytes > p.windowFrames * p.largestFrame))
    RetireOldest(w, p);
  // A bitmap WriteBitmap refuses is refused there; one that finds no memory
  // here is compressed in place. Its tag still lands in order.
  std::unique_ptr<BitmapJob> job(new (std::nothrow) BitmapJob);
  if (!job) return WriteBitmap(w, b, level);
  BitmapJob* queued = job.get();
  try {
    if (!SplitBitmap(b, job->bitmap)) return WriteBitmap(w, b, level);
    job->level = level;
    job->bytes = bytes;
    p.slots.push_back(std::move(job));
    p.bytesInFlight += bytes;
    HoldBehindNewest(w, p);
  } catch (const std::bad_alloc&) {
    return WriteBitmap(w, b, level);
  }
  try {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.queue.push_back(queued);
  } catch (const std::bad_alloc&) {
    p.bytesInFlight -= bytes;
    p.slots.pop_back();
    HoldBehindNewest(w, p);
    return WriteBitmap(w, b, level);
  }
  p.work.notify_one();
  return true;
}

void FinishBitmaps(SwfWriter& w) {
  if (!w.pool) return;
  while (!w.pool->slots.empty()) RetireOldest(w, *w.pool);
  w.heldBytes = nullptr;
  w.pool.reset();
}

void AbandonBitmaps(SwfWriter& w) {
  w.heldBytes = nullptr;
  w.pool.reset();
}
