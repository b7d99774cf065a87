// Tests of the page cleaner ("cln.exe") and the PDF converter ("hlp22.exe"):
// their helpers directly, and the built programs as child processes started
// the way the engine starts them, on files in a temporary folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/pdf_builder.h"
#include "tests/test_util.h"
#include "tools/utf8_repair.h"
#include "tools/tool_support.h"

namespace qora::tools {
namespace {

namespace fs = std::filesystem;
using qora::test::ReadFile;
using qora::test::TempDir;
using qora::test::WriteFile;

// ---------------------------------------------------------------------------
// Running the built programs.

struct ProgramRun {
  bool exited = false;  // ended by itself (not by a signal, not killed here)
  int exit_code = -1;
  std::string error_output;  // what it wrote to standard error
};

// Starts `program` with exactly the argument list `argv` (argv[0] included)
// and the extra environment entries `environment` ("NAME=value"), and waits
// at most 60 seconds. Standard error is captured through a file in its own
// temporary folder, so that the folders under test hold only their files.
ProgramRun RunTool(const std::string& program, const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment = {}) {
  TempDir log_dir;
  const std::string log_path = log_dir.path() + "stderr.txt";
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen(log_path.c_str(), "w", stderr) == nullptr) _exit(126);
    for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
    execv(program.c_str(), arguments.data());
    _exit(127);
  }
  ProgramRun run;
  if (pid < 0) return run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << program << " did not finish within 60 seconds";
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run.exited = WIFEXITED(status);
  run.exit_code = run.exited ? WEXITSTATUS(status) : -1;
  run.error_output = ReadFile(log_path);
  return run;
}

ProgramRun RunCleaner(const std::string& input, const std::string& output,
                      const std::vector<std::string>& environment = {}) {
  return RunTool(QORA_PAGE_CLEANER, {"dummyarg", input, output}, environment);
}

ProgramRun RunConverter(const std::string& pdf, const std::vector<std::string>& environment = {}) {
  return RunTool(QORA_PDF_CONVERTER, {QORA_PDF_CONVERTER, pdf, "-htmlmeta", "-q"}, environment);
}

// The names of the entries of `folder`, sorted.
std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The archived copy the engine makes of a page: its base, the banner, then
// the page as fetched.
std::string ArchivedCopy(const std::string& address, const std::string& page) {
  std::string copy = "<base href=\"" + address + "\">\n";
  copy += "<script language=\"Javascript\">\n<!--\n";
  copy += "document.write(\"<font size = \\\"1\\\" face = \\\"verdana\\\">\");\n";
  copy +=
      "document.write (\"Archived by <a href=\\\"https://qora.example.org/\\\"> QORA</a>.\");\n";
  copy += "document.write(\"Original at: <a href=\\\"" + address + "\\\">" + address + "</a>\");\n";
  copy += "document.write(\"</font>\");\n//-->\n</script>\n";
  return copy + page;
}

// `html` without its script elements (the banner's script holds link markup
// of its own, in escaped quotes).
std::string WithoutScripts(const std::string& html) {
  std::string rest;
  size_t at = 0;
  for (size_t open = html.find("<script"); open != std::string::npos;
       open = html.find("<script", at)) {
    rest += html.substr(at, open - at);
    const size_t close = html.find("</script>", open);
    at = close == std::string::npos ? html.size() : close + 9;
  }
  return rest + html.substr(std::min(at, html.size()));
}

