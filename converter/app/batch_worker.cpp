#include "batch_worker.h"

#include <cstring>

#include "../platform/message_box.h"
#include "conversion_job.h"
#include "list_entry.h"
#include "progress_sink.h"
#include "settings_store.h"
#include "window_rules.h"

namespace {

constexpr size_t kPathLimit = 260;

}  // namespace

void MakeBatchStatusText(const std::string& destination, char* out) {
  size_t n = destination.size() < kPathLimit - 1 ? destination.size() : kPathLimit - 1;
  std::memcpy(out, destination.data(), n);
  out[n] = '\0';
  ShortenPathForDisplay(out);
  for (char* c = out; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

void RunBatch(BatchRequest& request, ProgressSink* progress) {
  std::string source, destination;
  for (int32_t k = 0; k < request.lineCount; ++k) {
    if (!ResolveListEntry(request.fileList, k, source, destination)) continue;
    char status[kPathLimit];
    MakeBatchStatusText(destination, status);
    if (progress && !request.cancel.load()) progress->Step(status);

    const ConversionOptions options = BatchOptions(request.window, CurrentPublishSettings);
    if (!ConvertFile(source.c_str(), destination.c_str(), options, progress, &request.jobCancel)) {
      std::string text = "错误: 无法写入文件 " + destination;
      ShowMessageBox(static_cast<WindowHandle>(request.errorOwner), text.c_str(), request.errorCaption.c_str(),
                     MB_OK | MB_ICONEXCLAMATION);
      break;
    }
    if (request.cancel.load()) return;
  }
  if (progress) progress->BatchDone();
}
