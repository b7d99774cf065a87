#include "shell/library_commands.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "qora/engine.h"
#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::FolderSnapshot;
using test::ReadFile;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Qora(const std::string& data, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--data", data});
  std::ostringstream out, err;
  const int status = RunCommandLine(arguments, out, err);
  return {status, out.str(), err.str()};
}

// The identifier printed by a successful "lib new" or "lib merge".
std::string IdentOf(const Outcome& outcome) {
  std::string ident = outcome.out;
  while (!ident.empty() && ident.back() == '\n') ident.pop_back();
  return ident;
}

constexpr const char* kWords[] = {"solar",   "panel",     "energy", "battery",  "grid",
                                  "wind",    "turbine",   "power",  "storage",  "voltage",
                                  "charge",  "sunlight",  "roof",   "inverter", "Cells",
                                  "running", "efficient", "the",    "of",       "heat"};

// A DML document of a few paragraphs whose sentences mix the words above.
std::string MakeDocument(const std::string& address, int seed) {
  DocumentRecord record;
  record.docid = test::DocumentIdOf(address);
  record.uri = address;
  record.name = "Document " + std::to_string(seed);
  std::string body;
  unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
  for (int p = 0; p < 3; ++p) {
    body += "<p>\n";
    for (int s = 0; s < 4; ++s) {
      body += "<s>";
      for (int w = 0; w < 7; ++w) {
        state = state * 1103515245u + 12345u;
        body += std::string(kWords[(state >> 16) % 20]) + (w < 6 ? " " : ".");
      }
      body += "</s>\n";
    }
    body += "</p>\n";
  }
  return test::DmlOf(record, body);
}

// Puts `count` documents into the local half of library `ident`, as the
// import does: DML file and table line.
void AddDocuments(const std::string& data, const std::string& ident, int count, int first = 0) {
  const std::string cache = data + "/libraries/" + ident + "/loc_c/";
  std::string table = ReadFile(cache + "cache.chx");
  for (int i = first; i < first + count; ++i) {
    const std::string address = "/home/user/papers/paper" + std::to_string(i) + ".htm";
    const std::string id = test::DocumentIdOf(address);
    const std::string dml = MakeDocument(address, i);
    WriteFile(cache + id + ".dml", dml);
    table += id + "|" + address + "|" + std::to_string(dml.size()) + "|0|0|\n";
  }
  WriteFile(cache + "cache.chx", table);
}

class LibraryCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QORA_INSTALLED_DATA", SourceDataFolder().c_str(), 1);
    data_ = dir_.path() + "qoralibs";
    ASSERT_EQ(InitDataFolder(SourceDataFolder(), data_), "");
  }

  std::string MasterIndex(const std::string& ident) const {
    return ReadFile(data_ + "/libraries/" + ident + "/loc_i/master.idx");
  }

  TempDir dir_;
  std::string data_;
};