// Every value of `attribute` (lower case, as the cleaner writes names) in
// the tags of `html` outside scripts must sit in double quotes; returns how
// many there are, or -1 when one is not in double quotes.
int CountDoubleQuotedValues(const std::string& page, const std::string& attribute) {
  const std::string html = WithoutScripts(page);
  int count = 0;
  const std::string marker = " " + attribute + "=";
  for (size_t at = html.find(marker); at != std::string::npos; at = html.find(marker, at + 1)) {
    if (html[at + marker.size()] != '"') return -1;
    ++count;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Making PDF files.

// A one-page PDF whose Info dictionary holds `title` and a producer, and
// whose page shows `text`.
std::string MakePdf(const std::string& title, const std::string& text) {
  return test::OnePagePdf(title, text, " /Producer (tools_test)");
}

// ---------------------------------------------------------------------------
// Paths and files.

TEST(ToolPathsTest, HtmlPathReplacesTheExtension) {
  EXPECT_EQ("/c/0abc.html", HtmlPathBeside("/c/0abc.pdf"));
  EXPECT_EQ("/c/0abc.html", HtmlPathBeside("/c/0abc.PDF"));
  EXPECT_EQ("/c/a.tar.html", HtmlPathBeside("/c/a.tar.pdf"));
  EXPECT_EQ("/c.d/file.html", HtmlPathBeside("/c.d/file"));
  EXPECT_EQ("/c/.pdf.html", HtmlPathBeside("/c/.pdf"));
  EXPECT_EQ("doc.html", HtmlPathBeside("doc.pdf"));
}

TEST(ToolFilesTest, WriteInOneStepLeavesOnlyTheTarget) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteFileInOneStep(dir.path() + "out", dir.path() + "out.tmp", "new", &error))
      << error;
  EXPECT_EQ("new", ReadFile(dir.path() + "out"));
  EXPECT_EQ(std::vector<std::string>{"out"}, FolderNames(dir.path()));

  EXPECT_FALSE(WriteFileInOneStep(dir.path() + "no/out", dir.path() + "no/out.tmp", "x", &error));
  EXPECT_TRUE(Contains(error, "no/out.tmp")) << error;
  EXPECT_EQ(std::vector<std::string>{"out"}, FolderNames(dir.path()));
}

TEST(ToolFilesTest, ReadWholeFileKeepsEveryByteAndReportsMissingFiles) {
  TempDir dir;
  const std::string bytes("a\0b\xff\r\n", 6);
  WriteFile(dir.path() + "f", bytes);
  std::string read;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir.path() + "f", &read, &error));
  EXPECT_EQ(bytes, read);
  EXPECT_FALSE(ReadWholeFile(dir.path() + "none", &read, &error));
  EXPECT_TRUE(Contains(error, "none")) << error;
}

// ---------------------------------------------------------------------------
// Child processes.

TEST(ChildProcessTest, TimeLimitComesFromTheEnvironmentWhenValid) {
  unsetenv("QORA_TOOL_TIME_LIMIT_MS");
  EXPECT_EQ(5000, TimeLimitMilliseconds(5000));
  setenv("QORA_TOOL_TIME_LIMIT_MS", "250", 1);
  EXPECT_EQ(250, TimeLimitMilliseconds(5000));
  setenv("QORA_TOOL_TIME_LIMIT_MS", "-3", 1);
  EXPECT_EQ(5000, TimeLimitMilliseconds(5000));
  setenv("QORA_TOOL_TIME_LIMIT_MS", "12abc", 1);
  EXPECT_EQ(5000, TimeLimitMilliseconds(5000));
  unsetenv("QORA_TOOL_TIME_LIMIT_MS");
}

