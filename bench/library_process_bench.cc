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

#include "engine/environment.h"
#include "store/dml_writer.h"
#include "store/document_store.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

constexpr int kDocuments = 200;
constexpr const char* kFunctionWords[] = {"the", "of",  "and", "to", "a",    "in", "is",  "that",
                                          "it",  "for", "on",  "as", "with", "by", "this"};

uint64_t Next(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<std::string> Vocabulary() {
  std::ifstream in(std::string(QORA_SOURCE_DIR) + "/tests/data/porter/voc.txt");
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string DocumentText(const std::vector<std::string>& vocabulary, uint64_t* state) {
  std::string body = "<title>Benchmark document</title>\n";
  while (body.size() < 6000) {
    body += "<p>\n";
    for (int s = 0; s < 5; ++s) {
      body += "<s>";
      const int words = 10 + static_cast<int>(Next(state) % 16);
      for (int w = 0; w < words; ++w) {
        const uint64_t r = Next(state);
        // Zipf-like: small indices far more often.
        const double u = static_cast<double>(r % 1000000) / 1000000.0;
        const size_t index =
            static_cast<size_t>(u * u * u * static_cast<double>(vocabulary.size()));
        body += (r % 3 == 0) ? kFunctionWords[r % 15] : vocabulary[index % vocabulary.size()];
        body += w + 1 < words ? " " : ".";
      }
      body += "</s>\n";
    }
    body += "</p>\n";
  }
  return body;
}

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
    const std::vector<std::string> vocabulary = Vocabulary();
    uint64_t state = 42;
    std::string table;
    for (int i = 0; i < kDocuments; ++i) {
      const std::string id = "doc" + std::to_string(i);
      DocumentRecord record;
      record.docid = id;
      const std::string dml =
          WriteDocument(WriteStat(record) + "\n" + DocumentText(vocabulary, &state));
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
  state.counters["master_pairs"] = static_cast<double>(library.store().local().plain.pair_count());
}
BENCHMARK(BM_FullProcessing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qora

BENCHMARK_MAIN();
