// Conversion benchmark. For each generated GIF it times ConvertFile with one
// thread (sequential: every bitmap compressed where it is written) and with
// the default number of compression threads (parallel), and sets both
// against a floor measured in the same run: one decode of every frame
// (the converter's GIF decoder, on its own) plus a level-9 deflate of
// exactly the bitmap data the converter compresses (colour table + padded
// rows of every frame), both on one thread. The parts of ConvertFile are
// measured separately, so the converter carries no timing code. Heap use is
// counted by the allocator replacement in heap_counter.cpp. Each file is also
// converted in a new process of its own, for its peak resident size there.
//
//   tervano_bench [--quick] [--dir FOLDER] [--web SITE [--node NODE]]
//     --quick   one repetition per file (smoke run)
//     --dir     write the GIF and SWF files there and keep them
//     --web     also time the web page's WebAssembly module (the built site,
//               build/web) in Node on each file, against seq
// The web module converts with one thread, as seq does.
// TERVANO_THREADS sets the parallel runs' thread count, as for the program.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/conversion_job.h"
#include "gif/gif_decoder.h"
#include "movie/frame_pipeline.h"
#include "movie/movie_job.h"
#include "heap_counter.h"
#include "scenes.h"
#include "support/gif_builder.h"
#include "swf/bitmap_pool.h"
#include "swf/bitmap_tag.h"
#include "swf/geometry.h"
#include "swf/swf_writer.h"

#ifndef TERVANO_BENCH_BUILD_TYPE
#define TERVANO_BENCH_BUILD_TYPE "unknown"
#endif

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double CpuClock(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Elapsed seconds of the work: a parallel conversion spreads its CPU time
// over threads, so only elapsed time compares it with one thread. The
// machine may be shared: callers keep the best of several runs.
double Seconds(const std::function<void()>& work) {
  double start = Now();
  work();
  return Now() - start;
}

// One frame's bitmap data as the converter compresses it.
struct FrameData {
  std::vector<uint8_t> bytes;  // colour table, then padded rows
};

// Everything the decode-only pass learns about a file.
struct DecodeResult {
  int frames = 0;
  int width = 0, height = 0;  // the GIF's screen
  size_t screenBytes = 0;  // stride x height
  size_t largestFrame = 0; // padded pixel bytes of the largest frame
};

// The bitmap data BuildFrameBitmap makes with every option off: the image
// rectangle clipped to the screen, the colour table widened to cover the
// transparent index and given alpha when there is one.
void CollectFrame(const GifFrame& f, FrameData& out) {
  int x0 = std::max(f.left, 0), y0 = std::max(f.top, 0);
  int x1 = std::min(f.left + f.width, f.screenWidth);
  int y1 = std::min(f.top + f.height, f.screenHeight);
  const int transparent = f.transparentCount > 0 ? f.transparent[0] : -1;
  const int known = 1 << f.tableBits;
  int numColours = known;
  if (transparent >= 0) numColours = std::max(numColours, transparent + 1);
  numColours = std::min(std::max(numColours, 2), 256);
  int entry = transparent >= 0 ? 4 : 3;
  out.bytes.clear();
  for (int i = 0; i < numColours; ++i) {
    bool clear = i == transparent;
    for (int c = 0; c < 3; ++c) out.bytes.push_back(clear || i >= known ? 0 : f.colours[i * 3 + c]);
    if (entry == 4) out.bytes.push_back(clear ? 0 : 255);
  }
  if (x1 <= x0 || y1 <= y0) {  // nothing on the screen: one invisible pixel
    out.bytes.assign(2 * 4, 0);
    out.bytes.insert(out.bytes.end(), 4, 0);
    return;
  }
  int width = x1 - x0, height = y1 - y0;
  size_t stride = static_cast<size_t>(width) + RowPadding(width);
  size_t tableBytes = out.bytes.size();
  out.bytes.resize(tableBytes + stride * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    std::memcpy(&out.bytes[tableBytes + static_cast<size_t>(y) * stride],
                f.screen + static_cast<size_t>(y0 + y) * f.screenStride + x0, static_cast<size_t>(width));
}

// Decodes every frame with the converter's GIF decoder; nothing else. With
// `frames`, also collects each frame's bitmap data (that run is not timed).
bool DecodeOnly(GifDecoder& d, const char* path, DecodeResult& result, std::vector<FrameData>* frames) {
  result = DecodeResult();
  if (OpenGif(d, path, true, nullptr) != GifStatus::kFrame) return false;
  result.width = d.screen.width;
  result.height = d.screen.height;
  const size_t stride = static_cast<size_t>(d.screen.width) + RowPadding(d.screen.width);
  result.screenBytes = stride * static_cast<size_t>(d.screen.height);
  GifFrame f;
  GifStatus status;
  while ((status = NextFrame(d, f)) == GifStatus::kFrame) {
    ++result.frames;
    int width = std::min(f.width, d.screen.width), height = std::min(f.height, d.screen.height);
    result.largestFrame = std::max(result.largestFrame, static_cast<size_t>(width + RowPadding(width)) * height);
    if (frames) {
      frames->emplace_back();
      CollectFrame(f, frames->back());
    }
  }
  return status == GifStatus::kEnd;
}

// Level-9 deflate of every frame, one stream each, with zlib's defaults as
// the bitmap writer uses them. Output buffers are made before timing.
bool DeflateAll(const std::vector<FrameData>& frames, std::vector<std::vector<uint8_t>>& out,
                std::vector<size_t>& sizes) {
  sizes.assign(frames.size(), 0);
  for (size_t i = 0; i < frames.size(); ++i) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(frames[i].bytes.data());
    z.avail_in = static_cast<uInt>(frames[i].bytes.size());
    z.next_out = out[i].data();
    z.avail_out = static_cast<uInt>(out[i].size());
    int rc = Z_OK;
    while (rc == Z_OK) rc = deflate(&z, Z_FINISH);
    sizes[i] = out[i].size() - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END) return false;
  }
  return true;
}

