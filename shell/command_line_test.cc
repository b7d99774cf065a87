#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <utility>

#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

using test::FolderSnapshot;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Qora(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  testing::internal::CaptureStderr();  // the engine's own messages
  const int status = RunCommandLine(arguments, out, err);
  return {status, out.str(), err.str() + testing::internal::GetCapturedStderr()};
}

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QORA_INSTALLED_DATA", SourceDataFolder().c_str(), 1); }
  TempDir dir_;
};

TEST_F(CommandLineTest, InitThenInfoShowsTheInstalledEnvironment) {
  const std::string data = dir_.path() + "qoralibs";
  Outcome init = Qora({"init", data});
  ASSERT_EQ(init.status, 0) << init.err;
  Outcome info = Qora({"--data", data, "info"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("pair window            5\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("stemming               on (stemmed_model = 1)"), std::string::npos);
  EXPECT_NE(info.out.find("stop words             127\n"), std::string::npos) << info.out;
  // The first start makes the temporary store.
  EXPECT_NE(info.out.find("temporary store        ds"), std::string::npos) << info.out;
  // The run ends by saving its word lists.
  EXPECT_NE(FolderSnapshot(data).find("words.arc"), std::string::npos);
}

TEST_F(CommandLineTest, BrokenEnvironmentFileFailsAndWritesNothing) {
  const std::string data = dir_.path() + "qoralibs";
  ASSERT_EQ(Qora({"init", data}).status, 0);
  WriteFile(data + "/main.ini", "%");
  const std::string before = FolderSnapshot(data);
  Outcome info = Qora({"--data", data, "info"});
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("\nfatal error: cfg file size < 5bytes (min allowed)\n"),
            std::string::npos)
      << info.err;
  EXPECT_EQ(info.out, "");
  EXPECT_EQ(FolderSnapshot(data), before);
}

TEST_F(CommandLineTest, WordListsThatCannotBeSavedFailTheRun) {
  const std::string data = dir_.path() + "qoralibs";
  ASSERT_EQ(Qora({"init", data}).status, 0);
  // A folder where the word archive must go: the run's end cannot save it.
  std::filesystem::create_directories(data + "/words.arc/blocked");
  Outcome info = Qora({"--data", data, "info"});
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.out.find("stop words             127\n"), std::string::npos) << info.out;
  EXPECT_NE(info.err.find("the word lists could not be saved"), std::string::npos) << info.err;
  std::filesystem::remove_all(data + "/words.arc");
  EXPECT_EQ(Qora({"--data", data, "info"}).status, 0);
}

TEST_F(CommandLineTest, WrongCommandLinesAreRefused) {
  EXPECT_EQ(Qora({}).status, 2);
  EXPECT_EQ(Qora({"frobnicate"}).status, 2);
  EXPECT_EQ(Qora({"--colour", "info"}).status, 2);
  EXPECT_EQ(Qora({"init"}).status, 2);
  Outcome help = Qora({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qora"), std::string::npos);
  WriteFile(dir_.path() + "notes.txt", "mine");
  Outcome again = Qora({"init", dir_.path()});  // exists and is not empty
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("is not empty"), std::string::npos) << again.err;
}

TEST_F(CommandLineTest, VersionIsTheProjectVersion) {
  for (const std::vector<std::string>& line :
       {std::vector<std::string>{"--version"}, {"--data", dir_.path() + "none", "--version"}}) {
    Outcome version = Qora(line);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "qora " QORA_VERSION "\n");
    EXPECT_EQ(version.err, "");
  }
  // The version is the one of project() in the top CMakeLists.txt.
  std::smatch project;
  const std::string cmake_lists = test::ReadFile(std::string(QORA_SOURCE_DIR) + "/CMakeLists.txt");
  ASSERT_TRUE(std::regex_search(cmake_lists, project,
                                std::regex(R"(project\(qora VERSION ([0-9][0-9.]*)[ )])")));
  EXPECT_EQ(Qora({"--version"}).out, "qora " + project[1].str() + "\n");
  // The overview names the version and the help of each command.
  Outcome help = Qora({"--help"});
  EXPECT_NE(help.out.find("qora --version"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("qora COMMAND --help"), std::string::npos) << help.out;
}

TEST_F(CommandLineTest, EachCommandHasItsOwnHelp) {
  // Help starts no engine: the data folder does not exist.
  const std::string missing = dir_.path() + "nowhere";
  const std::vector<std::pair<std::vector<std::string>, std::string>> commands = {
      {{"init"}, "qora init DIR"},
      {{"info"}, "qora [--data DIR] info"},
      {{"lib"}, "qora lib list|new|merge|empty|erase|process|repair ..."},
      {{"lib", "list"}, "qora lib list [--xml]"},
      {{"lib", "new"}, "qora lib new NAME"},
      {{"lib", "merge"}, "qora lib merge NEWNAME LIB..."},
      {{"lib", "empty"}, "qora lib empty LIB"},
      {{"lib", "erase"}, "qora lib erase LIB"},
      {{"lib", "process"}, "qora lib process LIB [--full]"},
      {{"lib", "repair"}, "qora lib repair"},
      {{"docs"}, "qora docs LIB [--start N] [--count N] [--xml] | docs rm LIB DOCID..."},
      {{"docs", "rm"}, "qora docs rm LIB DOCID..."},
      {{"research"},
       "qora research --lib LIB... (--keywords TEXT | --passage TEXT | "
       "--doc LIB:DOCID...) [--count N] [--expand] [--xml]"},
      {{"summary"},
       "qora summary LIB:DOCID... [--keywords TEXT | --passage TEXT] "
       "[--bias PERCENT] [--xml]"},
      {{"map"},
       "qora map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) [--concepts N] "
       "[--phrases N] [--xml]"},
      {{"add"}, "qora add LIB FILE..."},
      {{"add-folder"}, "qora add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]"},
      {{"crawl"},
       "qora crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] "
       "[--max-docs N] [--internal-only | --all-sites]"},
      {{"websearch"}, "qora websearch LIB WORDS... [--engines 1,3] [--results N]"},
      {{"quicksearch"}, "qora quicksearch WORDS... [--engines 1,3] [--results N]"},
  };
  for (const auto& [command, usage] : commands) {
    for (const char* flag : {"--help", "-h"}) {
      std::vector<std::string> line = {"--data", missing};
      line.insert(line.end(), command.begin(), command.end());
      line.push_back(flag);
      Outcome help = Qora(line);
      EXPECT_EQ(help.status, 0) << usage;
      EXPECT_EQ(help.err, "") << usage;
      EXPECT_EQ(help.out.rfind("usage: " + usage + "\n", 0), 0u) << help.out;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));

  Outcome research = Qora({"research", "--help"});
  for (const char* option : {"--lib LIB ...", "--keywords TEXT", "--passage TEXT",
                             "--doc LIB:DOCID ...", "--count N", "--expand", "--xml"}) {
    EXPECT_NE(research.out.find(std::string("\n  ") + option + " "), std::string::npos)
        << option << " in\n"
        << research.out;
  }
  EXPECT_NE(research.out.find("rank the documents of the libraries against the query"),
            std::string::npos);
  EXPECT_EQ(research.out.find("--concepts"), std::string::npos) << research.out;  // map's
  EXPECT_EQ(research.out.find("init DIR"), std::string::npos) << research.out;  // not the overview

  Outcome lib = Qora({"lib", "--help"});
  for (const char* verb : {"list", "new", "merge", "empty", "erase", "process", "repair"}) {
    EXPECT_NE(lib.out.find(std::string("\n  ") + verb + " "), std::string::npos) << lib.out;
  }
  Outcome add_folder = Qora({"add-folder", "--help"});
  for (const char* option : {"LIB", "FOLDER", "--depth N", "--max-kb N", "--max-docs N"}) {
    EXPECT_NE(add_folder.out.find(std::string("\n  ") + option + " "), std::string::npos)
        << option << " in\n"
        << add_folder.out;
  }
}

TEST_F(CommandLineTest, MalformedCommandLinesNameWhatIsWrongAndTouchNothing) {
  const std::string data = dir_.path() + "qoralibs";
  ASSERT_EQ(Qora({"init", data}).status, 0);
  ASSERT_EQ(Qora({"--data", data, "lib", "new", "Papers"}).status, 0);
  const std::string before = test::FolderSnapshot(data);
  // The line, and the start of what qora says about it.
  const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
      {{"research", "--lib", "Papers", "--keywords", "x", "--colour"},
       "qora: unknown option --colour\nusage: qora research --lib LIB..."},
      {{"docs", "Papers", "--colour", "red"}, "qora: unknown option --colour\nusage: qora docs"},
      {{"lib", "new", "Other", "--xml"}, "qora: unknown option --xml\nusage: qora lib new NAME"},
      {{"summary", "Papers:d1", "--doc", "Papers:d2"}, "qora: unknown option --doc\n"},
      {{"map", "--lib", "Papers", "--passage", "text"}, "qora: unknown option --passage\n"},
      {{"docs", "Papers", "--count"}, "qora: --count needs a value\n"},
      {{"research", "--keywords", "x", "--lib"}, "qora: --lib needs a value\n"},
      {{"research", "--lib", "Papers", "--doc"}, "qora: --doc needs a value\n"},
      {{"add-folder", "Papers", "folder", "--depth"}, "qora: --depth needs a value\n"},
      {{"lib", "new"}, "usage: qora lib new NAME\n"},
      {{"lib", "merge", "AB"}, "usage: qora lib merge NEWNAME LIB...\n"},
      {{"lib"}, "usage: qora lib list|new|merge|empty|erase|process|repair ...\n"},
      {{"lib", "frob"}, "qora: unknown command \"lib frob\"\nusage: qora lib list|new|"},
      {{"info", "extra"}, "qora: unexpected argument \"extra\"\nusage: qora [--data DIR] info\n"},
      {{"lib", "new", "A", "B"}, "qora: unexpected argument \"B\"\nusage: qora lib new NAME\n"},
      {{"docs", "Papers", "rm", "d1"}, "usage: qora docs LIB"},
      {{"docs", "rm", "Papers"}, "usage: qora docs rm LIB DOCID...\n"},
      {{"docs", "Papers", "--start", "x"}, "qora: --start and --count take whole numbers\n"},
      {{"research", "--lib", "Papers", "--keywords", "x", "--count", "many"},
       "qora: --count takes a whole number\nusage: qora research"},
      {{"research", "--lib", "Papers", "--keywords", "x", "--doc", "Papers:d1"},
       "qora: give one of --keywords, --passage and --doc\n"},
      {{"add", "Papers"}, "usage: qora add LIB FILE...\n"},
      {{"frobnicate"}, "qora: unknown command \"frobnicate\"\nusage: qora [--data DIR] COMMAND"},
  };
  for (const auto& [arguments, message] : lines) {
    std::vector<std::string> line = {"--data", data};
    line.insert(line.end(), arguments.begin(), arguments.end());
    Outcome outcome = Qora(line);
    EXPECT_EQ(outcome.status, 2) << message;
    EXPECT_EQ(outcome.out, "") << message;
    EXPECT_EQ(outcome.err.rfind(message, 0), 0u)
        << "expected " << message << "\ngot " << outcome.err;
  }
  Outcome no_value = Qora({"--data"});
  EXPECT_EQ(no_value.status, 2);
  EXPECT_EQ(no_value.err, "qora: --data needs a value\n");
  Outcome unknown = Qora({"--colour", "--data", data, "info"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "qora: unknown option --colour\n");
  Outcome no_command = Qora({"--data", data});
  EXPECT_EQ(no_command.status, 2);
  EXPECT_EQ(no_command.err.rfind("usage: qora [--data DIR] COMMAND", 0), 0u) << no_command.err;
  // A malformed line never starts the engine.
  EXPECT_EQ(test::FolderSnapshot(data), before);
}

// A data folder with the libraries "First" (the corpus's documents 1 to 15:
// the honey bees among them) and "Second" (16 to 30: the violin).
class TwoLibrariesTest : public CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    data_ = dir_.path() + "qoralibs";
    ASSERT_EQ(Qora({"init", data_}).status, 0);
    const std::vector<std::string> files = test::CorpusFiles();
    ASSERT_EQ(files.size(), 30u);
    for (int half = 0; half < 2; ++half) {
      const std::string name = half == 0 ? "First" : "Second";
      Outcome made = Run({"lib", "new", name});
      ASSERT_EQ(made.status, 0) << made.err;
      const std::string ident = made.out.substr(0, made.out.find('\n'));
      const std::vector<std::string> ids = test::AddTextDocuments(
          data_ + "/libraries/" + ident + "/loc_c/",
          std::vector<std::string>(files.begin() + half * 15, files.begin() + half * 15 + 15));
      ASSERT_EQ(ids.size(), 15u);
      (half == 0 ? first_ids_ : second_ids_) = ids;
      ASSERT_EQ(Run({"lib", "process", name}).status, 0);
    }
  }

  Outcome Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--data", data_});
    return Qora(arguments);
  }

  std::string data_;
  std::vector<std::string> first_ids_;
  std::vector<std::string> second_ids_;
};

