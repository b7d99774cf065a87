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
              Page("Volcanoes", "A volcano erupts when magma and lava rise through the crust. "
                                "Lava flows cool into basalt. Volcanic ash falls far away."));
    WriteFile(pages_ + "bees.html",
              Page("Honey bees", "Honey bees live in a hive and make honey from nectar. "
                                 "The queen bee lays the eggs of the hive."));
    WriteFile(pages_ + "more/tides.htm",
              Page("Tides", "The tides of the sea rise and fall with the moon. "
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
  const Outcome added =
      Qora({"add", "Nature", pages_ + "volcano.html", pages_ + "bees.html", pages_ + "none.html"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(DocumentCount(), 2);
  EXPECT_NE(TopTitle("lava magma").find("Volcanoes"), std::string::npos);
  EXPECT_NE(TopTitle("queen hive").find("Honey bees"), std::string::npos);
  // Adding the same file again stores nothing new.
  ASSERT_EQ(Qora({"add", "Nature", pages_ + "bees.html"}).status, 0);
  EXPECT_EQ(DocumentCount(), 2);
}

TEST_F(AcquisitionRequestsTest, AddFolderWalksToTheGivenDepth) {
  ASSERT_EQ(Qora({"add-folder", "Nature", pages_, "--depth", "1"}).status, 0);
  EXPECT_EQ(DocumentCount(), 2);
  ASSERT_EQ(Qora({"add-folder", "Nature", pages_}).status, 0);  // depth 2 by default
  EXPECT_EQ(DocumentCount(), 3);
  EXPECT_NE(TopTitle("tides moon").find("Tides"), std::string::npos);
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

  fs::remove(data_ + "/crawl.ini");
  outcome = Qora({"add", "Nature", pages_ + "bees.html"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("crawl.ini"), std::string::npos) << outcome.err;
  EXPECT_EQ(DocumentCount(), 0);
}

}  // namespace
}  // namespace qora