// Heap held by one level-9 deflate stream (zlib's window, hash chains and
// pending buffer); part of the constant of the heap budget.
int64_t DeflateStateBytes() {
  int64_t before = heap::Live();
  heap::ResetPeak();
  uint8_t in[64] = {0}, out[256];
  z_stream z{};
  if (deflateInit(&z, 9) != Z_OK) return 0;
  z.next_in = in;
  z.avail_in = sizeof in;
  z.next_out = out;
  z.avail_out = sizeof out;
  deflate(&z, Z_FINISH);
  deflateEnd(&z);
  return heap::Peak() - before;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) { return gifbuild::ReadFileBytes(path, bytes); }

// Walks the movie's tags and checks every bitmap tag against the floor's
// data: the inflated data must equal it, and the compressed size should
// equal the floor's (same input, same zlib settings).
struct MovieCheck {
  int bitmaps = 0;
  int sameData = 0;
  int sameSize = 0;
  size_t movieBytes = 0;
};

MovieCheck CheckMovie(const std::string& swfPath, const std::vector<FrameData>& frames,
                      const std::vector<size_t>& floorSizes) {
  MovieCheck check;
  std::vector<uint8_t> swf;
  if (!ReadFile(swfPath, swf) || swf.size() < 9 || std::memcmp(swf.data(), "FWS", 3) != 0) return check;
  check.movieBytes = swf.size();
  size_t rectBits = 5 + 4 * static_cast<size_t>(swf[8] >> 3);
  size_t pos = 8 + (rectBits + 7) / 8 + 4;
  std::vector<uint8_t> inflated;
  while (pos + 2 <= swf.size()) {
    unsigned head = swf[pos] | (swf[pos + 1] << 8);
    pos += 2;
    unsigned code = head >> 6;
    size_t length = head & 63;
    if (length == 63) {
      if (pos + 4 > swf.size()) break;
      length = swf[pos] | (swf[pos + 1] << 8) | (swf[pos + 2] << 16) | (static_cast<size_t>(swf[pos + 3]) << 24);
      pos += 4;
    }
    if (length > swf.size() - pos) break;
    if ((code == 20 || code == 36) && length >= 8) {
      size_t k = static_cast<size_t>(check.bitmaps++);
      if (k < frames.size()) {
        const std::vector<uint8_t>& want = frames[k].bytes;
        inflated.assign(want.size() + 1, 0);
        uLongf got = static_cast<uLongf>(inflated.size());
        int rc = uncompress(inflated.data(), &got, swf.data() + pos + 8, static_cast<uLong>(length - 8));
        if (rc == Z_OK && got == want.size() && std::memcmp(inflated.data(), want.data(), got) == 0) ++check.sameData;
        if (length - 8 == floorSizes[k]) ++check.sameSize;
      }
    }
    pos += length;
    if (code == 0) break;
  }
  return check;
}

