// Throughput of indexing a library: a full processing run over 200 DML
// documents of about 6 kB of text each (paragraphs of 10 to 25 word
// sentences drawn from the stemmer's reference vocabulary, with common
// function words mixed in), writing every ".idx", "master.idx" and the
// document table. The dictionary is warm after the first run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/generated_text.h"
#include "engine/environment.h"
#include "store/dml_writer.h"
#include "store/document_store.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

constexpr int kDocuments = 200;
// A data folder in the temporary folder with one library of kDocuments.
class BenchLibrary {
 public:
  BenchLibrary() {
    folder_ =
        (fs::temp_directory_path() / ("qora_bench_" + std::to_string(getpid()))).string() + "/";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy(std::string(QORA_SOURCE_DIR) + "/data", folder_, fs::copy_options::recursive);
    environment_.EnvironmentLoad(folder_, "main.ini");
    CreateStore(&store_, "Benchmark", &environment_);
    const std::vector<std::string> vocabulary = qora::bench::Vocabulary();
    uint64_t state = 42;
    std::string table;
    for (int i = 0; i < kDocuments; ++i) {
      const std::string id = "doc" + std::to_string(i);
      DocumentRecord record;
      record.docid = id;
      const std::string dml =
          WriteDocument(WriteStat(record) + "\n" + "<title>Benchmark document</title>\n" +
                        bench::GeneratedBody(vocabulary, 6000, &state));
      bytes_ += static_cast<int64_t>(dml.size());
      std::ofstream(store_.local().cache_folder + id + ".dml", std::ios::binary) << dml;
      table += id + "|file:///" + id + "|" + std::to_string(dml.size()) + "|0|0|\n";
    }
    std::ofstream(store_.local().TablePath(), std::ios::binary) << table;
  }
  ~BenchLibrary() { fs::remove_all(folder_); }

  DocumentStore& store() { return store_; }
  int64_t bytes() const { return bytes_; }

 private:
  std::string folder_;
  EngineEnvironment environment_;
  DocumentStore store_{&environment_};
  int64_t bytes_ = 0;
};

void BM_FullProcessing(benchmark::State& state) {
  BenchLibrary library;
  library.store().ProcessDocuments(true);  // warm the dictionary and stem map
  for (auto _ : state) library.store().ProcessDocuments(true);
  state.SetBytesProcessed(state.iterations() * library.bytes());
  state.SetItemsProcessed(state.iterations() * kDocuments);
  state.counters["master_pairs"] = static_cast<double>(library.store().local().plain().pair_count());
}
BENCHMARK(BM_FullProcessing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qora

BENCHMARK_MAIN();
