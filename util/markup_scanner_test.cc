#include "util/markup_scanner.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <random>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace qora {
namespace {

using Events = std::vector<std::string>;

// Records every call as "S:name[attributes]", "E:name" or
// "L:name=content[attributes]"; stops after `stop_after` calls when positive.
class RecordingHandler : public MarkupHandler {
 public:
  explicit RecordingHandler(int stop_after = 0) : stop_after_(stop_after) {}

  void StartElement(std::string_view name, std::string_view attributes) override {
    events.push_back("S:" + std::string(name) + "[" + std::string(attributes) + "]");
  }
  void EndElement(std::string_view name) override { events.push_back("E:" + std::string(name)); }
  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    events.push_back("L:" + std::string(name) + "=" + std::string(content) + "[" +
                     std::string(attributes) + "]");
  }
  bool Stop() override {
    ++stop_questions;
    return stop_after_ > 0 && static_cast<int>(events.size()) >= stop_after_;
  }

  Events events;
  int stop_questions = 0;

 private:
  int stop_after_;
};

Events Scan(std::string_view text, bool skip_header = false) {
  RecordingHandler handler;
  EXPECT_EQ(ScanMarkup(text, &handler, skip_header), 0);
  return handler.events;
}

TEST(MarkupScannerTest, NestedContainersAndLeaves) {
  EXPECT_EQ(Scan("<a x=\"1\"> lead <b><c>t</c> mid </b><d>u v</d> tail </a>"),
            (Events{"S:a[x=\"1\"]", "S:b[]", "L:c=t[]", "E:b", "L:d=u v[]", "E:a"}));
}

TEST(MarkupScannerTest, SiblingsAtTopLevelAndTextIgnored) {
  EXPECT_EQ(Scan("x<a>1</a> y <b></b>z"), (Events{"L:a=1[]", "L:b=[]"}));
}

TEST(MarkupScannerTest, AsksStopAfterEveryCall) {
  RecordingHandler handler;
  ScanMarkup("<a><b>1</b><c>2</c></a><d>3</d>", &handler, false);
  EXPECT_EQ(handler.events.size(), 5u);
  EXPECT_EQ(handler.stop_questions, 5);
}

TEST(MarkupScannerTest, AttributeTextFollowsFirstBlank) {
  EXPECT_EQ(Scan("<a k=\"v w\" j=\"2\">x</a>"), (Events{"L:a=x[k=\"v w\" j=\"2\"]"}));
  EXPECT_EQ(Scan("<a >x</a>"), (Events{"L:a=x[]"}));
  EXPECT_EQ(Scan("<a  >x</a>"), (Events{"L:a=x[ ]"}));
  // Line ends are not blanks: the name runs to the first blank.
  EXPECT_EQ(Scan("<a\nk=\"v\">x</a\nk=\"v\">"), (Events{"L:a\nk=\"v\"=x[]"}));
}

TEST(MarkupScannerTest, EmptyElementTagsAreLeavesWithoutContent) {
  EXPECT_EQ(Scan("<a><e/><f k=\"v\"/><g>1</g><h /></a>"),
            (Events{"S:a[]", "L:e=[]", "L:f=[k=\"v\"]", "L:g=1[]", "L:h=[]", "E:a"}));
  // An empty element does not need a closing tag, so a later element of the
  // same name is found on its own.
  EXPECT_EQ(Scan("<e/><e>2</e>"), (Events{"L:e=[]", "L:e=2[]"}));
}

TEST(MarkupScannerTest, FirstClosingTagEndsTheElement) {
  EXPECT_EQ(Scan("<a><a>x</a></a><b>1</b>"), (Events{"S:a[]", "E:a"}));
  // "</a>" does not close "ab"; met inside, it is a tag that is never closed.
  EXPECT_EQ(Scan("<ab>1</a></ab>"), (Events{"S:ab[]", "E:ab"}));
}