TEST_F(LibraryCommandsTest, NewLibrariesAreListedWithTheirDocuments) {
  const std::string solar = IdentOf(Qora(data_, {"lib", "new", "Solar energy"}));
  const std::string wind = IdentOf(Qora(data_, {"lib", "new", "Wind"}));
  ASSERT_EQ(solar.rfind("ds", 0), 0u);
  ASSERT_NE(solar, wind);
  AddDocuments(data_, solar, 3);
  Outcome list = Qora(data_, {"lib", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("Solar energy"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(solar), std::string::npos);
  EXPECT_NE(list.out.find(wind), std::string::npos);
  // Two libraries and the header; the temporary store is left out.
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3) << list.out;
  EXPECT_NE(list.out.find(" 3 "), std::string::npos) << list.out;

  Outcome docs = Qora(data_, {"docs", "Solar energy"});
  ASSERT_EQ(docs.status, 0) << docs.err;
  EXPECT_NE(docs.out.find("Document 2"), std::string::npos) << docs.out;
  Outcome some = Qora(data_, {"docs", solar, "--start", "1", "--count", "1", "--xml"});
  EXPECT_EQ(some.out.find("Document 0"), std::string::npos) << some.out;
  EXPECT_NE(some.out.find("Document 1"), std::string::npos) << some.out;
  EXPECT_EQ(some.out.find("Document 2"), std::string::npos) << some.out;

  Outcome unknown = Qora(data_, {"docs", "Geology"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("There is no library Geology."), std::string::npos);
}

TEST_F(LibraryCommandsTest, NoMoreThanFiftyLibraries) {
  for (int i = 0; i < kMaxLibraries; ++i) {
    ASSERT_EQ(Qora(data_, {"lib", "new", "L" + std::to_string(i)}).status, 0) << i;
  }
  Outcome refused = Qora(data_, {"lib", "new", "One too many"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Maximum number of allowed libraries reached."), std::string::npos);
}

TEST_F(LibraryCommandsTest, MergeMovesEveryDocumentAndErasesTheSources) {
  const std::string a = IdentOf(Qora(data_, {"lib", "new", "A"}));
  const std::string b = IdentOf(Qora(data_, {"lib", "new", "B"}));
  AddDocuments(data_, a, 150);
  AddDocuments(data_, b, 60, 150);
  Outcome refused = Qora(data_, {"lib", "merge", "AB", "A", "B"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("ERROR: Cannot have more than 200 documents in the merged library. "
                             "Please retry merging smaller libraries."),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(Qora(data_, {"lib", "merge", "AB", "A"}).err,
            "qora: Please check mark the libraries first\n");

  const std::string c = IdentOf(Qora(data_, {"lib", "new", "C"}));
  AddDocuments(data_, c, 50, 300);
  ASSERT_EQ(Qora(data_, {"lib", "process", "A"}).status, 0);
  Outcome merged = Qora(data_, {"lib", "merge", "AC", "A", c});
  ASSERT_EQ(merged.status, 0) << merged.err;
  const std::string ac = IdentOf(merged);
  Outcome list = Qora(data_, {"lib", "list"});
  EXPECT_EQ(list.out.find(" A "), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(b), std::string::npos);
  EXPECT_FALSE(fs::exists(data_ + "/libraries/" + a));
  EXPECT_FALSE(fs::exists(data_ + "/libraries/" + c + ".ini"));
  Outcome docs = Qora(data_, {"docs", ac});
  EXPECT_EQ(std::count(docs.out.begin(), docs.out.end(), '\n'), 201) << docs.out.substr(0, 300);

  // The merged library is indexed as a full rebuild would index it.
  const std::string incremental = MasterIndex(ac);
  ASSERT_FALSE(incremental.empty());
  ASSERT_EQ(Qora(data_, {"lib", "process", ac, "--full"}).status, 0);
  EXPECT_TRUE(MasterIndex(ac) == incremental);
}

TEST_F(LibraryCommandsTest, ErasedDocumentsLeaveTheLibraryAndItsIndex) {
  const std::string lib = IdentOf(Qora(data_, {"lib", "new", "Papers"}));
  AddDocuments(data_, lib, 4);
  ASSERT_EQ(Qora(data_, {"lib", "process", lib}).status, 0);
  const std::string gone = test::DocumentIdOf("/home/user/papers/paper1.htm");
  const std::string cache = data_ + "/libraries/" + lib + "/loc_c/";
  ASSERT_TRUE(fs::exists(cache + gone + ".dml"));

  Outcome unknown = Qora(data_, {"docs", "rm", lib, "nosuchdoc"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(fs::exists(cache + gone + ".dml"));

  ASSERT_EQ(Qora(data_, {"docs", "rm", lib, gone}).status, 0);
  EXPECT_FALSE(fs::exists(cache + gone + ".dml"));
  EXPECT_FALSE(fs::exists(data_ + "/libraries/" + lib + "/loc_i/" + gone + ".idx"));
  EXPECT_EQ(ReadFile(cache + "cache.chx").find(gone), std::string::npos);
  Outcome docs = Qora(data_, {"docs", lib});
  EXPECT_EQ(std::count(docs.out.begin(), docs.out.end(), '\n'), 4);
  // The master index now counts the three remaining documents only.
  const std::string after_erase = MasterIndex(lib);
  ASSERT_EQ(Qora(data_, {"lib", "process", lib, "--full"}).status, 0);
  EXPECT_TRUE(MasterIndex(lib) == after_erase);
}

TEST_F(LibraryCommandsTest, IncrementalProcessingInALaterRunKeepsEarlierDocuments) {
  const std::string lib = IdentOf(Qora(data_, {"lib", "new", "Papers"}));
  AddDocuments(data_, lib, 5);
  ASSERT_EQ(Qora(data_, {"lib", "process", lib}).status, 0);
  AddDocuments(data_, lib, 3, 5);
  ASSERT_EQ(Qora(data_, {"lib", "process", lib}).status, 0);  // a new run, a new engine
  const std::string incremental = MasterIndex(lib);
  ASSERT_EQ(Qora(data_, {"lib", "process", lib, "--full"}).status, 0);
  EXPECT_TRUE(MasterIndex(lib) == incremental);
}

TEST_F(LibraryCommandsTest, AnIndexThatCannotBeWrittenFailsTheCommandAndKeepsTheDocuments) {
  const std::string lib = IdentOf(Qora(data_, {"lib", "new", "Papers"}));
  AddDocuments(data_, lib, 4);
  // A folder where the master index must go: the index cannot be replaced.
  const std::string master = data_ + "/libraries/" + lib + "/loc_i/master.idx";
  fs::create_directories(master + "/blocked");
  const Outcome failed = Qora(data_, {"lib", "process", lib});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("The index of the library could not be written"), std::string::npos)
      << failed.err;
  fs::remove_all(master);
  // The documents were kept and are indexed by the next run.
  ASSERT_EQ(Qora(data_, {"lib", "process", lib}).status, 0);
  EXPECT_FALSE(MasterIndex(lib).empty());
  const Outcome docs = Qora(data_, {"docs", lib});
  EXPECT_NE(docs.out.find("Document 3"), std::string::npos) << docs.out;
}

TEST_F(LibraryCommandsTest, EmptyAndEraseLibraries) {
  const std::string lib = IdentOf(Qora(data_, {"lib", "new", "Papers"}));
  AddDocuments(data_, lib, 2);
  ASSERT_EQ(Qora(data_, {"lib", "empty", "Papers"}).status, 0);
  Outcome docs = Qora(data_, {"docs", lib});
  EXPECT_EQ(std::count(docs.out.begin(), docs.out.end(), '\n'), 1) << docs.out;
  ASSERT_EQ(Qora(data_, {"lib", "erase", "Papers"}).status, 0);
  EXPECT_FALSE(fs::exists(data_ + "/libraries/" + lib));
  EXPECT_EQ(Qora(data_, {"lib", "erase", "Papers"}).status, 1);

  Outcome info = Qora(data_, {"info"});
  const size_t at = info.out.find("temporary store        ");
  ASSERT_NE(at, std::string::npos);
  const std::string temp = info.out.substr(at + 23, info.out.find('\n', at) - at - 23);
  Outcome refused = Qora(data_, {"lib", "erase", temp});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("The temporary library cannot be erased."), std::string::npos);
  EXPECT_TRUE(fs::exists(data_ + "/libraries/" + temp + ".ini"));
}

// Kills a processing run part way through, from inside the process that runs
// it, once its status reports a document at or after number `first`.
[[noreturn]] void ProcessAndDieAfter(const std::string& data, const std::string& ident, int first) {
  std::thread watcher([first] {
    for (;;) {
      char* status = nullptr;
      int result = -1;
      EngineGetStatus(&status, &result);
      const std::string text = status == nullptr ? "" : status;
      EngineFreeString(status);
      if (text.rfind("Processing ", 0) == 0 && std::atoi(text.c_str() + 11) >= first) {
        raise(SIGKILL);
      }
      std::this_thread::yield();
    }
  });
  watcher.detach();
  Qora(data, {"lib", "process", ident});
  _exit(3);  // finished without being killed: the parent sees status 3
}

TEST_F(LibraryCommandsTest, RepairHealsAProcessingRunKilledHalfWay) {
  const std::string lib = IdentOf(Qora(data_, {"lib", "new", "Papers"}));
  AddDocuments(data_, lib, 400);
  const std::string twin = dir_.path() + "twin";
  fs::copy(data_, twin, fs::copy_options::recursive);

  // The reference: an uninterrupted rebuild.
  ASSERT_EQ(Qora(data_, {"lib", "repair"}).status, 0);
  const std::string reference = MasterIndex(lib);
  ASSERT_GT(reference.size(), 100u);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) ProcessAndDieAfter(twin, lib, 40);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  const std::string index = twin + "/libraries/" + lib + "/loc_i/";
  EXPECT_FALSE(fs::exists(index + "master.idx"));  // the run never got that far
  EXPECT_EQ(ReadFile(twin + "/libraries/" + lib + "/loc_c/cache.chx").find("|1|"),
            std::string::npos);

  ASSERT_EQ(Qora(twin, {"lib", "repair"}).status, 0);
  EXPECT_EQ(MasterIndex(lib).size(), reference.size());
  EXPECT_TRUE(ReadFile(index + "master.idx") == reference);
  EXPECT_EQ(ReadFile(twin + "/libraries/" + lib + "/loc_c/cache.chx"),
            ReadFile(data_ + "/libraries/" + lib + "/loc_c/cache.chx"));
}

}  // namespace
}  // namespace qora
