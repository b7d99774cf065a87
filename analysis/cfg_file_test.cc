#include "analysis/cfg_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace qora {
namespace {

using Strings = std::vector<std::string>;

// Redirects std::cerr into a string for the lifetime of the object.
class CerrCapture {
 public:
  CerrCapture() : saved_(std::cerr.rdbuf(buffer_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(saved_); }
  std::string text() const { return buffer_.str(); }

 private:
  std::ostringstream buffer_;
  std::streambuf* saved_;
};

class CfgFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/qora_cfg_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes `bytes` to a file named `name` in the temporary directory.
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  CfgFile Load(const std::string& bytes) { return CfgFile::CfgLoad(Write("t.ini", bytes)); }

  // Loads `path` expecting failure; returns what was written to std::cerr.
  static std::string LoadError(const std::string& path) {
    CerrCapture capture;
    try {
      CfgFile::CfgLoad(path);
      ADD_FAILURE() << "no error loading " << path;
    } catch (const CfgError& e) {
      EXPECT_EQ(e.code(), -1);
    }
    return capture.text();
  }

  std::string dir_;
};

TEST_F(CfgFileTest, SizeLimits) {
  EXPECT_EQ(LoadError(Write("four", "a=bc")),
            "\nfatal error: cfg file size < 5bytes (min allowed)\n");
  EXPECT_EQ(Load("a=bcd").CfgGetAnyKey("a"), "bcd");

  std::string big = "k=v\n" + std::string(262140, ' ');
  ASSERT_EQ(big.size(), 262144u);
  CfgFile max = Load(big);
  EXPECT_EQ(max.lines(), Strings{"k=v"});
  EXPECT_EQ(LoadError(Write("big", big + " ")),
            "\nfatal error: cfg file size > 262144bytes (max allowed)\n");

  std::string missing = dir_ + "/missing.ini";
  EXPECT_EQ(LoadError(missing),
            "\nfatal error: could not get cfg file size of \"" + missing + "\"\n");
  EXPECT_EQ(LoadError(dir_), "\nfatal error: could not open cfg file \"" + dir_ + "\"\n");
}

TEST_F(CfgFileTest, CleansComments) {
  CfgFile cfg = Load(
      "rate = 50%\n"
      "share = 50% of all\n"
      "key = value   % comment\n"
      "% whole line comment\n"
      "   \n"
      "last=%\n");
  EXPECT_EQ(cfg.lines(), (Strings{"rate = 50%", "share = 50", "key = value", "last=%"}));
  EXPECT_EQ(cfg.CfgGetAnyKey("rate"), "50%");
  EXPECT_EQ(cfg.CfgGetAnyKey("share"), "50");
  EXPECT_EQ(cfg.CfgGetAnyKey("key"), "value");
  EXPECT_EQ(cfg.CfgGetAnyKey("last"), "%");
}

TEST_F(CfgFileTest, CleansLineEndsAndBlanks) {
  EXPECT_EQ(Load("[s]\nk = v").lines(), Load("[s]\nk = v\x1A").lines());
  EXPECT_EQ(Load("[s]\nk = v\x1A").lines(), (Strings{"[s]", "k = v"}));
  // Only a final 0x1A is dropped.
  EXPECT_EQ(Load("k=\x1Av\n").CfgGetAnyKey("k"), "\x1Av");

  CfgFile crlf = Load("[s]\r\nrate = 50%\r\n  k = v  \r\n\r\n");
  EXPECT_EQ(crlf.lines(), (Strings{"[s]", "rate = 50%", "k = v"}));
  EXPECT_EQ(crlf.CfgGet("s", "rate"), "50%");

  // Tabs survive cleaning and are removed only when the value is trimmed.
  CfgFile tabs = Load("  \tk\t=\tv\t  \n");
  EXPECT_EQ(tabs.lines(), Strings{"\tk\t=\tv\t"});
  EXPECT_EQ(tabs.CfgGetAnyKey("k"), "v");
}

TEST_F(CfgFileTest, CleanLinesDirect) {
  EXPECT_TRUE(CfgCleanLines("").empty());
  EXPECT_TRUE(CfgCleanLines("\x1A").empty());
  EXPECT_EQ(CfgCleanLines("a\r\r\nb"), (Strings{"a\r", "b"}));
  EXPECT_EQ(CfgCleanLines("a % b %\n"), Strings{"a"});
}

TEST_F(CfgFileTest, Sections) {
  CfgFile cfg = Load(
      "[environment]\n"
      "stopword_file = a.txt\n"
      "index_dir = idx\n"
      "[other]\n"
      "stopword_file = b.txt\n"
      "only_later = x\n"
      "plain flag\n"
      "[tail]\n");
  EXPECT_EQ(cfg.CfgGet("environment", "stopword_file"), "a.txt");
  EXPECT_EQ(cfg.CfgGet("other", "stopword_file"), "b.txt");
  EXPECT_EQ(cfg.CfgGetAnyKey("stopword_file"), "a.txt");
  EXPECT_EQ(cfg.CfgGet("environment", "only_later"), "");
  EXPECT_EQ(cfg.CfgGet("other", "only_later"), "x");
  EXPECT_EQ(cfg.CfgGet("environment", "Stopword_file"), "");
  EXPECT_EQ(cfg.CfgGet("Environment", "stopword_file"), "");
  EXPECT_EQ(cfg.CfgGet("missing", "stopword_file"), "");
  EXPECT_EQ(cfg.CfgGet("tail", "stopword_file"), "");
  EXPECT_EQ(cfg.CfgGet("other", "plain flag"), "plain flag");
  EXPECT_EQ(cfg.CfgGetAnyKey("plain flag"), "plain flag");
  EXPECT_EQ(cfg.CfgGetAnyKey("[tail]"), "");
  EXPECT_EQ(cfg.CfgGetAnyKey("absent"), "");
}

TEST_F(CfgFileTest, SectionEdgeCases) {
  // A single line is either no header or a header with nothing after it.
  EXPECT_EQ(Load("[s] k=v\n").CfgGet("s", "[s] k"), "");
  // The header only has to start with "[name]"; the first one wins.
  CfgFile cfg = Load("[s] extra\nk = 1\n[s]\nk = 2\n");
  EXPECT_EQ(cfg.CfgGet("s", "k"), "1");
  // The value runs from the first "=".
  EXPECT_EQ(Load("[s]\nk = a = b\n").CfgGet("s", "k"), "a = b");
}

TEST(CfgTrimTest, RemovesSpacesAndTabsAtBothEnds) {
  EXPECT_EQ(CfgTrim(" \t a b \t "), "a b");
  EXPECT_EQ(CfgTrim(" \t "), "");
  EXPECT_EQ(CfgTrim(""), "");
  EXPECT_EQ(CfgTrim("x"), "x");
}

Strings Split(std::string_view text, char separator) {
  Strings out{"stale"};
  CfgSplitList(text, separator, &out);
  return out;
}

TEST(CfgSplitListTest, SplitsAndDeletesBlanks) {
  EXPECT_EQ(Split("a, b ,'c,d',e", ','), (Strings{"a", "b", "c,d", "e"}));
  EXPECT_EQ(Split("a,,b", ','), (Strings{"a", "", "b"}));
  EXPECT_EQ(Split("a,b,", ','), (Strings{"a", "b", ""}));
  EXPECT_EQ(Split("x y\tz", ','), Strings{"xyz"});
  EXPECT_EQ(Split("a|b,c", '|'), (Strings{"a", "b,c"}));
  EXPECT_EQ(Split(",", ','), (Strings{"", ""}));
}

TEST(CfgSplitListTest, ProducesNothing) {
  EXPECT_TRUE(Split("a.b", '.').empty());
  EXPECT_TRUE(Split("a b", ' ').empty());
  EXPECT_TRUE(Split(std::string_view("a\0b", 3), '\0').empty());
  EXPECT_TRUE(Split("", ',').empty());
  EXPECT_TRUE(Split(" \t ", ',').empty());
}

TEST(CfgSplitListTest, Quotes) {
  EXPECT_EQ(Split("\"a, b\" , c", ','), (Strings{"a, b", "c"}));
  EXPECT_EQ(Split("x,\"it's\",'say \"hi\"'", ','), (Strings{"x", "it's", "say \"hi\""}));
  // A quote inside an element is ordinary text.
  EXPECT_EQ(Split("it's,b", ','), (Strings{"it's", "b"}));
  // Unclosed quote: the rest stays as it is, mark included, and is not split.
  EXPECT_EQ(Split("a,'b, c,d", ','), (Strings{"a", "'b, c,d"}));
  EXPECT_EQ(Split("\"x", ','), Strings{"\"x"});
}

TEST_F(CfgFileTest, WriteText) {
  std::string path = dir_ + "/out.ini";
  std::string text = "[s]\r\nk = v % c\n\x1A";
  EXPECT_EQ(CfgWriteText(path, text), text.size());
  std::ifstream in(path, std::ios::binary);
  std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, text);
  EXPECT_EQ(CfgWriteText(path, "short"), 5u);
  EXPECT_EQ(CfgFile::CfgLoad(path).lines(), Strings{"short"});

  std::string bad = dir_ + "/no/such/dir.ini";
  CerrCapture capture;
  EXPECT_THROW(CfgWriteText(bad, "x"), CfgError);
  EXPECT_EQ(capture.text(), "\nfatal error: could not open cfg file size of \"" + bad + "\"\n");
}

}  // namespace
}  // namespace qora
