// The page's way into the converter: plain C functions the Web Worker calls
// on the WebAssembly module. One conversion at a time per module (a worker
// converts one file after another); its result stays in the module's memory
// until the worker has copied it out and frees it.
#include <emscripten.h>

#include <cstdint>
#include <new>

#include "app/conversion_job.h"

namespace {

// The order of the flags the worker hands in.
enum Flag {
  kChangeLoop,
  kLoopForever,
  kPlayCount,
  kBorderCorrection,
  kUseGifBackground,
  kOptimiseCanvas,
  kUseLinkUrl,
  kProtect,
  kWriteHtml,
  kFullMenu,
  kFlagCount,
};

struct WebConversion {
  ConversionResult result;
  MemoryConversion out;
};

// Progress goes straight to the worker's script, which posts it to the page.
EM_JS(void, ReportFrameCount, (int frames), { if (Module.onFrameCount) Module.onFrameCount(frames); });
EM_JS(void, ReportFrameDone, (), { if (Module.onFrameDone) Module.onFrameDone(); });

class WorkerProgress : public ProgressSink {
 public:
  void Step(const char*) override {}
  void FrameCount(int32_t frames) override { ReportFrameCount(frames); }
  void FrameDone() override { ReportFrameDone(); }
  void BatchDone() override {}
};

ConversionOptions OptionsFrom(const int32_t* flags, const char* linkUrl, const char* ruffleUrl) {
  ConversionOptions o;
  o.changeLoop = flags[kChangeLoop];
  o.loopForever = flags[kLoopForever];
  o.playCount = flags[kPlayCount];
  o.borderCorrection = flags[kBorderCorrection];
  o.useGifBackground = flags[kUseGifBackground];
  o.optimiseCanvas = flags[kOptimiseCanvas];
  o.useLinkUrl = flags[kUseLinkUrl];
  o.linkUrl = linkUrl ? linkUrl : "";
  o.protect = flags[kProtect];
  o.writeHtml = flags[kWriteHtml];
  o.fullMenu = flags[kFullMenu];
  o.ruffleUrl = ruffleUrl ? ruffleUrl : "";
  // No threads in a worker: every bitmap is compressed where it is written.
  o.threads = 1;
  return o;
}

}  // namespace

extern "C" {

// How many numbers tervano_convert reads at flags.
EMSCRIPTEN_KEEPALIVE int tervano_flag_count() { return kFlagCount; }

// Converts size bytes at gif into the movie movieName ("NAME.swf") and, with
// the page flag, its page. flags holds kFlagCount numbers in the order of
// Flag. Null only when not even the result could be held.
EMSCRIPTEN_KEEPALIVE WebConversion* tervano_convert(const uint8_t* gif, size_t size, const char* movieName,
                                                    const int32_t* flags, const char* linkUrl,
                                                    const char* ruffleUrl) {
  WebConversion* c = new (std::nothrow) WebConversion;
  if (!c) return nullptr;
  if (!flags) {
    c->result.status = ConversionStatus::kMovieNotWritable;
    c->result.reason = "no options given";
    return c;
  }
  WorkerProgress progress;
  c->result = ConvertGifInMemory(gif, size, movieName ? movieName : "", OptionsFrom(flags, linkUrl, ruffleUrl),
                                 c->out, &progress);
  return c;
}

EMSCRIPTEN_KEEPALIVE int tervano_status(const WebConversion* c) { return static_cast<int>(c->result.status); }
EMSCRIPTEN_KEEPALIVE int tervano_source_end(const WebConversion* c) { return static_cast<int>(c->result.sourceEnd); }
EMSCRIPTEN_KEEPALIVE const char* tervano_reason(const WebConversion* c) { return c->result.reason.c_str(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* tervano_movie(const WebConversion* c) { return c->out.movie.data(); }
EMSCRIPTEN_KEEPALIVE size_t tervano_movie_size(const WebConversion* c) { return c->out.movie.size(); }
EMSCRIPTEN_KEEPALIVE const char* tervano_page(const WebConversion* c) { return c->out.page.data(); }
EMSCRIPTEN_KEEPALIVE size_t tervano_page_size(const WebConversion* c) { return c->out.page.size(); }
EMSCRIPTEN_KEEPALIVE void tervano_free(WebConversion* c) { delete c; }

}  // extern "C"
