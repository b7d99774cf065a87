// `qora` killed with SIGKILL at random moments of importing, processing,
// crawling, merging and erasing documents, then `qora lib repair`: every
// library must come out consistent (its document tables, DML files, index
// files and master index agree) and no document that was complete when the
// program died may be lost. The application, killed during a crawl, must ask
// its repair question on the next start and repair when told to.
//
// Each operation is first run to its end once, to time it; the kills then
// fall at random moments spread over that time (one in each of as many equal
// slots), from a seed printed with every failure.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/term_vector.h"
#include "store/cache_table.h"
#include "tests/spawned_program.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"
#include "util/file_bytes.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Document ids by library identifier.
using Documents = std::map<std::string, std::set<std::string>>;

constexpr const char* kHalves[][2] = {{"loc_c/", "loc_i/"}, {"web_c/", "web_i/"}};

std::string ValueOf(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    name.erase(name.find_last_not_of(" \t") + 1);
    name.erase(0, name.find_first_not_of(" \t"));
    if (name != key) continue;
    std::string value = line.substr(equals + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    value.erase(value.find_last_not_of(" \t\r") + 1);
    return value;
  }
  return "";
}

// The binary form of `vector`, to compare two vectors bit for bit.
std::string Bytes(const TermVector& vector) {
  std::ostringstream out;
  vector.WriteVector(out);
  return out.str();
}

// The data folder's libraries as their files say, and what is wrong with
// them.
class LibraryFiles {
 public:
  explicit LibraryFiles(std::string data) : data_(std::move(data)) {}

  // Identifiers of the libraries (description files) but the temporary store.
  std::vector<std::string> Libraries() const {
    const std::string temp = ValueOf(test::ReadFile(data_ + "tmpdoc.ini"), "temp_docstore");
    std::vector<std::string> idents;
    for (const auto& entry : fs::directory_iterator(data_ + "libraries")) {
      if (entry.path().extension() != ".ini") continue;
      const std::string ident = entry.path().stem().string();
      if (ident != temp) idents.push_back(ident);
    }
    return idents;
  }

  // The documents of every library whose DML file is there: complete enough
  // that a repair must keep them.
  Documents Complete() const {
    Documents documents;
    for (const std::string& ident : Libraries()) {
      std::set<std::string>& ids = documents[ident];
      for (const auto& half : kHalves) {
        const std::string cache = Folder(ident) + half[0];
        CacheTable table;
        table.Load(cache + "cache.chx");
        for (size_t i = 0; i < table.size(); ++i) {
          if (fs::exists(cache + table.at(i).id + ".dml")) ids.insert(table.at(i).id);
        }
      }
    }
    return documents;
  }

  // What disagrees among the files of every library ("" when nothing): a
  // listed document without its DML or index file, or not marked processed;
  // a DML or index file no table lists; a master index that is not the sum of the
  // documents' index files.
  std::string Faults() const {
    std::string faults;
    for (const std::string& ident : Libraries()) {
      if (!fs::is_directory(Folder(ident))) {
        faults += ident + ": description without folder\n";
        continue;
      }
      for (const auto& half : kHalves) faults += HalfFaults(ident, half[0], half[1]);
    }
    return faults;
  }

 private:
  std::string Folder(const std::string& ident) const { return data_ + "libraries/" + ident + "/"; }

  std::string HalfFaults(const std::string& ident, const std::string& cache_name,
                         const std::string& index_name) const {
    const std::string where = ident + "/" + cache_name;
    const std::string cache = Folder(ident) + cache_name;
    const std::string index = Folder(ident) + index_name;
    CacheTable table;
    table.Load(cache + "cache.chx");
    std::string faults;
    std::set<std::string> listed = {"master.idx"};
    TermVector sum;
    for (size_t i = 0; i < table.size(); ++i) {
      const CacheEntry& entry = table.at(i);
      listed.insert(entry.id + ".idx");
      if (!fs::exists(cache + entry.id + ".dml")) faults += where + entry.id + ": no DML file\n";
      if (entry.processed != 1) faults += where + entry.id + ": not processed\n";
      std::string bytes;
      if (!ReadWholeFile(index + entry.id + ".idx", &bytes)) {
        faults += where + entry.id + ": no index file\n";
        continue;
      }
      std::string_view rest = bytes;
      TermVector plain;
      plain.ReadVector(&rest);
      sum.Merge(plain);
    }
    for (const auto& file : fs::directory_iterator(cache)) {
      const std::string name = file.path().filename().string();
      if (file.path().extension() == ".dml" && !table.Contains(file.path().stem().string())) {
        faults += where + name + ": DML file of no document\n";
      }
    }
    for (const auto& file : fs::directory_iterator(index)) {
      // The library template keeps its empty folders with a ".keep" file.
      const std::string name = file.path().filename().string();
      if (listed.count(name) == 0 && name != ".keep") {
        faults += ident + "/" + index_name + name + ": index file of no document\n";
      }
    }
    std::string master_bytes;
    if (!ReadWholeFile(index + "master.idx", &master_bytes)) {
      if (table.size() != 0) faults += where + ": no master index\n";
      return faults;
    }
    std::string_view rest = master_bytes;
    TermVector master;
    master.ReadVector(&rest);
    if (Bytes(master) != Bytes(sum)) {
      faults += where + ": master index is not the sum of its " + std::to_string(table.size()) +
                " documents\n";
    }
    return faults;
  }

