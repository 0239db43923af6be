// Compiled with the GB2312 execution character set on every system.
#include "html_page_text.h"
#include "tervano_version.h"

const char kPageGeneratedLine[] = "  <!-- 该 HTML 文件由 Tervano v" TERVANO_VERSION " 生成 -->";
const char kPageVisitPrefix[] = "  <!-- 访问我们的网站: ";
