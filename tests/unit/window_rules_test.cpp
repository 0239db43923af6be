// The main window's list, counter and play-count rules, and the picker and
// link helpers, through their plain interface. Texts are checked as the
// GB2312 bytes the window shows (written out here, not taken from the code).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/list_entry.h"
#include "app/window_rules.h"

namespace {

// The list is UTF-8 (its paths are); the count label a GB2312 program text.
const std::string kPlaceholder = "(\xE5\xB0\x9A\xE6\x9C\xAA\xE6\xB7\xBB\xE5\x8A\xA0\xE6\xBA\x90\xE6\x96\x87\xE4\xBB\xB6)";
const std::string kReadyTail = " \xB8\xF6\xCE\xC4\xBC\xFE\xD7\xBC\xB1\xB8\xD7\xAA\xBB\xBB";
const std::string kDest = "Dest--\xE7\x9B\xAE\xE6\xA0\x87\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9\xE4\xB8\xBA: ";

TEST(WindowRules, ListGrowsAndCountsFiles) {
  FileList list;
  EXPECT_EQ(list.text, kPlaceholder);
  EXPECT_EQ(ReadyCountText(list), "");

  AppendSourceLine(list, "C:\\a\\x.gif");
  EXPECT_EQ(list.text, "C:\\a\\x.gif");
  EXPECT_EQ(ReadyCountText(list), "1" + kReadyTail);
  AddPickedFiles(list, {"C:\\a\\y.gif"});
  EXPECT_EQ(list.text, "C:\\a\\x.gif\r\nC:\\a\\y.gif");
  EXPECT_EQ(ReadyCountText(list), "2" + kReadyTail);

  // a destination after files applies only to files added after it
  SetDestinationLine(list, "D:\\out");
  SetDestinationLine(list, "E:\\movies\\");  // replaces the last line
  AppendSourceLine(list, "C:\\b\\z.GIF");
  EXPECT_EQ(list.text, "C:\\a\\x.gif\r\nC:\\a\\y.gif\r\n" + kDest + "E:\\movies\\\r\nC:\\b\\z.GIF");
  EXPECT_EQ(list.lineCount, 4);
  EXPECT_EQ(list.destCount, 1);
  EXPECT_EQ(ReadyCountText(list), "3" + kReadyTail);
  std::string source, destination;
  ASSERT_TRUE(ResolveListEntry(list.text, 1, source, destination));
  EXPECT_EQ(destination, "C:\\a\\y.swf");
  EXPECT_FALSE(ResolveListEntry(list.text, 2, source, destination));
  ASSERT_TRUE(ResolveListEntry(list.text, 3, source, destination));
  EXPECT_EQ(source, "C:\\b\\z.GIF");
  EXPECT_EQ(destination, "E:\\movies\\z.swf");
  EXPECT_FALSE(ResolveListEntry(list.text, 4, source, destination));

  ResetList(list);
  EXPECT_EQ(list.text, kPlaceholder);
  EXPECT_EQ(list.lineCount + list.destCount, 0);

  // a destination on an empty list stands alone and is replaced, not repeated
  SetDestinationLine(list, "D:\\out");
  SetDestinationLine(list, "D:\\other");
  EXPECT_EQ(list.text, kDest + "D:\\other");
  EXPECT_EQ(ReadyCountText(list), "");
  AppendSourceLine(list, "x.gif");
  ASSERT_TRUE(ResolveListEntry(list.text, 1, source, destination));
  EXPECT_EQ(destination, "D:\\other\\x.swf");

  // thousands of lines
  ResetList(list);
  for (int i = 0; i < 5000; ++i) AppendSourceLine(list, "C:\\many\\f" + std::to_string(i) + ".gif");
  EXPECT_EQ(ReadyCountText(list), "5000" + kReadyTail);
  SaveAsPlan plan = PlanSaveAs(list);
  EXPECT_EQ(plan.files, 5000);
  EXPECT_EQ(plan.lastDestination, "C:\\many\\f4999.swf");
}

TEST(WindowRules, ListLinesResolveToMovies) {
  std::string source, destination;
  const std::string text = "C:\\top.gif\r\n" + kDest + "D:\\one\r\nC:\\a\\x.gif\r\n" + kDest +
                           "D:\\two\\\r\nC:\\b\\y.gif\r\nC:\\c\\pic.png\r\nplain.Gif";
  const char* expected[] = {"C:\\top.swf", nullptr, "D:\\one\\x.swf", nullptr, "D:\\two\\y.swf",
                            nullptr, "D:\\two\\plain.swf"};
  for (int k = 0; k < 7; ++k) {
    bool resolved = ResolveListEntry(text, k, source, destination);
    EXPECT_EQ(resolved, expected[k] != nullptr) << "line " << k;
    if (resolved) {
      EXPECT_EQ(destination, expected[k]) << "line " << k;
    }
  }
  // A name that is not a GIF keeps its own extension for save as.
  EXPECT_EQ(ExamineListEntry(text, 5, source, destination), ListEntry::kSkipped);
  EXPECT_EQ(destination, "D:\\two\\pic.png");

  // UTF-8 names: "猫" is E7 8C AB, bytes a code page 936 reading takes for
  // lead bytes, which would hide the backslash after it.
  const std::string cat = "\xE7\x8C\xAB";
  ASSERT_TRUE(ResolveListEntry(kDest + "D:\\out\\" + cat + "\r\nC:\\" + cat + "\\" + cat + ".gif", 1, source,
                               destination));
  EXPECT_EQ(destination, "D:\\out\\" + cat + "\\" + cat + ".swf");
  EXPECT_EQ(FolderOfPath("D:\\" + cat), "D:\\");  // a bare drive keeps its backslash
  EXPECT_EQ(FolderOfPath("D:\\" + cat + "\\x.swf"), "D:\\" + cat);

  // Paths the converter cannot hold are told apart, not cut.
  std::string longName = "C:\\" + std::string(252, 'n') + ".gif";  // 259 bytes
  EXPECT_TRUE(ResolveListEntry(longName, 0, source, destination));
  EXPECT_EQ(ExamineListEntry("C:\\" + std::string(293, 'n') + ".gif", 0, source, destination),
            ListEntry::kTooLong);
  // Windows counts UTF-16 units (a Chinese character one, an emoji two),
  // Linux bytes.
  std::string units = "C:\\";
  for (int i = 0; i < 250; ++i) units += cat;
  units += "\xF0\x9F\x98\x80.gif";  // 3 + 250 + 2 + 4 = 259 units
#ifdef _WIN32
  EXPECT_EQ(ExamineListEntry(units, 0, source, destination), ListEntry::kFile);
  EXPECT_EQ(ExamineListEntry(cat + units, 0, source, destination), ListEntry::kTooLong);
#else
  EXPECT_EQ(ExamineListEntry(units, 0, source, destination), ListEntry::kTooLong);
#endif
  EXPECT_EQ(ExamineListEntry("x.gif", 1, source, destination), ListEntry::kMissing);
  // A source that fits, moved into a folder that makes its movie path too long.
  EXPECT_FALSE(ResolveListEntry(kDest + "D:\\" + std::string(100, 'f') + "\r\n" + longName, 1, source,
                                destination));
  // "Dest" without the whole prefix names no folder, not a piece of the next line.
  ASSERT_TRUE(ResolveListEntry("Dest\r\nC:\\a-rather-long-folder\\d.gif", 1, source, destination));
  EXPECT_EQ(destination, "C:\\a-rather-long-folder\\d.swf");
}

TEST(WindowRules, SaveAsGathersFilesUnderOneFolder) {
  FileList list;
  SetDestinationLine(list, "D:\\old");
  AppendSourceLine(list, "C:\\a\\x.gif");
  AppendSourceLine(list, "C:\\a\\notes.txt");
  SaveAsPlan one = PlanSaveAs(list);
  // two file lines, but only one is a GIF name: still asked as two files
  EXPECT_FALSE(one.singleFile);
  EXPECT_EQ(one.files, 1);
  EXPECT_EQ(one.lastSource, "C:\\a\\notes.txt");
  EXPECT_EQ(one.lastDestination, "D:\\old\\notes.txt");
  EXPECT_EQ(FolderOfPath(one.lastSource), "C:\\a");

  ApplySaveAs(list, one, "F:\\saved");
  EXPECT_EQ(list.text, kDest + "F:\\saved\r\nC:\\a\\x.gif");
  EXPECT_EQ(list.lineCount, 2);
  EXPECT_EQ(list.destCount, 1);
  EXPECT_EQ(ReadyCountText(list), "1" + kReadyTail);

  // one file: the chosen file's folder is used, a drive root keeps its backslash
  SaveAsPlan single = PlanSaveAs(list);
  EXPECT_TRUE(single.singleFile);
  EXPECT_EQ(single.lastDestination, "F:\\saved\\x.swf");
  EXPECT_EQ(FolderOfPath("G:\\typed-name.swf"), "G:\\");
  ApplySaveAs(list, single, FolderOfPath("G:\\elsewhere\\typed-name.swf"));
  std::string source, destination;
  ASSERT_TRUE(ResolveListEntry(list.text, 1, source, destination));
  EXPECT_EQ(destination, "G:\\elsewhere\\x.swf");
}

TEST(WindowRules, PlayCountStaysInRange) {
  MainWindowOptions options;
  options.playCount = 7;
  struct Case {
    const char* typed;
    int32_t count;
    const char* shown;
    bool caretToEnd;
  } cases[] = {
      {"0", 1, "1", true},         {"12", 12, "12", false},  {"70000", 12, "12", true},
      {"65535", 65535, "65535", false}, {"99999999999999999999", 65535, "65535", true},
      {"1", 1, "1", true},          {"007", 7, "7", false},
  };
  for (const Case& c : cases) {
    options.playCountText = c.typed;
    EXPECT_EQ(NormalisePlayCount(options), c.caretToEnd) << c.typed;
    EXPECT_EQ(options.playCount, c.count) << c.typed;
    EXPECT_EQ(options.playCountText, c.shown) << c.typed;
  }
  // empty: stays empty while typing; leaving it means loop forever
  options.playCountText.clear();
  options.loopForever = 0;
  options.changeLoop = 1;
  EXPECT_FALSE(NormalisePlayCount(options));
  EXPECT_EQ(options.playCountText, "");
  EXPECT_TRUE(LoopControlStates(options).countFields);
  EXPECT_FALSE(EmptyPlayCountLeft(options, true));
  EXPECT_EQ(options.loopForever, 0);
  EXPECT_TRUE(EmptyPlayCountLeft(options, false));
  EXPECT_EQ(options.loopForever, 1);
  EXPECT_EQ(options.playCount, 7);
  EXPECT_TRUE(LoopControlStates(options).loopForeverBox);
  EXPECT_FALSE(LoopControlStates(options).countFields);
  options.changeLoop = 0;
  EXPECT_FALSE(LoopControlStates(options).loopForeverBox);
}

TEST(WindowRules, PickerResultsAndOpenCommands) {
  const char one[] = "C:\\pics\\a.gif\0\0";
  EXPECT_EQ(SplitPickedFiles(one, sizeof one), std::vector<std::string>{"C:\\pics\\a.gif"});
  const char several[] = "C:\\pics\0a.gif\0b.gif\0c.gif\0\0";
  EXPECT_EQ(SplitPickedFiles(several, sizeof several),
            (std::vector<std::string>{"C:\\pics\\a.gif", "C:\\pics\\b.gif", "C:\\pics\\c.gif"}));
  const char root[] = "C:\\\0a.gif\0b.gif\0\0";
  EXPECT_EQ(SplitPickedFiles(root, sizeof root),
            (std::vector<std::string>{"C:\\a.gif", "C:\\b.gif"}));
  // an area filled to its end without the closing empty text gives nothing
  const char cut[] = {'C', ':', '\\', '\0', 'a', '.', 'g', 'i', 'f'};
  EXPECT_TRUE(SplitPickedFiles(cut, sizeof cut).empty());
  EXPECT_TRUE(SplitPickedFiles(several, 12).empty());

  const std::string url = "http://www.tervano.example/?q=" + std::string(400, 'u');
  EXPECT_EQ(BuildOpenCommand("\"C:\\b\\browser.exe\" -nohome \"%1\"", url),
            "\"C:\\b\\browser.exe\" -nohome  " + url);
  EXPECT_EQ(BuildOpenCommand("C:\\b\\browser.exe %1 -x", url), "C:\\b\\browser.exe  " + url);
  EXPECT_EQ(BuildOpenCommand("C:\\b\\browser.exe", url), "C:\\b\\browser.exe " + url);
}

}  // namespace
