#include "shell/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/settings_keys.h"
#include "tests/test_util.h"

namespace qora {
namespace {

TEST(SettingsStoreTest, AMissingOrDamagedFileReadsAsTheDefaultsAndReadingWritesNothing) {
  test::TempDir dir;
  const std::string path = dir.path() + "cfg/settings.ini";
  const SettingsStore missing = SettingsStore::Load(path);
  EXPECT_EQ(Read(missing, settings::kRootFolder), "does_not_exist");
  EXPECT_EQ(Read(missing, settings::kInternalOnly), 1);
  EXPECT_EQ(Read(missing, settings::kNegUrls),
            ";prev+;random+;skip+popup+doubleclick+hitbox+/ads+/adfield+http://ads");
  EXPECT_FALSE(missing.ReadBinary(settings::kWindowPosSection, settings::kWindowPosKey));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "cfg"));

  // Values that are no numbers, lines that are nothing, a value before any
  // section: each read falls back alone, the rest is read.
  const SettingsStore damaged = SettingsStore::Parse(
      "stray=1\n[CrawlerOptions]\nDpth=two\nMaxDocs=99999999999\nMaxKB= 7 \ngarbage line\n"
      "[\n[Appearance]\nWindowPos=0A0\n[settings1]\nBIASPERCENT=-3\r\n");
  EXPECT_EQ(Read(damaged, settings::kDepth), 2);
  EXPECT_EQ(Read(damaged, settings::kMaxDocs), 50);
  EXPECT_EQ(Read(damaged, settings::kMaxKilobytes), 7);
  EXPECT_FALSE(damaged.ReadBinary("Appearance", "WindowPos"));  // odd count of digits
  EXPECT_EQ(Read(damaged, settings::kBiasPercent), -3);         // names match in any case
  EXPECT_FALSE(damaged.Contains("", "stray"));
}

TEST(SettingsStoreTest, EveryKindOfValueSurvivesSaveAndLoad) {
  test::TempDir dir;
  const std::string path = dir.path() + "new/folder/settings.ini";
  SettingsStore store;
  Write(&store, settings::kRootFolder, "/home/me/qoralibs/");
  Write(&store, settings::kUserLibVersion, -2147483647 - 1);
  Write(&store, settings::kStartUrls, "http://a.example/\r\nhttp://b.example/\t \\x41 ");
  Write(&store, settings::kNegWords, " lead\x1b\x7f");
  store.WriteBinary(settings::kWindowPosSection, settings::kWindowPosKey,
                    std::string("\0\x01\xFF", 3));
  ASSERT_EQ(store.Save(path), "");
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;  // one value, one line
  const SettingsStore loaded = SettingsStore::Load(path);
  EXPECT_EQ(loaded.Text(), text);
  EXPECT_EQ(Read(loaded, settings::kRootFolder), "/home/me/qoralibs/");
  EXPECT_EQ(Read(loaded, settings::kUserLibVersion), -2147483647 - 1);
  EXPECT_EQ(Read(loaded, settings::kStartUrls), "http://a.example/\r\nhttp://b.example/\t \\x41 ");
  EXPECT_EQ(Read(loaded, settings::kNegWords), " lead\x1b\x7f");
  EXPECT_EQ(loaded.ReadBinary("appearance", "windowpos"), std::string("\0\x01\xFF", 3));

  std::vector<std::string> visited;
  loaded.ForEach([&visited](const std::string& section, const std::string& key,
                            const std::string& value) {
    visited.push_back(section + "/" + key + "=" + value.substr(0, 4));
  });
  EXPECT_EQ(visited, (std::vector<std::string>{
                         "Main/rootFolder=/hom", "Main/userLibVersion=-214",
                         "CrawlerOptions/startURLs=http", "AdvancedOptions/negWords= lea",
                         "Appearance/WindowPos=0001"}));

  // A later write keeps the first spelling of the names and replaces the value.
  SettingsStore again = loaded;
  again.WriteInt("MAIN", "USERLIBVERSION", 3);
  EXPECT_NE(again.Text().find("[Main]\nrootFolder=/home/me/qoralibs/\nuserLibVersion=3\n"),
            std::string::npos)
      << again.Text();
}

TEST(SettingsStoreTest, AKeyThatLooksLikeAHeaderKeepsAValueEndingInABracket) {
  // "[a=x]" would read back as the header of a section "a=x".
  SettingsStore store = SettingsStore::Parse("[s]\n[a=x\\x5D\n");
  EXPECT_EQ(store.ReadString("s", "[a", "absent"), "x]");
  store.WriteString("s", "[", "]");
  const SettingsStore again = SettingsStore::Parse(store.Text());
  EXPECT_EQ(again.ReadString("s", "[a", "absent"), "x]") << store.Text();
  EXPECT_EQ(again.ReadString("s", "[", "absent"), "]") << store.Text();
  EXPECT_EQ(again.Text(), store.Text());
  // Other keys write a final bracket as it is.
  store.WriteString("s", "url", "http://[::1]");
  EXPECT_NE(store.Text().find("url=http://[::1]\n"), std::string::npos) << store.Text();
}

