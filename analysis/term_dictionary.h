// The shared dictionary that gives every distinct word a dense integer id.
#ifndef QORA_ANALYSIS_TERM_DICTIONARY_H_
#define QORA_ANALYSIS_TERM_DICTIONARY_H_

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace qora {

// Words are stored lowercased ('A'..'Z' only; bytes 0x80-0xFF stay as they
// are). Ids start at 0 and are dense: a new word gets the number of words
// registered before it. Words are removed only by clearing the dictionary.
class TermDictionary {
 public:
  TermDictionary() = default;
  TermDictionary(const TermDictionary&) = delete;
  TermDictionary& operator=(const TermDictionary&) = delete;

  // Returns the id of the lowercased `text`, registering it first when new.
  int32_t AddWord(std::string_view text);

  // Returns the id of the lowercased `text`, or -1 when it is not registered.
  int32_t FindWord(std::string_view text) const;

  // Returns the stored lowercase text of `id`, which must be an id this
  // dictionary gave out since it was last cleared.
  const std::string& WordText(int32_t id) const { return words_[static_cast<size_t>(id)]; }

  // Removes every word; the next word registered gets id 0 again.
  void ClearDictionary();

  int32_t size() const { return static_cast<int32_t>(words_.size()); }

 private:
  // One cell of the open-addressing id table. It holds enough of the word to
  // decide most comparisons without touching the word itself: the first 8
  // bytes (zero-padded), and a tag made of 24 bits of the hash and the length
  // (up to 255). A word of at most 8 bytes is thus matched by its slot alone.
  struct Slot {
    uint64_t prefix;
    uint32_t tag;
    int32_t id;  // kEmpty when the slot is free.
  };
  static constexpr int32_t kEmpty = -1;

  // The lowercase form of a word, with its hash and slot fields.
  struct Key {
    std::string_view lower;
    uint64_t hash;
    uint64_t prefix;
    uint32_t tag;
  };

  // Lowercases `text` into `out`, which has room for text.size() bytes.
  static Key MakeKey(std::string_view text, char* out);

  // The index of the slot holding `key`, or of the free slot where it
  // belongs. The table must not be empty.
  size_t Probe(const Key& key) const;

  // Doubles the table (or makes the first one) and reinserts every word.
  void Grow();

  // The deque never moves its strings, so WordText references stay valid.
  std::deque<std::string> words_;
  std::vector<Slot> slots_;       // Power-of-two size, at most half full.
  std::vector<uint64_t> hashes_;  // The hash of each word, by id, for Grow.
  std::string scratch_;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_TERM_DICTIONARY_H_