TEST(ChildProcessTest, RunProgramReportsStatusSignalAndTimeout) {
  const ChildResult three = RunProgram({"/bin/sh", "-c", "exit 3"}, 10000);
  EXPECT_EQ(ChildResult::Outcome::kExited, three.outcome);
  EXPECT_EQ(3, three.exit_code);
  EXPECT_FALSE(three.Succeeded());

  const ChildResult killed = RunProgram({"/bin/sh", "-c", "kill -TERM $$"}, 10000);
  EXPECT_EQ(ChildResult::Outcome::kSignalled, killed.outcome);
  EXPECT_EQ(SIGTERM, killed.signal_number);

  const auto start = std::chrono::steady_clock::now();
  const ChildResult stuck = RunProgram({"/bin/sleep", "20"}, 100);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(ChildResult::Outcome::kTimedOut, stuck.outcome);
  EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(ChildProcessTest, RunProgramPassesArgumentsWithoutAShell) {
  TempDir dir;
  const std::string target = dir.path() + "a b;$(x) \xe9.txt";
  const ChildResult touched = RunProgram({"touch", target}, 10000);
  ASSERT_TRUE(touched.Succeeded()) << touched.Describe();
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(std::vector<std::string>{"a b;$(x) \xe9.txt"}, FolderNames(dir.path()));

  const ChildResult failed = RunProgram({"sh", "-c", "exit 4"}, 10000);
  EXPECT_EQ(ChildResult::Outcome::kExited, failed.outcome);
  EXPECT_EQ(4, failed.exit_code);
}

TEST(ChildProcessTest, RunProgramReportsMissingProgramAndTimeout) {
  const ChildResult missing = RunProgram({"/nonexistent/qora-no-such-program"}, 10000);
  EXPECT_EQ(ChildResult::Outcome::kNotStarted, missing.outcome);
  EXPECT_EQ(ENOENT, missing.start_error);
  EXPECT_TRUE(Contains(missing.Describe(), "could not be started")) << missing.Describe();

  const auto start = std::chrono::steady_clock::now();
  const ChildResult slow = RunProgram({"sleep", "30"}, 150);
  EXPECT_EQ(ChildResult::Outcome::kTimedOut, slow.outcome);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// ---------------------------------------------------------------------------
// The page cleaner, run as the engine runs it.

class PageCleanerTest : public ::testing::Test {
 protected:
  // Writes `content` as the raw file, runs the cleaner on it with the output
  // path the engine uses (raw path + "_") and returns the output ("" when
  // none was written).
  std::string Clean(const std::string& content, ProgramRun* run = nullptr) {
    WriteFile(raw_path_, content);
    const ProgramRun done = RunCleaner(raw_path_, raw_path_ + "_");
    if (run != nullptr) *run = done;
    EXPECT_TRUE(done.exited);
    EXPECT_EQ(0, done.exit_code) << done.error_output;
    return ReadFile(raw_path_ + "_");
  }

  TempDir dir_;
  const std::string raw_path_ = dir_.path() + "0k2f9.htm";
};

TEST_F(PageCleanerTest, Utf8PageBecomesLatin1WithNumericReferences) {
  const std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
      "<title>Prix 5 \xe2\x82\xac \xe2\x80\x93 Caf\xc3\xa9</title></head>\n"
      "<body><p>Gr\xc3\xbc\xc3\x9f"
      "e \xe2\x80\x9cquoted\xe2\x80\x9d \xe4\xb8\xad and a\xc2\xa0"
      "b</p>"
      "</body></html>\n";
  const std::string cleaned = Clean(ArchivedCopy("http://example.com/d/", page));
  EXPECT_TRUE(Contains(cleaned, "<title>Prix 5 &#8364; &#8211; Caf\xe9</title>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned,
                       "Gr\xfc\xdf"
                       "e &#8220;quoted&#8221; &#20013; and a\xa0"
                       "b"))
      << cleaned;
  EXPECT_FALSE(Contains(cleaned, "\xc3\xa9"));  // no UTF-8 left
  EXPECT_FALSE(IsValidUtf8(cleaned));           // Latin-1 bytes are there
  EXPECT_TRUE(Contains(cleaned, "<base href=\"http://example.com/d/\">")) << cleaned;
}

TEST_F(PageCleanerTest, TheBannerStaysACommentedScriptInTheHead) {
  const std::string cleaned = Clean(ArchivedCopy("http://example.com/",
                                                 "<html><head><title>T</title></head>"
                                                 "<body><p>Body</p></body></html>"));
  const size_t script = cleaned.find("<script");
  const size_t comment = cleaned.find("<!--", script);
  const size_t comment_end = cleaned.find("-->", comment);
  const size_t head_end = cleaned.find("</head>");
  ASSERT_NE(std::string::npos, script) << cleaned;
  ASSERT_NE(std::string::npos, comment_end) << cleaned;
  EXPECT_LT(comment_end, head_end);
  EXPECT_TRUE(Contains(cleaned.substr(comment, comment_end - comment), "Original at:"));
  EXPECT_LT(head_end, cleaned.find("<p>Body</p>"));
}

TEST_F(PageCleanerTest, EveryAttributeValueEndsUpInDoubleQuotes) {
  const std::string page =
      "<html><head><title>Links</title></head><body>\n"
      "<p class=intro>Start <a href=next.html>Next</a>\n"
      "<A HREF='other.html' title=\"Other page\">Other</A>\n"
      "<a href=\"q.html?a=1&b=2\" target=_blank>Query</a>\n"
      "<iframe src=frame.html width=20></iframe>\n"
      "<img src='pic.png' alt='a \"quoted\" word'></body></html>";
  const std::string cleaned = Clean(ArchivedCopy("http://example.com/", page));
  EXPECT_EQ(4, CountDoubleQuotedValues(cleaned, "href")) << cleaned;  // base and three links
  EXPECT_EQ(2, CountDoubleQuotedValues(cleaned, "src")) << cleaned;
  EXPECT_EQ(1, CountDoubleQuotedValues(cleaned, "class")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<a href=\"next.html\">Next</a>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<a href=\"other.html\" title=\"Other page\">Other</a>"))
      << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<iframe src=\"frame.html\" width=\"20\"></iframe>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "alt=\"a &quot;quoted&quot; word\"")) << cleaned;
  // The engine decodes no entities, so an ampersand in an address stays bare.
  EXPECT_TRUE(Contains(cleaned, "<a href=\"q.html?a=1&b=2\" target=\"_blank\">")) << cleaned;
  EXPECT_EQ(std::string::npos, cleaned.find("='"));
}