// Peak resident size (VmHWM) of this process, in KiB.
long PeakResidentKiB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
  std::fclose(f);
  return kib;
}

std::string g_self;  // this program, for the child runs

// What a conversion costs in a process of its own, as a quiet conversion
// runs (default threads): no memory of this process is counted, and the
// allocator starts from a fresh heap.
struct ChildRun {
  long peakKiB = -1;    // VmHWM at the end
  double seconds = -1;  // elapsed seconds of ConvertFile
};

ChildRun RunChild(const std::string& args) {
  ChildRun run;
  std::string command = "'" + g_self + "' " + args;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return run;
  if (std::fscanf(p, "%ld %lf", &run.peakKiB, &run.seconds) != 2) run = ChildRun();
  if (pclose(p) != 0) run = ChildRun();
  return run;
}

int ChildMain(int argc, char** argv) {
  double seconds = 0;
  if (argc == 4) {
    ConversionOptions options;
    ConversionResult result;
    seconds = Seconds([&] { result = ConvertFile(argv[2], argv[3], options, nullptr); });
    if (result.status != ConversionStatus::kConverted) return 1;
  }
  std::printf("%ld %.6f\n", PeakResidentKiB(), seconds);
  return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::vector<uint8_t> x, y;
  return ReadFile(a, x) && ReadFile(b, y) && x == y;
}

constexpr int kChildRuns = 3;
constexpr double kSequentialTarget = 1.3;  // sequential <= 1.3 x floor
constexpr double kParallelTarget = 0.6;    // parallel <= 0.6 x floor, frames of 320 x 240 or more
// Parallel may not be slower than sequential; timing noise of a shared
// machine is allowed for on files that convert in a few milliseconds.
constexpr double kNoiseSeconds = 0.0005;
// The browser's module may take this much of the native one-thread time.
constexpr double kWebTarget = 1.5;

struct Case {
  const char* name;
  const char* what;
  std::function<bool(const std::string&)> write;
  int reps;
};

struct Row {
  std::string name;
  size_t gifBytes = 0;
  int frames = 0;
  int reps = 0;
  bool large = false;  // screen of 320 x 240 or more: the parallel target applies
  double decode = 1e30, zlib = 1e30, sequential = 1e30, parallel = 1e30;
  double fresh = 1e30;  // parallel ConvertFile in a new process
  // CPU seconds of the parallel conversion: all threads, and the converting
  // thread alone.
  double parallelCpu = 1e30, converterCpu = 1e30;
  int64_t heapSequential = 0, heapParallel = 0;
  size_t budgetSequential = 0, budgetParallel = 0;
  long rssKiB = -1;
  MovieCheck check;
  bool sameBytes = true;  // parallel movie == sequential movie
  bool converted = true;
  double web = -1;       // best WebAssembly conversion in Node; -1: not run
  bool webSame = false;  // its movie == sequential movie
};

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// What every case of one run shares.
struct BenchRun {
  bool quick = false;
  bool keep = false;  // --dir given: the files stay
  std::string dir;
  std::string webSite;  // --web: the built page whose module is timed too
  std::string node = "node";
  int threads = 1;
  int64_t deflateState = 0, threadState = 0, fixedBytes = 0;
  size_t inFlight = 0;
  long idleKiB = -1;
};

