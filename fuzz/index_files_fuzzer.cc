// The binary files of a library and of the analysis environment: the
// archive (dictionary and stem map), a document's ".idx" and a half's
// "master.idx" (two term vectors one after the other). Any bytes read without
// a crash or an allocation beyond what was read, and:
//  - ReadVector from a stream, ReadVector from bytes and ReadPairs read the
//    same vectors and stop at the same place (the bytes at their end when
//    the data is cut short);
//  - a vector read is written and read back unchanged, and equal vectors
//    give equal bytes;
//  - Finalize leaves each couple of terms at most once and no negligible
//    pair; merging, intersecting and stemming what was read do not fail;
//  - an archive read (whole or in part) is written and read back with the
//    same words in the same order and the same stem entries;
//  - a library whose "master.idx" holds the input loads the vectors
//    ReadVector reads. (Writing them back is the vectors' own round trip
//    above: the store's writer syncs the file, far too slow for each input.)
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/analysis_environment.h"
#include "analysis/stem_map.h"
#include "analysis/term_dictionary.h"
#include "analysis/term_vector.h"
#include "analysis/word_lists.h"
#include "fuzz/fuzz_support.h"
#include "store/document_store.h"

namespace {

using qora::fuzz::Check;
using qora::fuzz::CheckFinalized;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

bool SamePair(const qora::TermPair& a, const qora::TermPair& b) {
  return a.first() == b.first() && a.second() == b.second() && SameBits(a.forward(), b.forward()) &&
         SameBits(a.backward(), b.backward());
}

bool SameVector(const qora::TermVector& a, const qora::TermVector& b) {
  if (a.pair_count() != b.pair_count() || !SameBits(a.weight(), b.weight()) ||
      a.term_counts() != b.term_counts()) {
    return false;
  }
  for (size_t i = 0; i < a.pair_count(); ++i) {
    if (!SamePair(a.PairAt(i), b.PairAt(i))) return false;
  }
  return true;
}

std::string Written(const qora::TermVector& vector) {
  std::ostringstream out;
  vector.WriteVector(out);
  return out.str();
}

class QuietProgress : public qora::Progress {
 public:
  void SetStatus(const std::string&) override {}
  bool StopRequested() const override { return false; }
};

// Reads the vector at the front of `*bytes` the three ways and checks that
// they agree; returns it.
qora::TermVector ReadOneVector(std::string_view* bytes) {
  const std::string copy(*bytes);
  std::istringstream stream(copy);
  qora::TermVector from_stream;
  const int stream_result = from_stream.ReadVector(stream);
  const size_t stream_end = stream ? static_cast<size_t>(stream.tellg()) : copy.size();

  std::string_view view = *bytes;
  qora::TermVector from_bytes;
  from_bytes.SetTermCount(7, 7);  // the reader must replace what was there
  const int bytes_result = from_bytes.ReadVector(&view);
  Check(stream_result == bytes_result, "the two ReadVector disagree on the result");
  Check(SameVector(from_stream, from_bytes), "the two ReadVector read different vectors");
  Check(bytes->size() - view.size() == stream_end, "the two ReadVector stop at different places");
  Check(bytes_result == 0 || (from_bytes.pair_count() == 0 && from_bytes.term_count() == 0),
        "a failed ReadVector left a vector that is not empty");

  std::string_view pairs_view = *bytes;
  std::vector<qora::TermPair> pairs = {qora::TermPair(1, 2)};
  const bool pairs_read = qora::TermVector::ReadPairs(&pairs_view, &pairs);
  Check(pairs_read == (bytes_result == 0), "ReadPairs and ReadVector disagree on the result");
  Check(pairs_view.size() == view.size(), "ReadPairs and ReadVector stop at different places");
  Check(pairs.size() == from_bytes.pair_count(), "ReadPairs read another number of pairs");
  for (size_t i = 0; i < pairs.size(); ++i) {
    Check(SamePair(pairs[i], from_bytes.PairAt(i)), "ReadPairs read another pair");
  }
  std::string_view skipped = *bytes;
  qora::TermVector::ReadPairs(&skipped, nullptr);
  Check(skipped.size() == view.size(), "ReadPairs without pairs stops at another place");

  *bytes = view;
  return from_bytes;
}

void CheckWriteBack(const qora::TermVector& vector) {
  if (vector.pair_count() == 0) return;
  const std::string written = Written(vector);
  std::string_view view = written;
  qora::TermVector again;
  Check(again.ReadVector(&view) == 0, "a written vector does not read back");
  Check(view.empty(), "a written vector reads back shorter");
  Check(SameVector(vector, again), "a written vector reads back changed");
  Check(Written(again) == written, "equal vectors give different bytes");
}

void CheckVectorUse(const qora::TermVector& vector) {
  qora::TermVector finalized(vector);
  finalized.Finalize();
  CheckFinalized(finalized);
  qora::TermVector sum(finalized);
  sum.Merge(vector);
  sum.Merge(sum);
  const qora::TermVector shared = finalized.Intersect(vector);
  qora::StemMap stems;
  stems.SetStem(1, 2);
  qora::TermVector stemmed;
  stemmed.StemmedCopyOf(vector, &stems);
  (void)shared.TotalWeight();
}

void CheckIndexFile(std::string_view bytes) {
  std::string_view rest = bytes;
  for (int i = 0; i < 3 && !rest.empty(); ++i) {
    const qora::TermVector vector = ReadOneVector(&rest);
    CheckWriteBack(vector);
    CheckVectorUse(vector);
  }
}

void CheckArchive(std::string_view bytes) {
  qora::TermDictionary dictionary;
  qora::StemMap stems;
  std::istringstream in{std::string(bytes)};
  qora::ReadArchive(in, &dictionary, &stems);
  std::ostringstream out;
  Check(qora::WriteArchive(out, dictionary, stems), "WriteArchive failed");
  qora::TermDictionary dictionary2;
  qora::StemMap stems2;
  std::istringstream in2(out.str());
  Check(qora::ReadArchive(in2, &dictionary2, &stems2), "a written archive does not read back");
  Check(dictionary2.size() == dictionary.size(), "an archive reads back with another word count");
  for (int32_t id = 0; id < dictionary.size(); ++id) {
    Check(dictionary2.WordText(id) == dictionary.WordText(id), "an archived word changed",
          dictionary.WordText(id));
  }
  Check(stems2.entries() == stems.entries(), "an archive reads back other stem entries");
}

// A library of two empty halves in a scratch folder, whose local master
// index holds `bytes`.
void CheckMasterIndex(std::string_view bytes) {
  static const std::string folder = qora::fuzz::ScratchPath("-library/");
  static bool made = std::filesystem::create_directories(folder) || true;
  (void)made;
  QuietProgress progress;
  qora::AnalysisEnvironment environment(&progress);
  qora::DocumentStore store(&environment);
  for (qora::LibraryHalf* half : {&store.local(), &store.web()}) {
    half->cache_folder = folder;
    half->index_folder = folder;
  }
  std::filesystem::remove(folder + qora::kCacheTableFile);
  Check(qora::fuzz::WriteFile(store.local().MasterPath(), bytes), "cannot write the scratch file");

  std::string_view view = bytes;
  qora::TermVector plain;
  qora::TermVector stemmed;
  plain.ReadVector(&view);
  stemmed.ReadVector(&view);
  store.RefreshIndex();
  Check(SameVector(store.local().plain(), plain), "the library loaded another plain vector");
  Check(SameVector(store.local().stemmed, stemmed), "the library loaded another stemmed vector");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = qora::fuzz::AsText(data, size);
  CheckIndexFile(bytes);
  CheckArchive(bytes);
  CheckMasterIndex(bytes);
  return 0;
}
