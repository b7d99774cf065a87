#include "shell/acquisition_requests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Page(const std::string& title, const std::string& text) {
  return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1><p>" + text +
         "</p></body></html>";
}

// A data folder made by "qora init" from the installed one, with the built
// page cleaner and PDF converter, and a folder of the user's pages.
class AcquisitionRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installed_ = dir_.path() + "installed/";
    fs::copy(test::SourceDataFolder(), installed_, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, installed_ + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, installed_ + "hlp22.exe");
    setenv("QORA_INSTALLED_DATA", installed_.c_str(), 1);
    data_ = dir_.path() + "data";
    ASSERT_EQ(Qora({"init", data_}).status, 0);
    pages_ = dir_.path() + "my pages/";
    fs::create_directories(pages_ + "more");
    WriteFile(pages_ + "volcano.html",
              Page("Volcanoes",
                   "A volcano erupts when magma and lava rise through the crust. "
                   "Lava flows cool into basalt. Volcanic ash falls far away."));
    WriteFile(pages_ + "bees.html", Page("Honey bees",
                                         "Honey bees live in a hive and make honey from nectar. "
                                         "The queen bee lays the eggs of the hive."));
    WriteFile(pages_ + "more/tides.htm", Page("Tides",
                                              "The tides of the sea rise and fall with the moon. "
                                              "Tidal currents run strongest at the new moon."));
    ASSERT_EQ(Qora({"lib", "new", "Nature"}).status, 0);
  }
  void TearDown() override { unsetenv("QORA_INSTALLED_DATA"); }

  Outcome Qora(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--data", data_});
    std::ostringstream out, err;
    const int status = RunCommandLine(arguments, out, err);
    return {status, out.str(), err.str()};
  }

  // The document ids of the first research result lines.
  std::string TopTitle(const std::string& keywords) {
    const Outcome outcome = Qora({"research", "--lib", "Nature", "--keywords", keywords});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::istringstream lines(outcome.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    return first;
  }

  int DocumentCount() {
    const Outcome outcome = Qora({"docs", "Nature"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    int lines = 0;
    for (char c : outcome.out) lines += c == '\n';
    return lines - 1;  // the heading
  }

  test::TempDir dir_;
  std::string installed_;
  std::string data_;
  std::string pages_;
};

TEST_F(AcquisitionRequestsTest, AddedFilesAreIndexedAndResearchable) {
  // A file that is not there is said, and nothing is imported.
  const Outcome missing =
      Qora({"add", "Nature", pages_ + "volcano.html", pages_ + "bees.html", pages_ + "none.html"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("There is no file " + pages_ + "none.html."), std::string::npos)
      << missing.err;
  EXPECT_EQ(DocumentCount(), 0);
  const Outcome added = Qora({"add", "Nature", pages_ + "volcano.html", pages_ + "bees.html"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "Nature: 2 new documents\n");
  EXPECT_EQ(DocumentCount(), 2);
  EXPECT_NE(TopTitle("lava magma").find("Volcanoes"), std::string::npos);
  EXPECT_NE(TopTitle("queen hive").find("Honey bees"), std::string::npos);
  // Adding the same file again stores nothing new, and says so.
  const Outcome again = Qora({"add", "Nature", pages_ + "bees.html"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "Nature: no new documents\n");
  EXPECT_EQ(DocumentCount(), 2);
}

TEST_F(AcquisitionRequestsTest, AddFolderWalksToTheGivenDepth) {
  ASSERT_EQ(Qora({"add-folder", "Nature", pages_, "--depth", "1"}).status, 0);
  EXPECT_EQ(DocumentCount(), 2);
  ASSERT_EQ(Qora({"add-folder", "Nature", pages_}).status, 0);  // depth 2 by default
  EXPECT_EQ(DocumentCount(), 3);
  EXPECT_NE(TopTitle("tides moon").find("Tides"), std::string::npos);
}

// A page can put terminal commands into its title and text, as bytes or as
// references; whatever the command line prints of it holds no control
// character but the line feed.
TEST_F(AcquisitionRequestsTest, StoredTextNeverCommandsTheTerminal) {
  WriteFile(pages_ + "hostile.html",
            Page("Lava &#27;]0;owned&#7; \x1b[2J&#x9B;6n\x9b"
                 "31m",
                 "Lava \x1b[31mflows&#27;[2J downhill. Magma\x07 rises \xC2\x9B"
                 "6n."));
  ASSERT_EQ(Qora({"add", "Nature", pages_ + "hostile.html"}).status, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"docs", "Nature"},
      {"docs", "Nature", "--xml"},
      {"research", "--lib", "Nature", "--keywords", "lava magma"},
      {"research", "--lib", "Nature", "--keywords", "lava magma", "--xml"},
      {"lib", "list"},
      {"lib", "list", "--xml"},
  };
  for (const auto& command : commands) {
    const Outcome outcome = Qora(command);
    EXPECT_EQ(outcome.status, 0) << command[0] << ": " << outcome.err;
    for (const std::string& text : {outcome.out, outcome.err}) {
      for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        // Every other character here is ASCII, so no byte of 0x7F to 0x9F
        // may stand anywhere.
        ASSERT_FALSE((byte < 0x20 && byte != '\n') || (byte >= 0x7F && byte < 0xA0))
            << command[0] << " prints byte " << static_cast<int>(byte) << " at " << i << ":\n"
            << text;
      }
    }
  }
  const Outcome docs = Qora({"docs", "Nature"});
  EXPECT_NE(docs.out.find("Lava  ]0;owned   [2J"), std::string::npos) << docs.out;
}

TEST_F(AcquisitionRequestsTest, RefusesWhatItCannotDo) {
  EXPECT_EQ(Qora({"add", "Nature"}).status, 2);
  EXPECT_EQ(Qora({"add-folder", "Nature", pages_, "--depth", "two"}).status, 2);
  EXPECT_EQ(AddFilesToLibrary("Nature", {"", ""}), "Please choose files");
  EXPECT_EQ(AddFolderToLibrary("Nature", "", 2, 1000, 50), "Please choose a folder");
  Outcome outcome = Qora({"add", "Nature", pages_ + "a|b.html"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("A file name holds \"|\""), std::string::npos) << outcome.err;
  outcome = Qora({"add", "Nowhere", pages_ + "bees.html"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("Nowhere"), std::string::npos) << outcome.err;
  outcome = Qora({"add-folder", "Nature", pages_, "--max-kb", "9999999"});
  EXPECT_EQ(outcome.status, 1);
  outcome = Qora({"add-folder", "Nature", pages_ + "none"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("There is no folder"), std::string::npos) << outcome.err;

  fs::remove(data_ + "/crawl.ini");
  outcome = Qora({"add", "Nature", pages_ + "bees.html"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("crawl.ini"), std::string::npos) << outcome.err;
  EXPECT_EQ(DocumentCount(), 0);
}

}  // namespace
}  // namespace qora
