// The HTML page beside a movie: its exact bytes, the names taken from the
// movie path, the progress report during a batch, and the failure box.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/conversion_job.h"
#include "app/html_page.h"
#include "support/progress_recorder.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Lines 2 and 3 are GB2312 in every build (a page is the same file whoever
// wrote it); the box texts are the system's narrow texts: GB2312 on Windows,
// UTF-8 elsewhere. Written out byte by byte so the compiler's conversion of
// the literals is checked too.
const char kLine2[] =
    "  <!-- \xB8\xC3 HTML \xCE\xC4\xBC\xFE\xD3\xC9 Tervano v2.5 \xC9\xFA\xB3\xC9 -->";
const char kLine3Head[] = "  <!-- \xB7\xC3\xCE\xCA\xCE\xD2\xC3\xC7\xB5\xC4\xCD\xF8\xD5\xBE: ";
#ifdef _WIN32
const char kCaption[] = "\xD5\xFD\xD4\xDA\xD0\xB4\xC8\xEB HTML";
const char kErrorHead[] = "\xB4\xED\xCE\xF3: \xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xCE\xC4\xBC\xFE ";
#else
const char kCaption[] = "\xE6\xAD\xA3\xE5\x9C\xA8\xE5\x86\x99\xE5\x85\xA5 HTML";
const char kErrorHead[] =
    "\xE9\x94\x99\xE8\xAF\xAF: \xE6\x97\xA0\xE6\xB3\x95\xE5\x86\x99\xE5\x85\xA5"
    "\xE6\x96\x87\xE4\xBB\xB6 ";
#endif

#ifdef _WIN32
const char kSeparator[] = "\\";
#else
const char kSeparator[] = "/";
#endif

// The page as its line table gives it.
std::string ExpectedPage(const std::string& title, const std::string& movie, int width,
                         int height, const std::string& colour, bool gifBackground,
                         bool fullMenu) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  const std::string lines[] = {
      "<HTML>",
      kLine2,
      std::string(kLine3Head) + "http://www.tervano.example/ -->",
      "  <HEAD>",
      "    <TITLE>" + title + "</TITLE>",
      "  </HEAD>",
      gifBackground ? "  <BODY bgcolor=\"#" + colour + "\">" : "  <BODY>",
      "    <OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\"",
      "      codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/"
      "swflash.cab#version=5,0,0,0\"",
      "      width=" + w + " height=" + h + "> <PARAM NAME=movie VALUE=\"" + movie +
          "\"> <PARAM NAME=wmode VALUE=transparent>",
      "      <PARAM NAME=quality VALUE=high> <PARAM NAME=bgcolor VALUE=#" + colour + ">" +
          (fullMenu ? "" : " <PARAM NAME=menu VALUE=false>"),
      "      <EMBED src=\"" + movie + "\" quality=high wmode=transparent",
      "        bgcolor=#" + colour + " width=" + w + " height=" + h +
          " type=\"application/x-shockwave-flash\"" + (fullMenu ? "" : " menu=false"),
      "        pluginspace=\"http://www.macromedia.com/shockwave/download/index.cgi?"
      "P1_Prod_Version=ShockwaveFlash\">",
      "      </EMBED>",
      "    </OBJECT>",
      "  </BODY>",
      "</HTML>",
  };
  static_assert(sizeof lines / sizeof lines[0] == 18, "the page has 18 lines");
  std::string page;
  for (const std::string& line : lines) page += line + "\r\n";
  return page;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// A fresh folder for the test's pages, removed afterwards.
class PageFolder {
 public:
  explicit PageFolder(const std::string& name) : path_(FreshFolder("html-" + name)) {}
  ~PageFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  // Plain concatenation: fs::path would not keep code page bytes as they are.
  std::string File(const std::string& name) const { return path_ + kSeparator + name; }

 private:
  std::string path_;
};

TEST(HtmlPage, BytesFollowTheLineTable) {
  PageFolder folder("bytes");
  const std::string movie = folder.File("my anim.swf");
  ASSERT_EQ(WriteHtmlPage(movie.c_str(), 120, 45, 0x0000FF, 1, 0).status, ConversionStatus::kConverted);
  EXPECT_EQ(ReadBytes(folder.File("my anim.htm")),
            ExpectedPage("My anim", "my anim.swf", 120, 45, "0000FF", true, false));

  // white without the GIF background, full menu: no body colour, no menu=false
  const std::string other = folder.File("zeta.swf");
  ASSERT_EQ(WriteHtmlPage(other.c_str(), 18, 400, 0xFFFFFF, 0, 1).status, ConversionStatus::kConverted);
  std::string page = ReadBytes(folder.File("zeta.htm"));
  EXPECT_EQ(page, ExpectedPage("Zeta", "zeta.swf", 18, 400, "FFFFFF", false, true));
  EXPECT_EQ(page.find("menu=false"), std::string::npos);
  EXPECT_NE(page.find("\r\n  <BODY>\r\n"), std::string::npos);

  // the colour keeps six digits; only 24 bits count
  ASSERT_EQ(WriteHtmlPage(other.c_str(), 1, 2, 0xFF000102, 1, 1).status, ConversionStatus::kConverted);
  EXPECT_EQ(ReadBytes(folder.File("zeta.htm")),
            ExpectedPage("Zeta", "zeta.swf", 1, 2, "000102", true, true));
}