// Options and the work folder; 0, or the exit code.
int ReadArguments(int argc, char** argv, BenchRun& run) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      run.quick = true;
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      run.dir = argv[++i];
    } else if (std::strcmp(argv[i], "--web") == 0 && i + 1 < argc) {
      run.webSite = argv[++i];
    } else if (std::strcmp(argv[i], "--node") == 0 && i + 1 < argc) {
      run.node = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--quick] [--dir FOLDER] [--web SITE [--node NODE]]\n", argv[0]);
      return 2;
    }
  }
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  self[n] = '\0';
  g_self = self;

  run.keep = !run.dir.empty();
  if (run.keep) {
    mkdir(run.dir.c_str(), 0777);
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tervano-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    run.dir = buf.data();
  }
  // Without a built site the bench runs as before and says so.
  if (!run.webSite.empty() && access((run.webSite + "/tervano.wasm").c_str(), R_OK) != 0) {
    std::fprintf(stderr, "no web module in %s (scripts/build-web.sh builds it): WebAssembly not timed\n",
                 run.webSite.c_str());
    run.webSite.clear();
  }
  if (run.dir.find('\'') != std::string::npos || g_self.find('\'') != std::string::npos ||
      run.webSite.find('\'') != std::string::npos || run.node.find('\'') != std::string::npos) {
    std::fprintf(stderr, "folder names with quotes are not supported\n");
    return 1;
  }
  return 0;
}

// Best of reps conversions of gif by the web page's module, in Node
// (bench/web_bench.mjs), into row; false when it could not be run.
bool TimeWebModule(const BenchRun& run, const std::string& gif, const std::string& nativeMovie, int reps, Row& row) {
  std::string command = Quoted(run.node) + " " + Quoted(std::string(TERVANO_BENCH_SOURCE_DIR) + "/web_bench.mjs") + " " +
                        Quoted(run.webSite) + " " + Quoted(gif) + " " + Quoted(nativeMovie) + " " +
                        std::to_string(reps);
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  double ms = -1;
  int same = 0;
  bool read = std::fscanf(p, "%lf %d", &ms, &same) == 2;
  bool exited = pclose(p) == 0;
  if (!read || !exited) return false;
  row.web = ms / 1e3;
  row.webSame = same == 1;
  return true;
}

// Threads and the memory every conversion has beside its frames.
void SizeRun(BenchRun& run) {
  run.threads = CompressionThreads(0);
  run.deflateState = DeflateStateBytes();
  // A compressing thread's zlib stream and the buffer its output collects in.
  run.threadState = run.deflateState + static_cast<int64_t>(kBitmapScratchBytes);
  // Each conversion makes its own converter state and movie writer, and each
  // pass its decoder and frame pipeline; 64 KiB for reading, stdio and small
  // records (the pool's jobs among them).
  run.fixedBytes =
      64 * 1024 + static_cast<int64_t>(sizeof(MovieJob) + sizeof(GifDecoder) + sizeof(FramePipeline) +
                                       sizeof(SwfWriter));
  // Frames handed to the threads and not yet written hold their pixels or
  // their compressed tag; two more frames: the one being built and the
  // output of one being compressed. Every thread has its own zlib stream,
  // and the converting thread one for the frames it compresses itself.
  run.inFlight = static_cast<size_t>(run.threads) * kFramesInFlightPerThread;
  run.idleKiB = RunChild("--child").peakKiB;
}

