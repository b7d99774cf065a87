#include "analysis/word_lists.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace qora {
namespace {

// A word longer than this cannot be a dictionary entry: the archive is damaged.
constexpr int32_t kMaxArchivedWordLength = 1 << 20;

bool ReadInt32(std::istream& in, int32_t* value) {
  unsigned char bytes[4];
  if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
  *value = static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

void WriteInt32(std::ostream& out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  out.write(bytes, 4);
}

bool IsWhiteSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool ReadDictionaryPart(std::istream& in, TermDictionary* dictionary) {
  int32_t count;
  if (!ReadInt32(in, &count)) return false;
  std::string word;
  for (int32_t i = 0; i < count; ++i) {
    int32_t length;
    if (!ReadInt32(in, &length) || length < 0 || length > kMaxArchivedWordLength) return false;
    word.resize(static_cast<size_t>(length));
    if (length > 0 && !in.read(word.data(), length)) return false;
    // The word ends at its first zero byte, if it holds one.
    dictionary->AddWord(std::string_view(word.c_str()));
  }
  return true;
}

bool ReadStemPart(std::istream& in, StemMap* stems) {
  int32_t count;
  if (!ReadInt32(in, &count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t word_id, stem_id;
    if (!ReadInt32(in, &word_id) || !ReadInt32(in, &stem_id)) return false;
    stems->SetStem(word_id, stem_id);
  }
  return true;
}

}  // namespace

bool ReadStopWords(const std::string& path, TermDictionary* dictionary, StopWordSet* stop_words) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string word;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    if (!IsWhiteSpace(c)) {
      word.push_back(static_cast<char>(c));
      continue;
    }
    if (!word.empty()) stop_words->AddStopWord(dictionary->AddWord(word));
    word.clear();
  }
  if (!word.empty()) stop_words->AddStopWord(dictionary->AddWord(word));
  std::fclose(file);
  return true;
}

bool ReadArchive(std::istream& in, TermDictionary* dictionary, StemMap* stems) {
  return ReadDictionaryPart(in, dictionary) && ReadStemPart(in, stems);
}

bool WriteArchive(std::ostream& out, const TermDictionary& dictionary, const StemMap& stems) {
  WriteInt32(out, dictionary.size());
  for (int32_t id = 0; id < dictionary.size(); ++id) {
    const std::string& word = dictionary.WordText(id);
    WriteInt32(out, static_cast<int32_t>(word.size()));
    out.write(word.data(), static_cast<std::streamsize>(word.size()));
  }
  WriteInt32(out, static_cast<int32_t>(stems.size()));
  for (const auto& [word_id, stem_id] : stems.entries()) {
    WriteInt32(out, word_id);
    WriteInt32(out, stem_id);
  }
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace qora
