// Throughput of the standard text preparation (tokenize, drop stop words, map
// to stems) as the indexer runs it: sentence by sentence, one reused TermList,
// a dictionary and stem map already warm from an earlier pass over the text.
//
// The text is synthetic English-like prose built deterministically from the
// stemmer's reference vocabulary: content-word lengths distributed as in
// English prose, Zipf-distributed frequencies among the words of each length,
// common function words mixed in at about the rate of real prose (short words
// thus dominate), sentence capitals, some capitalised words, commas and full
// stops. The average word is about five letters long.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/delimiter_set.h"
#include "analysis/stem_map.h"
#include "analysis/stop_word_set.h"
#include "analysis/term_dictionary.h"
#include "analysis/term_list.h"

namespace qora {
namespace {

constexpr size_t kTextBytes = 12 << 20;

// About 150 of the most frequent English function words, most frequent first.
constexpr const char* kStopWords[] = {
    "the",     "of",      "and",    "to",      "a",       "in",    "is",      "that",   "it",
    "was",     "for",     "on",     "as",      "with",    "he",    "be",      "at",     "by",
    "i",       "this",    "had",    "not",     "are",     "but",   "from",    "or",     "have",
    "an",      "they",    "which",  "one",     "you",     "were",  "her",     "all",    "she",
    "there",   "would",   "their",  "we",      "him",     "been",  "has",     "when",   "who",
    "will",    "more",    "no",     "if",      "out",     "so",    "said",    "what",   "up",
    "its",     "about",   "into",   "than",    "them",    "can",   "only",    "other",  "new",
    "some",    "could",   "time",   "these",   "two",     "may",   "then",    "do",     "first",
    "any",     "my",      "now",    "such",    "like",    "our",   "over",    "whom",   "me",
    "even",    "most",    "made",   "after",   "also",    "did",   "many",    "before", "must",
    "through", "back",    "around", "where",   "much",    "your",  "way",     "well",   "down",
    "should",  "because", "each",   "just",    "those",   "upon",  "how",     "too",    "little",
    "shall",   "among",   "very",   "make",    "every",   "still", "own",     "see",    "nor",
    "yet",     "long",    "get",    "here",    "between", "both",  "though",  "being",  "under",
    "never",   "within",  "same",   "another", "know",    "while", "last",    "might",  "us",
    "whose",   "old",     "until",  "off",     "come",    "since", "against", "go",     "came",
    "right",   "used",    "take",   "three",   "himself", "few",   "why",     "again",
};

// A small deterministic generator (splitmix64), so the text is the same on
// every machine and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // Uniform in [0, n).
  size_t Below(size_t n) { return static_cast<size_t>(Uniform() * static_cast<double>(n)); }

 private:
  uint64_t state_;
};

// Draws indexes 0..n-1 with probability proportional to 1 / (index + 1)^s.
class ZipfSampler {
 public:
  ZipfSampler(size_t n, double s) : cumulative_(n) {
    double total = 0;
    for (size_t i = 0; i < n; ++i) {
      total += 1.0 / std::pow(static_cast<double>(i + 1), s);
      cumulative_[i] = total;
    }
    for (double& c : cumulative_) c /= total;
  }
  size_t Draw(Random* random) const {
    const double u = random->Uniform();
    const size_t i =
        std::upper_bound(cumulative_.begin(), cumulative_.end(), u) - cumulative_.begin();
    return std::min(i, cumulative_.size() - 1);
  }