  std::string data_;
};

std::set<std::string> AllIds(const Documents& documents) {
  std::set<std::string> all;
  for (const auto& [ident, ids] : documents) all.insert(ids.begin(), ids.end());
  return all;
}

// `wanted` ids missing from `have`, listed.
std::string Missing(const std::set<std::string>& wanted, const std::set<std::string>& have) {
  std::string missing;
  for (const std::string& id : wanted) {
    if (have.count(id) == 0) missing += " " + id;
  }
  return missing;
}

class CrashRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seed_ = static_cast<unsigned>(std::random_device{}());
    random_.seed(seed_);
    // Three folders of the sample pages under different paths: three sets of
    // documents with ids of their own.
    fs::create_directories(dir_.path() + "pages");
    for (const char* copy : {"one", "two", "three"}) {
      fs::copy(std::string(QORA_SOURCE_DIR) + "/samples/library", dir_.path() + "pages/" + copy,
               fs::copy_options::recursive);
    }
    ASSERT_EQ(Qora({"init", dir_.path() + "template"}), 0);
  }

  void TearDown() override {
    if (HasFailure()) std::cerr << "seed " << seed_ << "\n";
  }

  std::string Pages(const std::string& copy) { return dir_.path() + "pages/" + copy; }

  // `qora --data DATA words...` to its end; its exit status (-1 when it
  // did not end within a minute).
  int Qora(std::vector<std::string> words, const std::string& data = "") {
    return test::WaitForExit(Spawn(std::move(words), data), std::chrono::minutes(1));
  }

  pid_t Spawn(std::vector<std::string> words, const std::string& data = "",
              const std::vector<std::string>& extra_environment = {}) {
    if (!data.empty()) words.insert(words.begin(), {"--data", data});
    words.insert(words.begin(), QORA_PROGRAM);
    std::vector<std::string> variables = {"QORA_SETTINGS=" + settings_, "HOME=" + dir_.path(),
                                          "PATH=/usr/bin:/bin"};
    variables.insert(variables.end(), extra_environment.begin(), extra_environment.end());
    const pid_t pid = test::SpawnProgram(std::move(words), std::move(variables),
                                         dir_.path() + "log.txt");
    EXPECT_GT(pid, 0);
    return pid;
  }

  // A fresh copy of the template data folder as prepared so far.
  std::string FreshData() {
    const std::string data = dir_.path() + "run" + std::to_string(++runs_) + "/";
    fs::copy(dir_.path() + "template", data, fs::copy_options::recursive);
    return data;
  }

  // Runs `words` on a fresh copy of the template once to its end, to time
  // it, and then again and again, each run killed at a random moment of
  // that time, until `kills` kills have hit the running program (a run may
  // end before its moment comes). After each kill the libraries are
  // repaired and checked; `lost_allowed` are ids the operation itself
  // removes.
  void KillRepeatedly(const std::vector<std::string>& words, int kills,
                      const std::set<std::string>& lost_allowed = {}) {
    const std::string reference = FreshData();
    const auto begin = Clock::now();
    ASSERT_EQ(Qora(words, reference), 0) << test::ReadFile(dir_.path() + "log.txt");
    const auto took = Clock::now() - begin;
    EXPECT_EQ(LibraryFiles(reference).Faults(), "");
    std::uniform_real_distribution<double> moment(0, 1);
    for (int run = 0; run < 3 * kills && kill_points_ < kills; ++run) {
      const auto delay = std::chrono::duration_cast<Clock::duration>(took * moment(random_));
      KillAndRepair(words, delay, lost_allowed);
      if (HasFatalFailure()) return;
    }
  }

  void KillAndRepair(const std::vector<std::string>& words, Clock::duration delay,
                     const std::set<std::string>& lost_allowed) {
    const std::string data = FreshData();
    const LibraryFiles files(data);
    const std::set<std::string> before = AllIds(files.Complete());
    const pid_t pid = Spawn(words, data);
    std::this_thread::sleep_for(delay);
    int status = 0;
    const bool ran = ::waitpid(pid, &status, WNOHANG) == 0;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    if (ran) ++kill_points_;
    const std::set<std::string> at_kill = AllIds(files.Complete());
    ASSERT_EQ(Qora({"lib", "repair"}, data), 0) << test::ReadFile(dir_.path() + "log.txt");
    const std::string moment = "killed " +
                               std::to_string(std::chrono::duration_cast<milliseconds>(delay).count()) +
                               " ms into `" + words.front() + " " + words[1] + "`: ";
    EXPECT_EQ(files.Faults(), "") << moment << "the libraries disagree";
    const std::set<std::string> after = AllIds(files.Complete());
    std::set<std::string> kept;
    for (const std::string& id : before) {
      if (lost_allowed.count(id) == 0) kept.insert(id);
    }
    EXPECT_EQ(Missing(kept, after), "") << moment << "documents of before are lost";
    std::set<std::string> complete;
    for (const std::string& id : at_kill) {
      if (lost_allowed.count(id) == 0) complete.insert(id);
    }
    EXPECT_EQ(Missing(complete, after), "") << moment << "documents complete at the kill are lost";
  }

  // Makes library `name` in the template from the pages of `copy`.
  void TemplateLibrary(const std::string& name, const std::string& copy) {
    ASSERT_EQ(Qora({"lib", "new", name}, dir_.path() + "template"), 0);
    ASSERT_EQ(Qora({"add-folder", name, Pages(copy)}, dir_.path() + "template"), 0)
        << test::ReadFile(dir_.path() + "log.txt");
  }

  // Ends the test with the number of kills that hit a running program.
  void ExpectKillPoints(int at_least) {
    std::cout << "[ kills ] " << ::testing::UnitTest::GetInstance()->current_test_info()->name()
              << ": " << kill_points_ << " kills hit the running program\n";
    EXPECT_GE(kill_points_, at_least);
  }

  test::TempDir dir_;
  // The settings file of the programs run; none by default.
  std::string settings_ = dir_.path() + "no-settings.ini";
  unsigned seed_ = 0;
  std::mt19937 random_;
  int runs_ = 0;
  int kill_points_ = 0;
};