// Writes the case's GIF and measures it into row; false when a file cannot
// be written or read.
bool MeasureCase(const BenchRun& run, const Case& c, GifDecoder& decoder, Row& row) {
  row.name = c.name;
  row.reps = run.quick ? 1 : c.reps;
  std::string gif = run.dir + "/" + c.name + ".gif";
  std::string swf = run.dir + "/" + c.name + ".swf";
  std::string swfSequential = run.dir + "/" + c.name + ".1.swf";
  std::fprintf(stderr, "  %-22s writing...", c.name);
  if (!c.write(gif)) {
    std::fprintf(stderr, " cannot write %s\n", gif.c_str());
    return false;
  }
  struct stat st {};
  if (stat(gif.c_str(), &st) == 0) row.gifBytes = static_cast<size_t>(st.st_size);
  std::fprintf(stderr, " measuring...");

  // The floor's data, collected once outside any timing.
  DecodeResult info;
  std::vector<FrameData> frames;
  if (!DecodeOnly(decoder, gif.c_str(), info, &frames)) {
    std::fprintf(stderr, " cannot read %s\n", gif.c_str());
    return false;
  }
  row.frames = info.frames;
  row.large = info.width >= 320 && info.height >= 240;
  std::vector<std::vector<uint8_t>> deflated(frames.size());
  for (size_t i = 0; i < frames.size(); ++i)
    deflated[i].resize(deflateBound(nullptr, static_cast<uLong>(frames[i].bytes.size())) + 64);
  std::vector<size_t> floorSizes;

  ConversionOptions sequential;  // every option off, as a first conversion has them
  sequential.threads = 1;
  ConversionOptions parallel = sequential;
  parallel.threads = run.threads;
  // The parts alternate within each repetition, so a busy spell of the
  // machine does not fall on one of them only.
  for (int r = 0; r < row.reps; ++r) {
    DecodeResult again;
    row.decode = std::min(row.decode, Seconds([&] { DecodeOnly(decoder, gif.c_str(), again, nullptr); }));
    bool ok = true;
    row.zlib = std::min(row.zlib, Seconds([&] { ok = DeflateAll(frames, deflated, floorSizes); }));
    if (!ok) {
      std::fprintf(stderr, " deflate failed\n");
      return false;
    }
    ConversionResult result;
    row.sequential = std::min(row.sequential, Seconds([&] {
                                result = ConvertFile(gif.c_str(), swfSequential.c_str(), sequential, nullptr);
                              }));
    if (result.status != ConversionStatus::kConverted) row.converted = false;
    double cpu0 = CpuClock(CLOCK_PROCESS_CPUTIME_ID), own0 = CpuClock(CLOCK_THREAD_CPUTIME_ID);
    row.parallel = std::min(row.parallel,
                            Seconds([&] { result = ConvertFile(gif.c_str(), swf.c_str(), parallel, nullptr); }));
    row.parallelCpu = std::min(row.parallelCpu, CpuClock(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
    row.converterCpu = std::min(row.converterCpu, CpuClock(CLOCK_THREAD_CPUTIME_ID) - own0);
    if (result.status != ConversionStatus::kConverted) row.converted = false;
  }

  // Heap: the highest live heap above what was live when ConvertFile began.
  int64_t before = heap::Live();
  heap::ResetPeak();
  if (ConvertFile(gif.c_str(), swfSequential.c_str(), sequential, nullptr).status != ConversionStatus::kConverted)
    row.converted = false;
  row.heapSequential = heap::Peak() - before;
  row.budgetSequential = info.screenBytes + 2 * info.largestFrame + static_cast<size_t>(run.deflateState + run.fixedBytes);
  before = heap::Live();
  heap::ResetPeak();
  if (ConvertFile(gif.c_str(), swf.c_str(), parallel, nullptr).status != ConversionStatus::kConverted)
    row.converted = false;
  row.heapParallel = heap::Peak() - before;
  row.budgetParallel = info.screenBytes + (run.inFlight + 2) * info.largestFrame +
                       static_cast<size_t>((run.threads + 1) * run.threadState + run.fixedBytes);

  if (!run.webSite.empty()) {
    std::fprintf(stderr, " wasm...");
    if (!TimeWebModule(run, gif, swfSequential, row.reps, row)) row.converted = false;
  }
  row.check = CheckMovie(swf, frames, floorSizes);
  row.sameBytes = SameFile(swf, swfSequential);
  for (int r = 0; r < (run.quick ? 1 : kChildRuns); ++r) {
    ChildRun child = RunChild("--child " + Quoted(gif) + " " + Quoted(swf + ".child"));
    if (child.peakKiB < 0) {
      row.converted = false;
      break;
    }
    row.rssKiB = std::max(row.rssKiB, run.idleKiB >= 0 ? child.peakKiB - run.idleKiB : -1);
    row.fresh = std::min(row.fresh, child.seconds);
  }
  if (!run.keep) {
    std::remove(gif.c_str());
    std::remove(swf.c_str());
    std::remove(swfSequential.c_str());
  }
  std::remove((swf + ".child").c_str());
  std::fprintf(stderr, " done\n");
  return true;
}

void PrintTable(const BenchRun& run, const std::vector<Case>& cases, const std::vector<Row>& rows) {
  std::printf(
      "\nfloor = one decode of every frame + level-9 deflate of the same bitmap data, on one thread, measured\n"
      "in this run. Times are elapsed, best of N runs. seq = ConvertFile with 1 thread; par = with %d\n"
      "compression threads; fresh = par in a new process of its own (best of %d), as a quiet conversion runs.\n"
      "decod, zlib = the floor's parts as fractions of it; cpu = CPU time of par, all threads; conv = CPU time\n"
      "of its converting thread (decode, frames, writing, and bitmaps it compressed itself when no thread\n"
      "had taken them); with free cores par approaches cpu / cores. heap = highest live heap during ConvertFile, KiB;\n"
      "budget seq = screen + 2 x largest frame + zlib state + %lld KiB; budget par = screen + (%zu in flight\n"
      "+ 2) x largest frame + %d x (zlib state + output buffer, %lld KiB) + %lld KiB. rss = peak resident size of the new\n"
      "process, less that of an idle one (%ld KiB). data = bitmaps whose data equals the floor's / whose\n"
      "compressed size does; same = par movie byte-identical to seq movie.\n\n",
      run.threads, run.quick ? 1 : kChildRuns, static_cast<long long>(run.fixedBytes / 1024), run.inFlight, run.threads + 1,
      static_cast<long long>(run.threadState / 1024), static_cast<long long>(run.fixedBytes / 1024), run.idleKiB);
  std::printf("%-20s %6s %4s %2s | %7s %7s %7s %7s | %5s %5s %5s %5s | %5s %5s %5s %5s | %6s %6s %5s | %6s %6s %5s | %6s | %-7s %-4s %s\n",
              "file", "gifKiB", "frms", "N", "floorms", "seq ms", "par ms", "freshms", "par/s", "seq/f", "par/f",
              "frs/f", "decod", "zlib", "cpu/f", "conv/f", "heapS", "budS", "h/b", "heapP", "budP", "h/b", "rssKiB", "data", "same",
              "verdict");
  bool allGood = true;
  for (const Row& r : rows) {
    double floor = r.decode + r.zlib;
    double heapS = static_cast<double>(r.heapSequential) / static_cast<double>(r.budgetSequential);
    double heapP = static_cast<double>(r.heapParallel) / static_cast<double>(r.budgetParallel);
    bool dataOk = r.check.bitmaps == r.frames && r.check.sameData == r.frames && r.sameBytes;
    bool seqOk = r.sequential <= kSequentialTarget * floor;
    bool parOk = (!r.large || r.parallel <= kParallelTarget * floor) && r.parallel <= r.sequential + kNoiseSeconds;
    bool heapOk = heapS <= 1.0 && heapP <= 1.0;
    bool good = r.converted && dataOk && seqOk && parOk && heapOk;
    allGood = allGood && good;
    char data[32];
    std::snprintf(data, sizeof data, "%d/%d", r.check.sameData, r.check.sameSize);
    std::string verdict = !r.converted ? "CONVERT FAILED"
                          : !dataOk    ? "DATA DIFFERS"
                                       : std::string(seqOk ? "seq ok" : "SEQ OVER") + (parOk ? ", par ok" : ", PAR OVER") +
                                             (heapOk ? ", heap ok" : ", HEAP OVER");
    std::printf("%-20s %6zu %4d %2d | %7.1f %7.1f %7.1f %7.1f | %5.2f %5.2f %5.2f %5.2f | %5.2f %5.2f %5.2f %5.2f | %6lld %6zu %5.2f | "
                "%6lld %6zu %5.2f | %6ld | %-7s %-4s %s\n",
                r.name.c_str(), r.gifBytes / 1024, r.frames, r.reps, floor * 1e3, r.sequential * 1e3,
                r.parallel * 1e3, r.fresh * 1e3, r.parallel / r.sequential, r.sequential / floor, r.parallel / floor,
                r.fresh / floor, r.decode / floor, r.zlib / floor, r.parallelCpu / floor, r.converterCpu / floor, static_cast<long long>(r.heapSequential / 1024),
                r.budgetSequential / 1024, heapS, static_cast<long long>(r.heapParallel / 1024),
                r.budgetParallel / 1024, heapP, r.rssKiB, data, r.sameBytes ? "yes" : "NO", verdict.c_str());
  }
  if (!run.webSite.empty()) {
    std::printf("\nWebAssembly (%s, in Node, one thread, best of N) against seq (native, one thread):\n",
                run.webSite.c_str());
    std::printf("%-20s %7s %7s %6s %s\n", "file", "seq ms", "wasm ms", "wasm/s", "same");
    for (const Row& r : rows) {
      if (r.web < 0) continue;
      std::printf("%-20s %7.1f %7.1f %6.2f %s\n", r.name.c_str(), r.sequential * 1e3, r.web * 1e3,
                  r.web / r.sequential, r.webSame ? "yes" : "NO");
    }
    std::printf("target: wasm/s <= %.2f\n", kWebTarget);
  }
  std::printf("\n");
  for (const Case& c : cases) std::printf("%-20s %s\n", c.name, c.what);
  std::printf(
      "\ntargets: seq <= %.2f x floor; par <= %.2f x floor where frames are 320 x 240 or more; par no slower\n"
      "than seq; heap <= budget. %s\n",
      kSequentialTarget, kParallelTarget, allGood ? "All files meet them." : "Some files miss them.");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) return ChildMain(argc, argv);
  BenchRun run;
  if (int exitCode = ReadArguments(argc, argv, run)) return exitCode;

  const std::vector<Case> cases = {
      {"cartoon-320x240x100", "gradient + moving shaded shapes, 256 colours",
       [](const std::string& p) { return scenes::WriteCartoon(p, 320, 240, 100); }, 5},
      {"cartoon-800x600x30", "same scene, large frames",
       [](const std::string& p) { return scenes::WriteCartoon(p, 800, 600, 30); }, 3},
      {"cartoon-1920x1080x20", "same scene, full HD frames",
       [](const std::string& p) { return scenes::WriteCartoon(p, 1920, 1080, 20); }, 3},
      {"sprite-64x64x500", "spinning icon, transparent, restore to background",
       [](const std::string& p) { return scenes::WriteSprite(p, 64, 500); }, 7},
      {"photo-320x240x30", "dithered photo, scrambled palette, interlaced",
       [](const std::string& p) { return scenes::WritePhoto(p, 320, 240, 30); }, 7},
      {"delta-320x240x100", "one full frame, then 80x60 update rectangles",
       [](const std::string& p) { return scenes::WriteDelta(p, 320, 240, 100); }, 11},
      {"terminal-640x421x800", "terminal recording: typed characters, lines, scrolls",
       [](const std::string& p) { return scenes::WriteTerminal(p, 640, 421, 800); }, 7},
  };

  SizeRun(run);
  std::printf("tervano conversion bench (%s build), %d compression threads; writing files to %s\n",
              TERVANO_BENCH_BUILD_TYPE, run.threads, run.dir.c_str());
  std::fflush(stdout);

  std::unique_ptr<GifDecoder> decoder(new GifDecoder);
  std::vector<Row> rows;
  for (const Case& c : cases) {
    Row row;
    if (!MeasureCase(run, c, *decoder, row)) return 1;
    rows.push_back(row);
  }
  if (!run.keep) rmdir(run.dir.c_str());
  PrintTable(run, cases, rows);
  return 0;
}