TEST(HtmlPage, ChineseLinesAreInTheProgramsCodePage) {
  PageFolder folder("codepage");
  const std::string movie = folder.File("a.swf");
  ASSERT_EQ(WriteHtmlPage(movie.c_str(), 10, 10, 0, 0, 1).status, ConversionStatus::kConverted);
  std::string page = ReadBytes(folder.File("a.htm"));
  size_t second = page.find("\r\n") + 2;
  size_t third = page.find("\r\n", second) + 2;
  EXPECT_EQ(page.substr(second, third - 2 - second), kLine2);
  EXPECT_EQ(page.compare(third, std::strlen(kLine3Head), kLine3Head), 0);
  // literals of this build carry the same bytes
  EXPECT_STREQ("正在写入 HTML", kCaption);
  EXPECT_STREQ("错误: 无法写入文件 ", kErrorHead);
}

TEST(HtmlPage, NamesComeFromTheMoviePath) {
  HtmlPageNames n;
  ASSERT_TRUE(MakeHtmlPageNames("C:\\out\\my anim.swf", n));
  EXPECT_EQ(n.pagePath, "C:\\out\\my anim.htm");
  EXPECT_EQ(n.title, "My anim");
  EXPECT_EQ(n.movieReference, "my anim.swf");

  ASSERT_TRUE(MakeHtmlPageNames("C:\\a.b\\anim.swf", n));  // only the last dot counts
  EXPECT_EQ(n.pagePath, "C:\\a.b\\anim.htm");
  EXPECT_EQ(n.title, "Anim");
  EXPECT_EQ(n.movieReference, "anim.swf");

  ASSERT_TRUE(MakeHtmlPageNames("anim.swf", n));
  EXPECT_EQ(n.pagePath, "anim.htm");
  EXPECT_EQ(n.title, "Anim");
  EXPECT_EQ(n.movieReference, "anim.swf");

#ifdef _WIN32
  // Code page 936: the second byte of U+4E57 is 0x5C, which is no folder end.
  if (GetACP() == 936) {
    ASSERT_TRUE(MakeHtmlPageNames("C:\\out\\\x81\x5C\x81\x5C.swf", n));
    EXPECT_EQ(n.title, "\x81\x5C\x81\x5C");
    EXPECT_EQ(n.movieReference, "\x81\x5C\x81\x5C.swf");
  }
#endif
  ASSERT_TRUE(MakeHtmlPageNames("D:clip.v2.swf", n));  // a drive colon ends the folder
  EXPECT_EQ(n.pagePath, "D:clip.v2.htm");
  EXPECT_EQ(n.title, "Clip.v2");
  EXPECT_EQ(n.movieReference, "clip.v2.swf");

  ASSERT_TRUE(MakeHtmlPageNames("C:\\out\\1st.swf", n));
  EXPECT_EQ(n.title, "1st");
  ASSERT_TRUE(MakeHtmlPageNames("C:\\out\\Zoo.swf", n));
  EXPECT_EQ(n.title, "Zoo");
  const char chinese[] = "动画";
  ASSERT_TRUE(MakeHtmlPageNames((std::string("C:\\out\\") + chinese + ".swf").c_str(), n));
  EXPECT_EQ(n.title, chinese);

  // no dot at all: the whole path gets ".htm"
  ASSERT_TRUE(MakeHtmlPageNames("C:\\out\\animgif", n));
  EXPECT_EQ(n.pagePath, "C:\\out\\animgif.htm");
  EXPECT_EQ(n.title, "Animgif");
  EXPECT_EQ(n.movieReference, "animgif");
  // ... and keeps it in its own folder, whatever dots the folders have
  ASSERT_TRUE(MakeHtmlPageNames("C:\\my.folder\\xswf", n));
  EXPECT_EQ(n.pagePath, "C:\\my.folder\\xswf.htm");
  EXPECT_EQ(n.title, "Xswf");

  // paths of 260 bytes or more make no page
  std::string longest = "C:\\" + std::string(252, 'p') + ".swf";
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_TRUE(MakeHtmlPageNames(longest.c_str(), n));
  EXPECT_FALSE(MakeHtmlPageNames((longest + "x").c_str(), n));
  std::string noDot = "C:\\" + std::string(253, 'p');  // page path would be 260 bytes
  EXPECT_FALSE(MakeHtmlPageNames(noDot.c_str(), n));
  EXPECT_FALSE(MakeHtmlPageNames(nullptr, n));
}