constexpr char kBees[] = "Honey Bees and Their Hives";
constexpr char kViolin[] = "Making a Violin";

TEST_F(TwoLibrariesTest, SeveralLibrariesFollowOneLib) {
  const std::string keywords = "honey bees hive violin varnish";
  Outcome both = Run({"research", "--lib", "First", "Second", "--keywords", keywords});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.out.find(kBees), std::string::npos) << both.out;
  EXPECT_NE(both.out.find(kViolin), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("First "), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("Second "), std::string::npos) << both.out;
  // The same as --lib given twice, and wherever the option stands.
  Outcome repeated = Run({"research", "--lib", "First", "--lib", "Second", "--keywords", keywords});
  ASSERT_EQ(repeated.status, 0) << repeated.err;
  EXPECT_EQ(repeated.out, both.out);
  Outcome last = Run({"research", "--keywords", keywords, "--lib", "First", "Second"});
  ASSERT_EQ(last.status, 0) << last.err;
  EXPECT_EQ(last.out, both.out);
  // One library alone lists none of the other's documents.
  Outcome first = Run({"research", "--lib", "First", "--keywords", keywords});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find(kBees), std::string::npos) << first.out;
  EXPECT_EQ(first.out.find(kViolin), std::string::npos) << first.out;
  // A name after the libraries that is no library is refused by the flow.
  Outcome unknown = Run({"research", "--lib", "First", "Third", "--keywords", keywords});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("Third"), std::string::npos) << unknown.err;

  // The violin's terms are related in the second library only.
  Outcome first_map = Run({"map", "--lib", "First", "--keywords", "violin varnish"});
  EXPECT_EQ(first_map.status, 1);
  EXPECT_NE(first_map.err.find("no related terms"), std::string::npos) << first_map.err;
  Outcome map = Run({"map", "--lib", "First", "Second", "--keywords", "violin varnish"});
  EXPECT_EQ(map.status, 0) << map.err;
  Outcome map_repeated =
      Run({"map", "--lib", "First", "--lib", "Second", "--keywords", "violin varnish"});
  EXPECT_EQ(map_repeated.status, 0) << map_repeated.err;
  EXPECT_EQ(map_repeated.out, map.out);
}

