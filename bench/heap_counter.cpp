// Replaces the glibc allocator entry points with counting wrappers around
// glibc's own allocator, so that zlib's and stdio's allocations are counted
// as well as operator new (which calls malloc). Sizes are the usable sizes
// the allocator reports, so a block is counted the same when freed.
#include "heap_counter.h"

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t n);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t n);
void* __libc_memalign(size_t alignment, size_t n);
void __libc_free(void* p);
}

namespace {

std::atomic<int64_t> g_live{0};
std::atomic<int64_t> g_peak{0};

void Count(void* p) {
  if (!p) return;
  int64_t n = static_cast<int64_t>(malloc_usable_size(p));
  int64_t now = g_live.fetch_add(n, std::memory_order_relaxed) + n;
  int64_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

void Uncount(void* p) {
  if (p) g_live.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
}

}  // namespace

namespace heap {

int64_t Live() { return g_live.load(std::memory_order_relaxed); }
int64_t Peak() { return g_peak.load(std::memory_order_relaxed); }
void ResetPeak() { g_peak.store(Live(), std::memory_order_relaxed); }

}  // namespace heap

extern "C" {

void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  Count(p);
  return p;
}

void* calloc(size_t count, size_t size) {
  void* p = __libc_calloc(count, size);
  Count(p);
  return p;
}

void* realloc(void* p, size_t n) {
  if (!p) return malloc(n);
  int64_t old = static_cast<int64_t>(malloc_usable_size(p));
  void* q = __libc_realloc(p, n);
  // A failed realloc leaves the old block; realloc(p, 0) frees it.
  if (q || n == 0) {
    g_live.fetch_sub(old, std::memory_order_relaxed);
    Count(q);
  }
  return q;
}

void free(void* p) {
  Uncount(p);
  __libc_free(p);
}

void* memalign(size_t alignment, size_t n) {
  void* p = __libc_memalign(alignment, n);
  Count(p);
  return p;
}

void* aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }

void* valloc(size_t n) { return memalign(static_cast<size_t>(sysconf(_SC_PAGESIZE)), n); }

void* pvalloc(size_t n) {
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return memalign(page, (n + page - 1) / page * page);
}

int posix_memalign(void** out, size_t alignment, size_t n) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = memalign(alignment, n);
  if (!p && n) return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"