TEST_F(PageCleanerTest, FramesetKeepsItsFrames) {
  const std::string page =
      "<html><head><title>Frames</title></head>"
      "<frameset cols=\"30%,70%\"><frame src=menu.html name=m><frame src='main.html'>"
      "<noframes><body>No frames</body></noframes></frameset></html>";
  const std::string cleaned = Clean(ArchivedCopy("http://example.com/", page));
  EXPECT_TRUE(Contains(cleaned, "<frame src=\"menu.html\" name=\"m\">")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<frame src=\"main.html\">")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<title>Frames</title>")) << cleaned;
}

TEST_F(PageCleanerTest, UndeclaredLatin1PageKeepsItsBytes) {
  const std::string page =
      "<html><head><title>Caf\xe9</title></head><body><p>na\xefve \x80 5, "
      "\x93q\x94 \x95 item, \xa9 2001</p></body></html>";
  const std::string cleaned = Clean(page);
  EXPECT_TRUE(Contains(cleaned, "<title>Caf\xe9</title>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "na\xefve &#8364; 5, &#8220;q&#8221; &#8226; item, \xa9 2001"))
      << cleaned;
}

TEST_F(PageCleanerTest, DeclaredCharsetIsHonoured) {
  const std::string koi8 =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=KOI8-R\">"
      "<title>\xf0\xd2\xc9\xd7\xc5\xd4</title></head><body><p>\xcd\xc9\xd2</p></body></html>";
  const std::string cleaned = Clean(koi8);
  EXPECT_TRUE(Contains(cleaned, "<title>&#1055;&#1088;&#1080;&#1074;&#1077;&#1090;</title>"))
      << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<p>&#1084;&#1080;&#1088;</p>")) << cleaned;

  const std::string windows =
      "<html><head><meta charset=windows-1252><title>x</title></head>"
      "<body><p>\x80 and \xe9</p></body></html>";
  EXPECT_TRUE(Contains(Clean(windows), "<p>&#8364; and \xe9</p>"));
}

TEST_F(PageCleanerTest, InvalidUtf8InADeclaredUtf8PageIsNotLost) {
  const std::string page =
      "<html><head><meta charset=\"utf-8\"><title>Mixed</title></head>"
      "<body><p>caf\xc3\xa9 and caf\xe9 for 5\xe2\x82\xac</p></body></html>";
  EXPECT_TRUE(Contains(Clean(page), "<p>caf\xe9 and caf\xe9 for 5&#8364;</p>"));
}

TEST_F(PageCleanerTest, MalformedHtmlStillGivesTextAndLinks) {
  const std::string page =
      "<html><body><p>Hello <a href=x.html>link <b>bold</p><table><tr><td>cell<td>"
      "<div>unclosed</table>after <unknowntag>custom</unknowntag> </i></i>"
      "<a href=y.html title=t\"q>last</a><p>tail";
  const std::string cleaned = Clean(page);
  for (const char* part : {"Hello", "link", "bold", "cell", "unclosed", "after", "custom", "last",
                           "tail", "href=\"x.html\"", "href=\"y.html\""}) {
    EXPECT_TRUE(Contains(cleaned, part)) << part << " missing from\n" << cleaned;
  }
  EXPECT_EQ(0, CountDoubleQuotedValues(cleaned, "href") < 0 ? 1 : 0) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "</html>")) << cleaned;
}