TEST_F(TwoLibrariesTest, SeveralDocumentsFollowOneDoc) {
  const std::string bees = "First:" + first_ids_[3];       // 04-honey-bees
  const std::string violin = "Second:" + second_ids_[13];  // 29-violin-making
  Outcome both =
      Run({"research", "--lib", "First", "Second", "--doc", bees, violin, "--count", "4"});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.out.find(kBees), std::string::npos) << both.out;
  EXPECT_NE(both.out.find(kViolin), std::string::npos) << both.out;
  Outcome repeated =
      Run({"research", "--lib", "First", "Second", "--doc", bees, "--doc", violin, "--count", "4"});
  ASSERT_EQ(repeated.status, 0) << repeated.err;
  EXPECT_EQ(repeated.out, both.out);
  // The example alone finds its own document first, not the other one.
  Outcome one = Run({"research", "--lib", "First", "Second", "--doc", bees, "--count", "4"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find(kBees), std::string::npos) << one.out;
  EXPECT_NE(one.out, both.out);
  // Every value is checked: a malformed second document is named.
  Outcome malformed = Run({"research", "--lib", "First", "--doc", bees, "nocolon"});
  EXPECT_EQ(malformed.status, 2);
  EXPECT_EQ(malformed.err.rfind("qora: a document is named LIB:DOCID, not \"nocolon\"\n", 0), 0u)
      << malformed.err;

  Outcome map = Run({"map", "--lib", "First", "Second", "--doc", bees, violin});
  ASSERT_EQ(map.status, 0) << map.err;
  EXPECT_EQ(map.out.rfind("concept ", 0), 0u) << map.out;
  EXPECT_EQ(Run({"map", "--lib", "First", "Second", "--doc", bees, "--doc", violin}).out, map.out);
}

}  // namespace
}  // namespace qora