TEST(MarkupScannerTest, MissingClosingTagKeepsWhatCameBefore) {
  EXPECT_EQ(Scan("<a>1</a><b>2<c>3</c><d>4</d>"), (Events{"L:a=1[]"}));
  EXPECT_EQ(Scan("<r><a>1</a><b>2</r><s>5</s>"), (Events{"S:r[]", "L:a=1[]", "E:r", "L:s=5[]"}));
}

TEST(MarkupScannerTest, StopEndsAllLevels) {
  const std::string text = "<r><s><b>1</b><c>2</c></s><d>3</d></r><t>4</t>";
  RecordingHandler after_leaf(3);
  ScanMarkup(text, &after_leaf, false);
  EXPECT_EQ(after_leaf.events, (Events{"S:r[]", "S:s[]", "L:b=1[]"}));

  RecordingHandler after_end(5);
  ScanMarkup(text, &after_end, false);
  EXPECT_EQ(after_end.events, (Events{"S:r[]", "S:s[]", "L:b=1[]", "L:c=2[]", "E:s"}));

  RecordingHandler after_start(1);
  ScanMarkup(text, &after_start, false);
  EXPECT_EQ(after_start.events, (Events{"S:r[]"}));
}

TEST(MarkupScannerTest, NoEntityDecoding) {
  EXPECT_EQ(Scan("<a>&lt;&amp;</a>"), (Events{"L:a=&lt;&amp;[]"}));
}

TEST(MarkupScannerTest, MalformedInputEndsQuietly) {
  EXPECT_EQ(Scan(""), Events{});
  EXPECT_EQ(Scan("<"), Events{});
  EXPECT_EQ(Scan(">"), Events{});
  EXPECT_EQ(Scan("<<>>"), Events{});
  EXPECT_EQ(Scan("a<b"), Events{});
  EXPECT_EQ(Scan("</x>"), Events{});
  EXPECT_EQ(Scan("</x><a>1</a>"), Events{});
  EXPECT_EQ(Scan("<a></a"), Events{});
  EXPECT_EQ(Scan("<a/"), Events{});
  EXPECT_EQ(Scan("<a><b>1</b></a"), Events{});
  EXPECT_EQ(Scan("<>x</>"), (Events{"L:=x[]"}));
  EXPECT_EQ(Scan("</>"), (Events{"L:=[]"}));
  EXPECT_EQ(Scan("< />"), (Events{"L:=[]"}));
  EXPECT_EQ(Scan("<a b=\"unterminated>x</a>"), (Events{"L:a=x[b=\"unterminated]"}));
  EXPECT_EQ(Scan("<a><b>x</a></b>"), (Events{"S:a[]", "E:a"}));
}