TEST_F(PageCleanerTest, TruncatedPageKeepsWhatItHas) {
  const std::string page =
      "<html><head><title>Cut short</title></head><body><p>First part "
      "\xc3\xa9t\xc3\xa9 <a href=\"kept.html\">kept</a> caf\xc3";
  const std::string cleaned = Clean(page + "<a hre");
  EXPECT_TRUE(Contains(cleaned, "<title>Cut short</title>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "First part \xe9t\xe9 <a href=\"kept.html\">kept</a>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "caf\xc3")) << cleaned;  // the cut-off byte, read as Latin-1
}

TEST_F(PageCleanerTest, BinaryFileGivesADocumentWithoutNulBytes) {
  std::string binary;
  unsigned state = 12345;
  for (int i = 0; i < 50000; ++i) {
    state = state * 1103515245u + 12345u;
    binary += static_cast<char>((state >> 16) & 0xFF);
  }
  binary += std::string(100, '\0');
  ASSERT_NE(std::string::npos, binary.find('<'));
  const std::string cleaned = Clean(binary);
  EXPECT_EQ(0u, cleaned.find("<!DOCTYPE html>\n<html>")) << cleaned.substr(0, 400);
  EXPECT_TRUE(Contains(cleaned, "</html>"));
  EXPECT_EQ(std::string::npos, cleaned.find('\0'));
}

TEST_F(PageCleanerTest, NulBytesInsideTextAreDropped) {
  const std::string page = std::string("<html><body><p>before\0\0after</p>\0</body></html>", 47);
  EXPECT_TRUE(Contains(Clean(page), "<p>beforeafter</p>"));
}

TEST_F(PageCleanerTest, AmpersandsInAddressesAreBare) {
  const std::string cleaned = Clean(
      "<html><body><a href=\"p?a=1&amp;b=2\">AT&amp;T &lt;tag&gt;</a>"
      "<a href='q?c=1&d=2'>Q&A</a></body></html>");
  // The text keeps the page's form of the ampersand; addresses get bare ones.
  EXPECT_TRUE(Contains(cleaned, "<a href=\"p?a=1&b=2\">AT&amp;T &lt;tag&gt;</a>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<a href=\"q?c=1&d=2\">Q&A</a>")) << cleaned;
}

TEST_F(PageCleanerTest, EmptyFileGivesAnEmptyDocument) {
  const std::string cleaned = Clean("");
  EXPECT_TRUE(Contains(cleaned, "<html>")) << cleaned;
  EXPECT_TRUE(Contains(cleaned, "<body>\n</body>")) << cleaned;
}

TEST_F(PageCleanerTest, LargePageLosesNoLink) {
  std::string page = "<html><head><title>Many</title></head><body>\n";
  for (int i = 0; i < 3000; ++i) {
    page += "<p>Paragraph " + std::to_string(i) + " with <a href=l" + std::to_string(i) +
            ".html>link " + std::to_string(i) + "</a>\n";
  }
  const std::string cleaned = Clean(page);
  EXPECT_EQ(3000, CountDoubleQuotedValues(cleaned, "href"));
  EXPECT_TRUE(Contains(cleaned, "<a href=\"l2999.html\">link 2999</a>"));
  // No wrapping: each paragraph stays on one line.
  EXPECT_TRUE(
      Contains(cleaned, "\n<p>Paragraph 1234 with <a href=\"l1234.html\">link 1234</a></p>\n"))
      << cleaned.substr(0, 600);
}

TEST_F(PageCleanerTest, OutputReplacesAnOlderFile) {
  WriteFile(raw_path_ + "_", "stale contents");
  EXPECT_TRUE(Contains(Clean("<title>Fresh</title>"), "<title>Fresh</title>"));
  EXPECT_EQ((std::vector<std::string>{"0k2f9.htm", "0k2f9.htm_"}), FolderNames(dir_.path()));
}

TEST(PageCleanerProgramTest, MissingInputWritesNothingAndFails) {
  TempDir dir;
  const ProgramRun run = RunCleaner(dir.path() + "absent.htm", dir.path() + "absent.htm_");
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "absent.htm")) << run.error_output;
  EXPECT_TRUE(FolderNames(dir.path()).empty());
}