TEST(SettingsStoreTest, ASaveThatCannotWriteSaysSoAndKeepsTheOldFile) {
  test::TempDir dir;
  const std::string path = dir.path() + "settings.ini";
  test::WriteFile(path, "[Main]\nuserLibVersion=1\n");
  // The replacement is written beside the file first: a folder in its way
  // makes the write fail, as a full disk would.
  std::filesystem::create_directory(path + ".partial");
  SettingsStore store;
  store.WriteInt("Main", "userLibVersion", 2);
  std::string failure = store.Save(path);
  EXPECT_NE(failure.find("cannot write the settings file \"" + path + "\""), std::string::npos)
      << failure;
  EXPECT_EQ(test::ReadFile(path), "[Main]\nuserLibVersion=1\n");

  test::WriteFile(dir.path() + "plain", "");
  failure = store.Save(dir.path() + "plain/settings.ini");
  EXPECT_NE(failure.find("cannot make the folder"), std::string::npos) << failure;
}

// Sets an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    Set(value);
  }
  ~ScopedVariable() { Set(had_ ? old_.c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  void Set(const char* value) {
    if (value != nullptr) {
      setenv(name_, value, 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(SettingsStoreTest, ThePathFollowsTheEnvironment) {
  ScopedVariable settings("QORA_SETTINGS", nullptr);
  ScopedVariable config("XDG_CONFIG_HOME", "/tmp/xdg-config");
  ScopedVariable home("HOME", "/home/someone");
  EXPECT_EQ(SettingsFilePath(), "/tmp/xdg-config/qora/settings.ini");
  config.Set("relative");  // not absolute: ignored
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/qora/settings.ini");
  settings.Set("/elsewhere/mine.ini");
  EXPECT_EQ(SettingsFilePath(), "/elsewhere/mine.ini");
  settings.Set("");
  home.Set(nullptr);
  config.Set(nullptr);
  EXPECT_EQ(SettingsFilePath(), "");
}

TEST(SettingsKeysTest, PagesReadTheirDefaultsListsAndTheEngineRule) {
  SettingsStore store;
  AdvancedOptions advanced = ReadAdvancedOptions(store);
  EXPECT_EQ(advanced.negative_addresses,
            ";prev ;random ;skip popup doubleclick hitbox /ads /adfield http://ads");
  EXPECT_EQ(advanced.min_pages, 1);
  EXPECT_EQ(advanced.max_pages, 10);
  EXPECT_EQ(advanced.min_links, 1);
  const CrawlerOptions crawler = ReadCrawlerOptions(store);
  EXPECT_TRUE(crawler.internal_only);
  EXPECT_EQ(crawler.depth, 2);
  EXPECT_EQ(crawler.kilobytes, 1000);
  EXPECT_EQ(crawler.sites, 100);
  EXPECT_EQ(crawler.documents, 50);
  EngineOptions engines = ReadEngineOptions(store);  // all off reads as engine 1 on
  EXPECT_EQ(engines.selected, (std::array<bool, 5>{true, false, false, false, false}));
  EXPECT_EQ(engines.results, (std::array<int, 5>{50, 50, 50, 50, 50}));

  store.WriteInt("EngineOptions", "selEng4", 1);
  store.WriteInt("EngineOptions", "numResEng4", 7);
  engines = ReadEngineOptions(store);
  EXPECT_EQ(engines.selected, (std::array<bool, 5>{false, false, false, true, false}));
  EXPECT_EQ(engines.results[3], 7);

  store.WriteString("AdvancedOptions", "negWords", "casino+lottery");
  store.WriteInt("AdvancedOptions", "minNumPages", 3);
  store.WriteInt("CrawlerOptions", "Dpth", 5);
  EXPECT_EQ(ReadAdvancedOptions(store).negative_words, "casino lottery");
  ResetOptionSection(&store, settings::kAdvancedOptions);
  advanced = ReadAdvancedOptions(store);
  EXPECT_EQ(advanced.negative_words, "");
  EXPECT_EQ(advanced.min_pages, 1);
  EXPECT_EQ(ReadCrawlerOptions(store).depth, 5);  // another section is left alone
}

TEST(SettingsKeysTest, PaneLayoutDefaultsFollowTheScreen) {
  SettingsStore store;
  store.WriteInt("Appearance", "frameTop", 12);
  const PaneLayout layout = ReadPaneLayout(store, 1001, 803);
  EXPECT_EQ(layout.splitter_edge1, 180);  // 9*803/40, integer division
  EXPECT_EQ(layout.splitter_edge2, 722);
  EXPECT_EQ(layout.frame_bottom, 722);
  EXPECT_EQ(layout.frame_right, 800);
  EXPECT_EQ(layout.frame_top, 12);
  EXPECT_EQ(layout.frame_left, 0);
}

}  // namespace
}  // namespace qora
