#include "batch_worker.h"

#include <cstring>
#include <vector>

#include "../platform/same_file.h"
#include "conversion_job.h"
#include "list_entry.h"
#include "progress_sink.h"
#include "settings_store.h"
#include "window_rules.h"
#include "platform/path_limit.h"

namespace {


BatchNotice Notice(const char* prefix, const std::string& path, bool stops = false, bool aboutPage = false) {
  BatchNotice n;
  n.text = std::string(prefix) + path;
  n.stopsBatch = stops;
  n.aboutPage = aboutPage;
  return n;
}

}  // namespace

BatchNotice NoticeFor(const ConversionResult& r) {
  switch (r.status) {
    case ConversionStatus::kConverted:
      // The movie is written, but holds only part of the GIF.
      if (r.sourceEnd == SourceEnd::kImageTooLarge) return Notice("注意: 图像超出画面, 影片只含此前的帧 ", r.path);
      if (r.sourceEnd == SourceEnd::kScreenTooLarge) return Notice("注意: 画面太大, 影片是空的 ", r.path);
      break;
    case ConversionStatus::kCancelled: break;
    case ConversionStatus::kSourceUnreadable: return Notice("错误: 无法读取文件 ", r.path);
    case ConversionStatus::kNotGif: return Notice("错误: 不是 GIF 文件 ", r.path);
    case ConversionStatus::kPathTooLong: return Notice("错误: 路径太长 ", r.path);
    case ConversionStatus::kDestinationIsSource: return Notice("错误: 不能覆盖源文件 ", r.path);
    // Later files would most likely fail the same way (a full disk, a
    // folder gone): the batch stops, as it always did here.
    case ConversionStatus::kMovieNotWritable: return Notice("错误: 无法写入文件 ", r.path, true);
    case ConversionStatus::kPageNotWritable: return Notice("错误: 无法写入文件 ", r.path, false, true);
  }
  return BatchNotice();
}

BatchNotice DuplicateMovieNotice(const std::string& destination) {
  return Notice("错误: 本批中已有文件转换为 ", destination);
}

void MakeBatchStatusText(const std::string& destination, char* out) {
  size_t n = destination.size() < kPathLimit - 1 ? destination.size() : kPathLimit - 1;
  std::memcpy(out, destination.data(), n);
  out[n] = '\0';
  ShortenPathForDisplay(out);
  for (char* c = out; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

void RunBatch(BatchRequest& request, ProgressSink* progress, BatchNotices* notices) {
  std::string source, destination;
  std::vector<std::string> made;  // movies written by this batch
  for (int32_t k = 0; k < request.lineCount; ++k) {
    if (!ResolveListEntry(request.fileList, k, source, destination)) continue;
    char status[kPathLimit];
    MakeBatchStatusText(destination, status);
    if (progress && !request.cancel.load()) progress->Step(status);

    // However it is spelt, a movie made earlier in this batch is not
    // converted over.
    bool duplicate = false;
    for (const std::string& earlier : made)
      if (earlier == destination || IsSameFile(earlier.c_str(), destination.c_str())) duplicate = true;
    BatchNotice notice;
    if (duplicate) {
      notice = DuplicateMovieNotice(destination);
    } else {
      const ConversionOptions options = BatchOptions(request.window, request.publish);
      ConversionResult result = ConvertFile(source.c_str(), destination.c_str(), options, progress, &request.jobCancel);
      if (result.status == ConversionStatus::kConverted || result.status == ConversionStatus::kPageNotWritable)
        made.push_back(destination);
      notice = NoticeFor(result);
    }
    if (!notice.text.empty() && notices) notices->Show(notice);
    if (notice.stopsBatch) break;
    if (request.cancel.load()) return;
  }
  if (progress) progress->BatchDone();
}