TEST(PageCleanerProgramTest, UnwritableOutputLeavesNothingBehind) {
  TempDir dir;
  WriteFile(dir.path() + "p.htm", "<title>x</title>");
  const ProgramRun run = RunCleaner(dir.path() + "p.htm", dir.path() + "gone/p.htm_");
  EXPECT_EQ(1, run.exit_code);
  EXPECT_FALSE(run.error_output.empty());
  EXPECT_EQ(std::vector<std::string>{"p.htm"}, FolderNames(dir.path()));
}

TEST(PageCleanerProgramTest, WrongArgumentCountIsAUsageError) {
  const ProgramRun run = RunTool(QORA_PAGE_CLEANER, {"dummyarg", "only-one"});
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(2, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "usage")) << run.error_output;
}

TEST(PageCleanerProgramTest, PathsWithBlanksAndNonAsciiBytes) {
  TempDir dir;
  const std::string folder = dir.path() + "my pages/\xc3\xa9t\xe9 dir/";
  fs::create_directories(folder);
  const std::string input = folder + "a \xfc page.htm";
  WriteFile(input, "<html><head><title>Spaced</title></head><body>x</body></html>");
  const ProgramRun run = RunCleaner(input, input + "_");
  EXPECT_EQ(0, run.exit_code) << run.error_output;
  EXPECT_TRUE(Contains(ReadFile(input + "_"), "<title>Spaced</title>"));
  EXPECT_EQ((std::vector<std::string>{"a \xfc page.htm", "a \xfc page.htm_"}), FolderNames(folder));
}

// Paths are taken as they come: "*", "\" and quotes are part of the name.
TEST(PageCleanerProgramTest, StarsBackslashesAndQuotesArePartOfTheName) {
  TempDir dir;
  const std::string folder = dir.path() + "a*b\\c/";
  fs::create_directories(folder);
  const std::string input = folder + "\"x\" *\\y.htm";
  WriteFile(input, "<html><head><title>Odd</title></head><body>x</body></html>");
  const ProgramRun run = RunCleaner(input, input + "_");
  EXPECT_EQ(0, run.exit_code) << run.error_output;
  EXPECT_TRUE(Contains(ReadFile(input + "_"), "<title>Odd</title>"));
  EXPECT_EQ((std::vector<std::string>{"\"x\" *\\y.htm", "\"x\" *\\y.htm_"}), FolderNames(folder));
  // Nothing was written where a decoded name ("*" as blank, "\" as "/")
  // would point.
  EXPECT_EQ((std::vector<std::string>{"a*b\\c"}), FolderNames(dir.path()));
}

TEST(PageCleanerProgramTest, CleaningPastTheTimeLimitIsStoppedWithoutOutput) {
  TempDir dir;
  std::string nested = "<html><body>";
  for (int i = 0; i < 5000; ++i) nested += "<div><span>x";
  WriteFile(dir.path() + "deep.htm", nested);
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run =
      RunCleaner(dir.path() + "deep.htm", dir.path() + "deep.htm_", {"QORA_TOOL_TIME_LIMIT_MS=5"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "time limit")) << run.error_output;
  EXPECT_EQ(std::vector<std::string>{"deep.htm"}, FolderNames(dir.path()));

  // The same page within the ordinary limit is cleaned.
  const ProgramRun unlimited = RunCleaner(dir.path() + "deep.htm", dir.path() + "deep.htm_");
  EXPECT_EQ(0, unlimited.exit_code) << unlimited.error_output;
  EXPECT_TRUE(Contains(ReadFile(dir.path() + "deep.htm_"), "<span>x"));
}

// ---------------------------------------------------------------------------
// The PDF converter, run as the engine runs it.

