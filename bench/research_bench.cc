// Speed of the research operations through the engine's entry points, on a
// generated data folder of 10 libraries of 200 documents each (about 6 kB
// of text a document, words drawn from the stemmer's reference vocabulary
// with a Zipf-like skew): a keyword ranking and a five-document ranking
// (selecting the libraries with their statistics, preparing, ranking, writing
// the list), a concept map of a five-document query, and the summary of one
// 50 kB document. The page cache is warm after the first iteration. The peak
// resident memory of the process is reported as "peak_rss_mb".

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/generated_text.h"
#include "qora/engine.h"
#include "store/dml_writer.h"
#include "util/gcc_warnings.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLibraries = 10;
constexpr char kKeywords[] = "abandon ability absence";
using QuerySetter = void (*)(int, const char*, int, int*);
constexpr int kDocumentsPerLibrary = 200;
// The data folder, its libraries and an engine started on it, made once.
class Fixture {
 public:
  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }

  const std::string& data() const { return data_; }
  const std::vector<int>& stores() const { return stores_; }
  const std::vector<std::string>& idents() const { return idents_; }
  int big_store() const { return big_store_; }

 private:
  Fixture() {
    data_ =
        (fs::temp_directory_path() / ("qora_research_bench_" + std::to_string(getpid()))).string() +
        "/";
    fs::remove_all(data_);
    fs::create_directories(data_);
    fs::copy(std::string(QORA_SOURCE_DIR) + "/data", data_, fs::copy_options::recursive);
    EngineCreate();
    int result = -1;
    EngineStart(data_.c_str(), "main.ini", &result);
    const std::vector<std::string> vocabulary = qora::bench::Vocabulary();
    uint64_t state = 7;
    for (int l = 0; l < kLibraries; ++l) {
      stores_.push_back(MakeLibrary("Library " + std::to_string(l), kDocumentsPerLibrary, 6000,
                                    vocabulary, &state));
    }
    big_store_ = MakeLibrary("Big", 1, 50000, vocabulary, &state);
  }

  ~Fixture() {
    int result = -1;
    EngineFinish(&result);
    EngineDestroy();
    fs::remove_all(data_);
  }

  QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
  int MakeLibrary(const std::string& name, int documents, size_t bytes,
                  const std::vector<std::string>& vocabulary, uint64_t* state) {
    char* ident = nullptr;
    int handle = -1;
    EngineCreateStore(name.c_str(), &ident, &handle);
    const std::string cache = data_ + "libraries/" + ident + "/loc_c/";
    idents_.push_back(ident);
    EngineFreeString(ident);
    std::string table;
    for (int i = 0; i < documents; ++i) {
      const std::string id = "d" + std::to_string(i);
      qora::DocumentRecord record;
      record.docid = id;
      record.name = name + " document " + std::to_string(i);
      const std::string dml = qora::WriteDocument(
          qora::WriteStat(record) + "\n" + qora::bench::GeneratedBody(vocabulary, bytes, state));
      std::ofstream(cache + id + ".dml", std::ios::binary) << dml;
      table += id + "|file:///" + id + "|" + std::to_string(dml.size()) + "|0|0|\n";
    }
    std::ofstream(cache + "cache.chx", std::ios::binary) << table;
    int result = -1;
    EngineProcessStore(handle, 0, &result);
    EngineReleaseStoreStatistics(handle, &result);
    return handle;
  }
  QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

  std::string data_;
  std::vector<int> stores_;
  std::vector<std::string> idents_;
  int big_store_ = -1;
};