// Runs ScanMarkup(text) on a thread whose stack is only `stack_size` bytes.
Events ScanOnSmallStack(const std::string& text, size_t stack_size) {
  struct Job {
    const std::string* text;
    Events events;
  } job{&text, {}};
  auto run = [](void* arg) -> void* {
    Job* job = static_cast<Job*>(arg);
    RecordingHandler handler;
    ScanMarkup(*job->text, &handler, false);
    job->events = std::move(handler.events);
    return nullptr;
  };
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  EXPECT_EQ(pthread_attr_setstacksize(&attributes, stack_size), 0);
  pthread_t thread;
  EXPECT_EQ(pthread_create(&thread, &attributes, run, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return job.events;
}

// Each level's closing tag is searched through all deeper levels, so the
// depth is kept moderate; 4000 levels would still overflow a 256 KiB stack
// if every level took a call frame.
TEST(MarkupScannerTest, DeepNestingOnASmallStack) {
  const int kDepth = 4000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<n" + std::to_string(i) + ">";
  text += "x";
  for (int i = kDepth - 1; i >= 0; --i) text += "</n" + std::to_string(i) + ">";
  Events events = ScanOnSmallStack(text, 256 * 1024);
  ASSERT_EQ(events.size(), 2u * kDepth - 1);
  EXPECT_EQ(events.front(), "S:n0[]");
  EXPECT_EQ(events[kDepth - 2], "S:n" + std::to_string(kDepth - 2) + "[]");
  EXPECT_EQ(events[kDepth - 1], "L:n" + std::to_string(kDepth - 1) + "=x[]");
  EXPECT_EQ(events[kDepth], "E:n" + std::to_string(kDepth - 2));
  EXPECT_EQ(events.back(), "E:n0");
}

// Every EndElement closes the innermost open StartElement, and every started
// element is ended when the scan was not stopped.
void ExpectBalanced(const Events& events, const std::string& text) {
  std::vector<std::string> open;
  for (const std::string& event : events) {
    if (event.rfind("S:", 0) == 0) {
      open.push_back(event.substr(2, event.rfind('[') - 2));
    } else if (event.rfind("E:", 0) == 0) {
      ASSERT_FALSE(open.empty()) << text;
      EXPECT_EQ(open.back(), event.substr(2)) << text;
      open.pop_back();
    }
  }
  EXPECT_TRUE(open.empty()) << text;
}

TEST(MarkupScannerTest, RandomMarkupTerminatesBalanced) {
  const char kAlphabet[] = "<<<>>>//ab \"=?!\n";
  std::mt19937 random(12345);
  std::uniform_int_distribution<size_t> pick(0, sizeof(kAlphabet) - 2);
  std::uniform_int_distribution<int> length(0, 60);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += kAlphabet[pick(random)];
    for (bool skip : {false, true}) {
      RecordingHandler handler;
      ASSERT_EQ(ScanMarkup(text, &handler, skip), 0);
      ExpectBalanced(handler.events, text);
    }
  }
}

TEST(MarkupScannerTest, HeaderSkipping) {
  const std::string body = "<a>1</a>";
  EXPECT_EQ(Scan("<?xml v=\"1\" ?>\n<!DOCTYPE d SYSTEM \"x\">\n" + body, true),
            (Events{"L:a=1[]"}));
  // Unskipped, the declaration is taken for a tag that is never closed.
  EXPECT_EQ(Scan("<?xml v=\"1\" ?>\n<!DOCTYPE d>\n" + body, false), Events{});
  // Several constructs of each kind are passed.
  EXPECT_EQ(Scan("<?a?><?b?><!c><!d>" + body, true), (Events{"L:a=1[]"}));
  // The search goes on past elements: the start ends after the last one.
  EXPECT_EQ(Scan("<?x?>" + body + "<?y?><b>2</b>", true), (Events{"L:b=2[]"}));
  EXPECT_EQ(Scan("<?x?>" + body + "<!y><b>2</b>", true), (Events{"L:b=2[]"}));
}

TEST(MarkupScannerTest, UnterminatedProcessingInstructionScansFromTheBeginning) {
  // From the beginning "<?x?>" is a tag that is never closed.
  EXPECT_EQ(Scan("<?x?><a>1</a><?broken", true), Events{});
  EXPECT_EQ(Scan("<?x?><a>1</a>", true), (Events{"L:a=1[]"}));
  EXPECT_EQ(Scan("<a>1</a><?broken", true), (Events{"L:a=1[]"}));
}

TEST(MarkupScannerTest, InstructionEndIsSearchedAfterItsStart) {
  // "<?>" does not close itself.
  EXPECT_EQ(Scan("<?><a>1</a>", true), Events{});
  EXPECT_EQ(Scan("<?>?><a>1</a>", true), (Events{"L:a=1[]"}));
}

TEST(MarkupScannerTest, UnterminatedDeclarationFallsBackToFirstSearch) {
  EXPECT_EQ(Scan("<?x?><a>1</a><!broken", true), (Events{"L:a=1[]"}));
  EXPECT_EQ(Scan("<?x?><a>1</a><!ok>", true), Events{});
  EXPECT_EQ(Scan("<a>1</a><!broken", true), (Events{"L:a=1[]"}));
  // Declarations passed before the unterminated one do not count.
  EXPECT_EQ(Scan("<?x?><a>1</a><!ok><b>2</b><!broken", true), (Events{"L:a=1[]"}));
}

TEST(MarkupScannerTest, JoinLines) {
  EXPECT_EQ(JoinLines(""), "  ");
  EXPECT_EQ(JoinLines("\n"), "   ");
  EXPECT_EQ(JoinLines("a\n"), " a  ");
  EXPECT_EQ(JoinLines("a\nb"), " a b  ");
  EXPECT_EQ(JoinLines("a\r\n\r\nb\r"), " a  b  ");
  EXPECT_EQ(JoinLines("a\rb\n"), " a\rb  ");
}

TEST(MarkupScannerTest, ScanFileJoinsLines) {
  test::TempDir dir;
  const std::string path = dir.path() + "doc.dml";
  test::WriteFile(path, "<?xml?>\r\n<a>\r\nx\r\n</a>\r\n<b k=\"\nv\">\n</b>");
  RecordingHandler handler;
  EXPECT_EQ(ScanMarkupFile(path, &handler, true), 0);
  EXPECT_EQ(handler.events, (Events{"L:a= x []", "L:b= [k=\" v\"]"}));
  bool opened = false;
  EXPECT_EQ(ReadJoinedLines(path, &opened), " <?xml?> <a> x </a> <b k=\" v\"> </b>  ");
  EXPECT_TRUE(opened);
}

TEST(MarkupScannerTest, ScanMissingFileFails) {
  test::TempDir dir;
  RecordingHandler handler;
  EXPECT_EQ(ScanMarkupFile(dir.path() + "missing.dml", &handler, true), -1);
  EXPECT_EQ(ScanMarkupFile(dir.path(), &handler, true), -1);
  EXPECT_TRUE(handler.events.empty());
  bool opened = true;
  EXPECT_EQ(ReadJoinedLines(dir.path() + "missing.dml", &opened), "");
  EXPECT_FALSE(opened);
}

using Strings = std::vector<std::string>;

TEST(ParseAttributesTest, PairsInOrder) {
  Strings names{"old"};
  Strings values{"old"};
  ParseAttributes("w=\"0.5\" c=\"3\"", &names, &values);
  EXPECT_EQ(names, (Strings{"w", "c"}));
  EXPECT_EQ(values, (Strings{"0.5", "3"}));
}

TEST(ParseAttributesTest, WhiteSpaceSkippedBeforeNamesKeptInValues) {
  Strings names;
  Strings values;
  ParseAttributes(" \n\tw=\" 0.5 \" \nc=\"\n3\n\"\n", &names, &values);
  EXPECT_EQ(names, (Strings{"w", "c"}));
  EXPECT_EQ(values, (Strings{" 0.5 ", "\n3\n"}));
  ParseAttributes("href = \"x\"", &names, &values);
  EXPECT_EQ(names, (Strings{"href "}));
  EXPECT_EQ(values, (Strings{"x"}));
}

TEST(ParseAttributesTest, StopsWhenEqualsOrQuotesAreMissing) {
  Strings names;
  Strings values;
  ParseAttributes("a=\"1\" b=\"2", &names, &values);
  EXPECT_EQ(names, (Strings{"a"}));
  EXPECT_EQ(values, (Strings{"1"}));
  ParseAttributes("a=\"1\" junk", &names, &values);
  EXPECT_EQ(values, (Strings{"1"}));
  ParseAttributes("a=1", &names, &values);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(values.empty());
  ParseAttributes("", &names, &values);
  EXPECT_TRUE(values.empty());
  ParseAttributes("a=\"\"", &names, &values);
  EXPECT_EQ(values, (Strings{""}));
}

}  // namespace
}  // namespace qora