TEST(HtmlPage, ReplacesAPageAndHandlesAMovieWithoutDot) {
  PageFolder folder("replace");
  const std::string page = folder.File("old.htm");
  std::ofstream(page, std::ios::binary) << std::string(5000, 'J');
  ASSERT_EQ(WriteHtmlPage(folder.File("old.swf").c_str(), 7, 8, 0x123456, 1, 1).status, ConversionStatus::kConverted);
  EXPECT_EQ(ReadBytes(page), ExpectedPage("Old", "old.swf", 7, 8, "123456", true, true));

  const std::string movie = folder.File("animgif");
  ASSERT_EQ(WriteHtmlPage(movie.c_str(), 7, 8, 0xFFFFFF, 0, 0).status, ConversionStatus::kConverted);
  EXPECT_EQ(ReadBytes(movie + ".htm"),
            ExpectedPage("Animgif", "animgif", 7, 8, "FFFFFF", false, false));

#ifdef _WIN32
  // a Chinese name goes to the file system in the system code page
  const std::string chinese = folder.File("动画.swf");
  ASSERT_EQ(WriteHtmlPage(chinese.c_str(), 7, 8, 0xFFFFFF, 0, 1).status, ConversionStatus::kConverted);
  EXPECT_EQ(ReadBytes(folder.File("动画.htm")),
            ExpectedPage("动画", "动画.swf", 7, 8, "FFFFFF", false, true));
#endif
}

TEST(HtmlPage, UnwritablePageSaysWhy) {
  PageFolder folder("unwritable");
  const std::string movie = folder.File("missing-folder") + kSeparator + "x.swf";
  const std::string page = folder.File("missing-folder") + kSeparator + "x.htm";
  ConversionResult r = WriteHtmlPage(movie.c_str(), 10, 10, 0, 0, 1);
  EXPECT_EQ(r.status, ConversionStatus::kPageNotWritable);
  EXPECT_EQ(r.path, page);
#ifdef _WIN32
  EXPECT_FALSE(r.reason.empty());  // the system's text, in the system's language
#else
  EXPECT_EQ(r.reason, std::strerror(ENOENT));
#endif
  EXPECT_FALSE(Exists(page));

  const std::string tooLong = folder.File(std::string(270, 'q') + ".swf");
  r = WriteHtmlPage(tooLong.c_str(), 10, 10, 0, 0, 1);
  EXPECT_EQ(r.status, ConversionStatus::kPathTooLong);
}

std::string Shortened(const std::string& path) {
  char copy[260] = {0};
  std::memcpy(copy, path.data(), path.size() < 259 ? path.size() : 259);
  ShortenPathForDisplay(copy);
  return copy;
}

TEST(HtmlPage, BatchShowsThePagePathBeforeWriting) {
  PageFolder folder("batch");
  const std::string movie = folder.File("a-rather-long-movie-name-for-the-status.swf");
  const std::string page = folder.File("a-rather-long-movie-name-for-the-status.htm");
  ASSERT_GT(page.size(), 40u);
  ProgressRecorder progress;
  ASSERT_EQ(WriteHtmlPage(movie.c_str(), 10, 10, 0, 0, 1, &progress).status, ConversionStatus::kConverted);
  ASSERT_EQ(progress.events.size(), 1u);
  EXPECT_EQ(progress.events[0].commandId, ID_PROGRESS_STEP);
  EXPECT_EQ(progress.events[0].status, Shortened(page));
  EXPECT_TRUE(Exists(page));

  // also when the page then fails
  const std::string none = folder.File("none") + kSeparator;
  EXPECT_EQ(WriteHtmlPage((none + "b.swf").c_str(), 10, 10, 0, 0, 1, &progress).status,
            ConversionStatus::kPageNotWritable);
  ASSERT_EQ(progress.events.size(), 2u);
  EXPECT_EQ(progress.events[1].status, Shortened(none + "b.htm"));
}

#ifndef _WIN32
// A link at the page's path is replaced by the page; what it points to is
// never written (here: the device is full, and a file of the user's).
TEST(HtmlPage, LinkAtThePagePathIsReplacedNotWrittenThrough) {
  PageFolder folder("link");
  const std::string movie = folder.File("x.swf");
  const std::string page = folder.File("x.htm");
  const std::string target = folder.File("mine.txt");
  std::ofstream(target, std::ios::binary) << "mine";
  for (const std::string& to : {std::string("/dev/full"), target}) {
    std::error_code ec;
    fs::remove(page, ec);
    fs::create_symlink(to, page, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(WriteHtmlPage(movie.c_str(), 10, 10, 0, 0, 1).status, ConversionStatus::kConverted) << to;
    EXPECT_FALSE(fs::is_symlink(page)) << to;
    EXPECT_EQ(ReadBytes(page), ExpectedPage("X", "x.swf", 10, 10, "000000", false, true)) << to;
  }
  EXPECT_EQ(ReadBytes(target), "mine");
}
#endif

}  // namespace
