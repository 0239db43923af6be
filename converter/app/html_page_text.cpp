// Compiled with the GB2312 execution character set on every system.
#include "html_page_text.h"

const char kPageGeneratedLine[] = "  <!-- 该 HTML 文件由 Tervano v2.5 生成 -->";
const char kPageVisitPrefix[] = "  <!-- 访问我们的网站: ";