 private:
  std::vector<double> cumulative_;
};

std::vector<std::string> ReadVocabulary() {
  const std::string path = std::string(QORA_SOURCE_DIR) + "/tests/data/porter/voc.txt";
  std::ifstream in(path);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  if (words.empty()) {
    std::fprintf(stderr, "cannot read the vocabulary %s\n", path.c_str());
    std::exit(1);
  }
  return words;
}

struct Corpus {
  std::string text;
  std::vector<std::string_view> sentences;
  size_t words = 0;
  size_t letters = 0;
  size_t stop_words = 0;
};

// Share of content words of each length (letters 3..14), roughly as in
// English prose; the function words supply most of the short ones.
constexpr double kContentLengthShare[] = {8, 15, 15, 14, 13, 11, 8, 6, 4, 3, 2, 1};
constexpr size_t kShortestContentWord = 3;

void BuildCorpus(Corpus* corpus) {
  Random random(20240601);
  // Content words by length, each length in a fixed random order that serves
  // as its frequency rank.
  std::vector<std::vector<std::string>> by_length(std::size(kContentLengthShare));
  for (std::string& word : ReadVocabulary()) {
    if (word.size() < kShortestContentWord) continue;
    const size_t bucket = std::min(word.size() - kShortestContentWord, by_length.size() - 1);
    by_length[bucket].push_back(std::move(word));
  }
  std::vector<ZipfSampler> rank_in_length;
  for (std::vector<std::string>& words : by_length) {
    for (size_t i = words.size(); i > 1; --i) std::swap(words[i - 1], words[random.Below(i)]);
    rank_in_length.emplace_back(words.size(), 1.0);
  }
  std::vector<double> length_cumulative;
  double length_total = 0;
  for (double share : kContentLengthShare) length_cumulative.push_back(length_total += share);
  const ZipfSampler function(std::size(kStopWords), 0.9);

  std::string& text = corpus->text;
  text.reserve(kTextBytes + 4096);
  std::string word;
  int sentence_in_paragraph = 0;
  while (text.size() < kTextBytes) {
    const size_t length = 6 + random.Below(23);
    for (size_t w = 0; w < length; ++w) {
      if (random.Uniform() < 0.45) {
        word = kStopWords[function.Draw(&random)];
        ++corpus->stop_words;
      } else if (random.Uniform() < 0.01) {
        word = std::to_string(random.Below(2100));
      } else {
        const double u = random.Uniform() * length_total;
        const size_t bucket = std::min<size_t>(
            std::upper_bound(length_cumulative.begin(), length_cumulative.end(), u) -
                length_cumulative.begin(),
            by_length.size() - 1);
        word = by_length[bucket][rank_in_length[bucket].Draw(&random)];
        const double capital = random.Uniform();
        if (capital < 0.04) {
          word[0] = static_cast<char>(word[0] - 'a' + 'A');
        } else if (capital < 0.043) {
          for (char& c : word) c = static_cast<char>(c - 'a' + 'A');
        }
      }
      if (w == 0 && word[0] >= 'a' && word[0] <= 'z') {
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
      }
      ++corpus->words;
      corpus->letters += word.size();
      text += word;
      if (w + 1 < length) text += random.Uniform() < 0.07 ? ", " : " ";
    }
    const double end = random.Uniform();
    text += end < 0.92 ? '.' : (end < 0.97 ? '?' : '!');
    if (++sentence_in_paragraph == 6 + static_cast<int>(random.Below(5))) {
      text += "\n\n";
      sentence_in_paragraph = 0;
    } else {
      text += ' ';
    }
  }

  // The indexer prepares one sentence at a time.
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t dot = rest.find('.');
    const size_t end = dot == std::string_view::npos ? rest.size() : dot;
    corpus->sentences.push_back(rest.substr(0, end));
    rest.remove_prefix(dot == std::string_view::npos ? end : end + 1);
  }
}

// Built once per process; the sentences are views into the text.
const Corpus& TheCorpus() {
  static const Corpus* const corpus = [] {
    Corpus* built = new Corpus;
    BuildCorpus(built);
    return built;
  }();
  return *corpus;
}

// Prepares every sentence once; returns the number of ids produced.
size_t PrepareAll(const Corpus& corpus, TermDictionary* dictionary, const DelimiterSet& delimiters,
                  StemMap* stems, const StopWordSet& stop_words, TermList* list) {
  size_t ids = 0;
  for (std::string_view sentence : corpus.sentences) {
    PrepareTermList(sentence, dictionary, delimiters, stems, stop_words, list);
    list->MapToStems(stems);
    ids += list->ids().size();
  }
  return ids;
}

void BM_PrepareText(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  TermDictionary dictionary;
  StemMap stems;
  StopWordSet stop_words;
  const DelimiterSet delimiters(kWordDelimiters);
  for (const char* word : kStopWords) stop_words.AddStopWord(dictionary.AddWord(word));
  TermList list;
  PrepareAll(corpus, &dictionary, delimiters, &stems, stop_words, &list);  // Warm up.

  size_t ids = 0;
  for (auto _ : state) {
    ids = PrepareAll(corpus, &dictionary, delimiters, &stems, stop_words, &list);
    benchmark::DoNotOptimize(ids);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(corpus.text.size()));
  state.counters["text_MB"] = static_cast<double>(corpus.text.size()) / (1 << 20);
  state.counters["sentences"] = static_cast<double>(corpus.sentences.size());
  state.counters["avg_word_len"] =
      static_cast<double>(corpus.letters) / static_cast<double>(corpus.words);
  state.counters["stop_share"] =
      static_cast<double>(corpus.stop_words) / static_cast<double>(corpus.words);
  state.counters["distinct_terms"] = static_cast<double>(dictionary.size());
  state.counters["ids_kept"] = static_cast<double>(ids);
}
BENCHMARK(BM_PrepareText)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
}  // namespace qora

BENCHMARK_MAIN();