TEST_F(CrashRecoveryTest, ImportingAFolder) {
  TemplateLibrary("A", "one");
  KillRepeatedly({"add-folder", "A", Pages("two")}, 12);
  ExpectKillPoints(12);
}

TEST_F(CrashRecoveryTest, ProcessingALibraryWhole) {
  TemplateLibrary("A", "one");
  ASSERT_EQ(Qora({"add-folder", "A", Pages("two")}, dir_.path() + "template"), 0);
  KillRepeatedly({"lib", "process", "A", "--full"}, 10);
  ExpectKillPoints(10);
}

TEST_F(CrashRecoveryTest, MergingLibraries) {
  TemplateLibrary("A", "one");
  TemplateLibrary("B", "two");
  TemplateLibrary("C", "three");
  KillRepeatedly({"lib", "merge", "All", "A", "B", "C"}, 10);
  ExpectKillPoints(10);
}

TEST_F(CrashRecoveryTest, ErasingDocuments) {
  TemplateLibrary("A", "one");
  const std::string data = dir_.path() + "template/";
  std::vector<std::string> words = {"docs", "rm", "A"};
  std::set<std::string> erased;
  const Documents documents = LibraryFiles(data).Complete();
  ASSERT_EQ(documents.size(), 1u);
  for (const std::string& id : documents.begin()->second) {
    if (erased.size() % 2 == 0) words.push_back(id);
    erased.insert(id);
  }
  std::set<std::string> named(words.begin() + 3, words.end());
  KillRepeatedly(words, 10, named);
  ExpectKillPoints(10);
}

// A site of 80 pages, each linking the next four.
std::map<std::string, std::string> ChainSite() {
  std::map<std::string, std::string> pages;
  for (int i = 0; i < 80; ++i) {
    std::string links;
    for (int j = i + 1; j <= i + 4 && j < 80; ++j) {
      links += "<a href=\"/p" + std::to_string(j) + ".html\">page " + std::to_string(j) + "</a> ";
    }
    pages["/p" + std::to_string(i) + ".html"] =
        test::Page("Page " + std::to_string(i),
                   "Volcanoes, reefs and bread, page " + std::to_string(i) + ". " + links);
  }
  return pages;
}