TEST(PdfConverterTest, WritesTitleAndTextBeside) {
  TempDir dir;
  const std::string pdf = dir.path() + "1x9q.pdf";
  const std::string bytes = MakePdf("Quarterly Report \\(draft\\)", "Hello from the PDF test.");
  WriteFile(pdf, bytes);
  const ProgramRun run = RunConverter(pdf);
  ASSERT_EQ(0, run.exit_code) << run.error_output;
  EXPECT_EQ((std::vector<std::string>{"1x9q.html", "1x9q.pdf"}), FolderNames(dir.path()));
  EXPECT_EQ(bytes, ReadFile(pdf));

  const std::string html = ReadFile(dir.path() + "1x9q.html");
  EXPECT_EQ(0u, html.find("<html>")) << html;
  const size_t title = html.find("<title>Quarterly Report (draft)</title>");
  const size_t head_end = html.find("</head>");
  ASSERT_NE(std::string::npos, title) << html;
  EXPECT_LT(title, head_end);
  EXPECT_LT(head_end, html.find("Hello from the PDF test.")) << html;
}

TEST(PdfConverterTest, TextIsLatin1AndItsLessThanSignsAreEscaped) {
  TempDir dir;
  const std::string pdf = dir.path() + "sym.pdf";
  // \351 is "é" in both PDFDocEncoding (title) and WinAnsi (page text).
  WriteFile(pdf, MakePdf("Caf\\351 & Co", "Caf\\351: 5 < 6 & 7 > 2."));
  const ProgramRun run = RunConverter(pdf);
  ASSERT_EQ(0, run.exit_code) << run.error_output;
  const std::string html = ReadFile(dir.path() + "sym.html");
  EXPECT_TRUE(Contains(html, "<title>Caf\xe9 &amp; Co</title>")) << html;
  EXPECT_TRUE(Contains(html, "Caf\xe9: 5 &lt; 6 & 7 > 2.")) << html;
}

TEST(PdfConverterTest, PathWithBlanksAndNonAsciiBytes) {
  TempDir dir;
  const std::string folder = dir.path() + "web cache/\xc3\xbc \xe9/";
  fs::create_directories(folder);
  const std::string pdf = folder + "my doc.pdf";
  WriteFile(pdf, MakePdf("Spaced", "Text in a spaced folder."));
  const ProgramRun run = RunConverter(pdf);
  ASSERT_EQ(0, run.exit_code) << run.error_output;
  EXPECT_TRUE(Contains(ReadFile(folder + "my doc.html"), "Text in a spaced folder."));
  EXPECT_EQ((std::vector<std::string>{"my doc.html", "my doc.pdf"}), FolderNames(folder));
}

TEST(PdfConverterTest, PathWithStarsBackslashesAndQuotes) {
  TempDir dir;
  const std::string folder = dir.path() + "x*\\y/";
  fs::create_directories(folder);
  const std::string pdf = folder + "\"my\" *doc\\.pdf";
  WriteFile(pdf, MakePdf("Odd", "Text in an odd folder."));
  const ProgramRun run = RunConverter(pdf);
  ASSERT_EQ(0, run.exit_code) << run.error_output;
  EXPECT_TRUE(Contains(ReadFile(folder + "\"my\" *doc\\.html"), "Text in an odd folder."));
  EXPECT_EQ((std::vector<std::string>{"\"my\" *doc\\.html", "\"my\" *doc\\.pdf"}),
            FolderNames(folder));
}

TEST(PdfConverterTest, CorruptOrTruncatedPdfLeavesNoOutput) {
  TempDir dir;
  WriteFile(dir.path() + "junk.pdf", "%PDF-1.4\nthis is not really a PDF file\n");
  const ProgramRun junk = RunConverter(dir.path() + "junk.pdf");
  EXPECT_TRUE(junk.exited);
  EXPECT_EQ(1, junk.exit_code);
  EXPECT_TRUE(Contains(junk.error_output, "junk.pdf")) << junk.error_output;

  const std::string whole = MakePdf("Half", "Only half of this file is written.");
  WriteFile(dir.path() + "half.pdf", whole.substr(0, whole.size() / 2));
  const ProgramRun half = RunConverter(dir.path() + "half.pdf");
  EXPECT_TRUE(half.exited);
  EXPECT_NE(0, half.exit_code);
  EXPECT_FALSE(half.error_output.empty());
  EXPECT_EQ((std::vector<std::string>{"half.pdf", "junk.pdf"}), FolderNames(dir.path()));
}

