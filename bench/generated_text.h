// Deterministic English-like DML bodies for the benchmarks: sentences of 10
// to 25 words drawn from the stemmer's reference vocabulary with a Zipf-like
// skew, a third of them common function words, five sentences a paragraph.
#ifndef QORA_BENCH_GENERATED_TEXT_H_
#define QORA_BENCH_GENERATED_TEXT_H_

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qora::bench {

// The next number of a splitmix64 sequence.
inline uint64_t NextRandom(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The words of the reference vocabulary in the source tree.
inline std::vector<std::string> Vocabulary() {
  std::ifstream in(std::string(QORA_SOURCE_DIR) + "/tests/data/porter/voc.txt");
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Paragraphs of generated sentences until the body holds `bytes` bytes.
inline std::string GeneratedBody(const std::vector<std::string>& vocabulary, size_t bytes,
                                 uint64_t* state) {
  static constexpr const char* kFunctionWords[] = {"the", "of", "and",  "to", "a",
                                                   "in",  "is", "that", "it", "for",
                                                   "on",  "as", "with", "by", "this"};
  std::string body;
  while (body.size() < bytes) {
    body += "<p>\n";
    for (int s = 0; s < 5; ++s) {
      body += "<s>";
      const int words = 10 + static_cast<int>(NextRandom(state) % 16);
      for (int w = 0; w < words; ++w) {
        const uint64_t r = NextRandom(state);
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

}  // namespace qora::bench

#endif  // QORA_BENCH_GENERATED_TEXT_H_