TEST_F(CrashRecoveryTest, Crawling) {
  TemplateLibrary("A", "one");
  test::TinySite site(ChainSite());
  KillRepeatedly({"crawl", "A", site.Url("/p0.html"), "--depth", "30", "--max-docs", "80"}, 10);
  ExpectKillPoints(10);
}

// Polls `client` until the application is idle; false after 60 s.
bool WaitIdle(httplib::Client* client) {
  for (int i = 0; i < 600; ++i) {
    auto res = client->Get("/api/poll");
    if (res && res->status == 200 && res->body.find("\"busy\":false") != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(milliseconds(100));
  }
  return false;
}

TEST_F(CrashRecoveryTest, TheApplicationKilledWhileImportingAsksForTheRepairAndMakesIt) {
  TemplateLibrary("A", "one");
  std::string ident;
  for (const auto& [library, ids] : LibraryFiles(dir_.path() + "template/").Complete()) {
    ident = library;
  }
  // The test's own paths need no JSON escapes.
  std::string files;
  for (const auto& entry : fs::directory_iterator(Pages("two"))) {
    files += (files.empty() ? "\"" : ",\"") + entry.path().string() + "\"";
  }
  const std::string request = R"({"kind":"files","files":[)" + files +
                              R"(],"target":{"library":")" + ident + R"("}})";
  fs::create_directories(dir_.path() + "web");
  test::WriteFile(dir_.path() + "web/index.html", "<title>main</title>");
  const std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + dir_.path(),
                                                "QORA_WEB=" + dir_.path() + "web"};
  settings_ = dir_.path() + "settings.ini";
  std::uniform_int_distribution<int> moment(0, 400);
  for (int k = 0; k < 4; ++k) {
    const std::string data = FreshData();
    test::WriteFile(settings_, "[Main]\nrootFolder=" + data + "\n[Settings]\ngracefullyTerminated=1\n");
    const std::set<std::string> before = AllIds(LibraryFiles(data).Complete());
    int port = test::FreePort();
    pid_t server = Spawn({"serve", "--no-browser", "--port", std::to_string(port)}, "", environment);
    httplib::Client client("127.0.0.1", port);
    // Commands are taken from the application's own pages only.
    client.set_default_headers({{"Origin", "http://127.0.0.1:" + std::to_string(port)}});
    ASSERT_TRUE(WaitIdle(&client)) << test::ReadFile(dir_.path() + "log.txt");
    auto res = client.Get("/api/start");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.find("did not close gracefully"), std::string::npos) << res->body;
    res = client.Post("/api/acquire", request, "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status / 100, 2) << res->body;
    std::this_thread::sleep_for(milliseconds(moment(random_)));
    const bool ran = client.Get("/api/poll")->body.find("\"busy\":true") != std::string::npos;
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    if (ran) ++kill_points_;
    const std::set<std::string> at_kill = AllIds(LibraryFiles(data).Complete());

    // The next start asks; the answer yes repairs every library.
    port = test::FreePort();
    server = Spawn({"serve", "--no-browser", "--port", std::to_string(port)}, "", environment);
    httplib::Client again("127.0.0.1", port);
    again.set_default_headers({{"Origin", "http://127.0.0.1:" + std::to_string(port)}});
    ASSERT_TRUE(WaitIdle(&again));
    res = again.Get("/api/start");
    ASSERT_TRUE(res);
    if (ran) {
      EXPECT_NE(res->body.find("did not close gracefully. Your libraries need to be repaired."),
                std::string::npos)
          << res->body;
    }
    res = again.Post("/api/crashcheck", R"({"repair":true})", "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status / 100, 2) << res->body;
    // The repair runs as an operation; its end is told as a message.
    bool repaired = !ran;  // an import that had ended left nothing to repair
    for (int i = 0; i < 600 && !repaired; ++i) {
      std::this_thread::sleep_for(milliseconds(100));
      auto poll = again.Get("/api/poll");
      repaired = poll && poll->body.find("Repair done.") != std::string::npos;
    }
    EXPECT_TRUE(repaired);
    ASSERT_TRUE(WaitIdle(&again));
    ::kill(server, SIGTERM);
    int status = 0;
    ::waitpid(server, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(test::ReadFile(settings_).find("gracefullyTerminated=1"), std::string::npos);

    EXPECT_EQ(LibraryFiles(data).Faults(), "") << "the libraries disagree after kill " << k;
    const std::set<std::string> after = AllIds(LibraryFiles(data).Complete());
    EXPECT_EQ(Missing(before, after), "") << "documents of before are lost";
    EXPECT_EQ(Missing(at_kill, after), "") << "documents complete at the kill are lost";
  }
  ExpectKillPoints(3);
}

}  // namespace
}  // namespace qora