void ReportPeakMemory(benchmark::State& state) {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A workspace with every library selected and prepared, as the research
// dialog makes it.
int PreparedWorkspace(const Fixture& fixture) {
  int workspace = -1, result = -1;
  EngineOpenWorkspace("wkspc.ini", &workspace);
  for (int store : fixture.stores()) {
    EngineLoadStoreStatistics(store, &result);
    EngineAddStoreToWorkspace(store, workspace, &result);
  }
  EnginePrepareRanking(workspace, &result);
  for (int store : fixture.stores()) EngineReleaseStoreStatistics(store, &result);
  return workspace;
}

std::string FiveDocuments(const Fixture& fixture) {
  std::string list;
  for (int i = 0; i < 5; ++i) {
    list += std::to_string(fixture.stores()[static_cast<size_t>(i)]) + ",d" +
            std::to_string(i * 17) + ";";
  }
  return list;
}

void RankAndWrite(int workspace, int query) {
  int list = -1, result = -1;
  EngineRankDocuments(query, 100, workspace, &list);
  char* text = nullptr;
  EngineWriteResultList(&text, list, workspace, &result);
  benchmark::DoNotOptimize(text);
  EngineFreeString(text);
}

// The part of a research that selects the libraries: reading their master
// indexes and summing them into the workspace statistics.
void BM_PrepareTenLibraries(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  for (auto _ : state) {
    const int workspace = PreparedWorkspace(fixture);
    int result = -1;
    EngineDeleteHandle(workspace, &result);
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_PrepareTenLibraries)->Unit(benchmark::kMillisecond);

// Reading the ten libraries' master indexes alone, as selecting them does.
void BM_LoadTenMasters(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  int result = -1;
  for (auto _ : state) {
    for (int store : fixture.stores()) EngineLoadStoreStatistics(store, &result);
    for (int store : fixture.stores()) EngineReleaseStoreStatistics(store, &result);
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_LoadTenMasters)->Unit(benchmark::kMillisecond);

// A research with the library selection unchanged since the last one, as
// the research dialog runs it then: a new query, set, prepared and ranked,
// and the list written, in a workspace prepared once.
void QueryInPreparedWorkspace(benchmark::State& state, QuerySetter set, const std::string& text) {
  Fixture& fixture = Fixture::Get();
  const int workspace = PreparedWorkspace(fixture);
  int result = -1;
  for (auto _ : state) {
    int query = -1;
    EngineNewQuery(workspace, &query);
    set(query, text.c_str(), workspace, &result);
    EnginePrepareQuery(query, workspace, &result);
    RankAndWrite(workspace, query);
  }
  EngineDeleteHandle(workspace, &result);
  ReportPeakMemory(state);
}

void BM_KeywordQueryPreparedSelection(benchmark::State& state) {
  QueryInPreparedWorkspace(state, EngineSetQueryKeywords, kKeywords);
}
BENCHMARK(BM_KeywordQueryPreparedSelection)->Unit(benchmark::kMillisecond);

void BM_FiveDocumentQueryPreparedSelection(benchmark::State& state) {
  QueryInPreparedWorkspace(state, EngineSetQueryDocuments, FiveDocuments(Fixture::Get()));
}
BENCHMARK(BM_FiveDocumentQueryPreparedSelection)->Unit(benchmark::kMillisecond);

// A research right after the library selection changed: the libraries'
// master indexes read and the workspace prepared, then the query.
void BM_KeywordResearch(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  for (auto _ : state) {
    const int workspace = PreparedWorkspace(fixture);
    int query = -1, result = -1;
    EngineNewQuery(workspace, &query);
    EngineSetQueryKeywords(query, kKeywords, workspace, &result);
    EnginePrepareQuery(query, workspace, &result);
    RankAndWrite(workspace, query);
    EngineDeleteHandle(workspace, &result);
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_KeywordResearch)->Unit(benchmark::kMillisecond);

void BM_FiveDocumentResearch(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  const std::string documents = FiveDocuments(fixture);
  for (auto _ : state) {
    const int workspace = PreparedWorkspace(fixture);
    int query = -1, result = -1;
    EngineNewQuery(workspace, &query);
    EngineSetQueryDocuments(query, documents.c_str(), workspace, &result);
    EnginePrepareQuery(query, workspace, &result);
    RankAndWrite(workspace, query);
    EngineDeleteHandle(workspace, &result);
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_FiveDocumentResearch)->Unit(benchmark::kMillisecond);

void BM_FiveDocumentConceptMap(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  const std::string documents = FiveDocuments(fixture);
  int workspace = -1, result = -1;
  EngineOpenWorkspace("wkspc.ini", &workspace);
  for (auto _ : state) {
    int query = -1;
    EngineNewQuery(workspace, &query);
    EngineSetQueryDocuments(query, documents.c_str(), workspace, &result);
    EnginePrepareQuery(query, workspace, &result);
    const std::string request = "&wkspc_h=" + std::to_string(workspace) +
                                "&qry_h=" + std::to_string(query) + "&number1=4&number2=5";
    int list = -1;
    EngineConceptMap(request.c_str(), &list);
    if (list < 0) state.SkipWithError("no concept map");
  }
  EngineDeleteHandle(workspace, &result);
  ReportPeakMemory(state);
}
BENCHMARK(BM_FiveDocumentConceptMap)->Unit(benchmark::kMillisecond);

void BM_Summarize50KDocument(benchmark::State& state) {
  Fixture& fixture = Fixture::Get();
  const std::string document = std::to_string(fixture.big_store()) + ",d0;";
  int workspace = -1, result = -1;
  EngineOpenWorkspace("wkspc.ini", &workspace);
  for (auto _ : state) {
    int list = -1;
    EngineSummarize(-1, document.c_str(), workspace, 85.0f, &list);
  }
  EngineDeleteHandle(workspace, &result);
  ReportPeakMemory(state);
}
BENCHMARK(BM_Summarize50KDocument)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