TEST(PdfConverterTest, MissingPdfFails) {
  TempDir dir;
  const ProgramRun run = RunConverter(dir.path() + "absent.pdf");
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "absent.pdf")) << run.error_output;
  EXPECT_TRUE(FolderNames(dir.path()).empty());
}

TEST(PdfConverterTest, MissingArgumentIsAUsageError) {
  const ProgramRun run = RunTool(QORA_PDF_CONVERTER, {"hlp22.exe"});
  EXPECT_EQ(2, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "usage")) << run.error_output;
}

// The converter finds pdftotext through PATH; these tests put stand-ins for
// it (or nothing) on PATH to provoke the failures a real run rarely shows.
class PdfConverterFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdf_ = work_.path() + "doc.pdf";
    WriteFile(pdf_, MakePdf("T", "Text."));
  }

  // Installs a shell script named pdftotext in the stand-in folder.
  void InstallStandIn(const std::string& script) {
    const std::string path = bin_.path() + "pdftotext";
    WriteFile(path, "#!/bin/sh\nPATH=/usr/bin:/bin\n" + script);
    fs::permissions(path, fs::perms::owner_all);
  }

  ProgramRun Convert(const std::string& time_limit_ms = "20000") {
    return RunConverter(pdf_, {"PATH=" + bin_.path(), "QORA_TOOL_TIME_LIMIT_MS=" + time_limit_ms});
  }

  TempDir work_;
  TempDir bin_;
  std::string pdf_;
};

TEST_F(PdfConverterFailureTest, MissingPdftotextIsReported) {
  const ProgramRun run = Convert();
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "could not be started")) << run.error_output;
  EXPECT_EQ(std::vector<std::string>{"doc.pdf"}, FolderNames(work_.path()));
}

TEST_F(PdfConverterFailureTest, PartialOutputOfAFailedRunIsRemoved) {
  // Arguments: -htmlmeta -q -enc Latin1 PDF OUTPUT.
  InstallStandIn("printf '<html><head><title>partial' > \"$6\"\nexit 99\n");
  const ProgramRun run = Convert();
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "status 99")) << run.error_output;
  EXPECT_EQ(std::vector<std::string>{"doc.pdf"}, FolderNames(work_.path()));
}

TEST_F(PdfConverterFailureTest, HangingPdftotextIsStopped) {
  InstallStandIn("printf '<html>' > \"$6\"\nexec sleep 30\n");
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run = Convert("300");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "time limit")) << run.error_output;
  EXPECT_EQ(std::vector<std::string>{"doc.pdf"}, FolderNames(work_.path()));
}

TEST_F(PdfConverterFailureTest, OutputWithoutHtmlElementIsRefused) {
  InstallStandIn("printf 'plain words' > \"$6\"\nexit 0\n");
  const ProgramRun run = Convert();
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Contains(run.error_output, "<html>")) << run.error_output;
  EXPECT_EQ(std::vector<std::string>{"doc.pdf"}, FolderNames(work_.path()));
}

TEST_F(PdfConverterFailureTest, ArgumentsReachPdftotextUnchanged) {
  // The stand-in writes its arguments, one a line, as the "HTML" body.
  InstallStandIn(
      "{ printf '<html><body><pre>\\n'; for a in \"$@\"; do printf '%s\\n' \"$a\"; done;"
      " printf '</pre></body></html>\\n'; } > \"$6\"\n");
  const ProgramRun run = Convert();
  ASSERT_EQ(0, run.exit_code) << run.error_output;
  const std::string html = ReadFile(work_.path() + "doc.html");
  const std::string expected_start = "<html><body><pre>\n-htmlmeta\n-q\n-enc\nLatin1\n" + pdf_ +
                                     "\n" + work_.path() + "doc.html.part";
  EXPECT_EQ(0u, html.find(expected_start)) << html;
}

}  // namespace
}  // namespace qora::tools
