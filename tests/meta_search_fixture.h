// A test fixture for the meta-search: an engine started on a copy of the
// installed data folder with the built page cleaner and PDF converter, its
// "se.ini" and "se_ctrl.ini" pointing at fake search engines served on
// 127.0.0.1, and a workspace. For tests that name the helper programs
// (QORA_PAGE_CLEANER, QORA_PDF_CONVERTER).
#ifndef QORA_TESTS_META_SEARCH_FIXTURE_H_
#define QORA_TESTS_META_SEARCH_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qora/engine.h"
#include "tests/fake_search_engines.h"
#include "tests/test_util.h"

namespace qora::test {

class MetaSearchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(site_.port(), 0);
    port_ = site_.port();
    data_ = dir_.path() + "data/";
    std::filesystem::copy(SourceDataFolder(), data_, std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(QORA_PAGE_CLEANER, data_ + "cln.exe");
    std::filesystem::copy_file(QORA_PDF_CONVERTER, data_ + "hlp22.exe");
    engines_ = {EngineOne(), EngineTwo(), NoMarkEngine(), EngineOne(), EngineOne()};
    WriteDefinitions();
    WriteControl("1", "1", "0", "0", "0");
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    EngineOpenWorkspace("wkspc.ini", &workspace_);
    ASSERT_GT(workspace_, 0);
  }

  void TearDown() override {
    site_.OpenGate();
    EngineDestroy();
  }

  // Writes "se.ini" for engines_.
  void WriteDefinitions() { site_.WriteDefinitions(data_, engines_); }

  // Writes "se_ctrl.ini" with engines 1 to 5 switched on ("1") or off.
  void WriteControl(const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d, const std::string& e) {
    FakeSearchEngines::WriteControl(data_, {a, b, c, d, e});
  }

  std::vector<std::string> SeenRequests() { return site_.SeenRequests(); }

  FakeSearchEngines site_;
  TempDir dir_;
  std::string data_;
  std::vector<EngineSection> engines_;
  int workspace_ = -1;
  int port_ = 0;
};

}  // namespace qora::test

#endif  // QORA_TESTS_META_SEARCH_FIXTURE_H_
