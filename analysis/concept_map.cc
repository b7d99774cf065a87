#include "analysis/concept_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "analysis/pair_table.h"
#include "analysis/term_pair.h"

namespace qora {
namespace {

constexpr double kConceptPruneFactor = 0.8;
constexpr double kGraphWeightScale = 10000.0;
constexpr double kSmallestMaxWeight = 1e-8;
constexpr size_t kPhraseSeedPairs = 40;
constexpr int kPhraseExtensionPasses = 2;
constexpr size_t kPhrasesKeptPerPass = 1;
constexpr double kNegligibleScore = 1e-8;
constexpr double kLargestKeyPhraseScore = 1e8;

// trunc(total * scale / largest), 0 when that is not a number or negative.
// `largest` is the largest total, so the result is at most the scale.
int64_t ScaledWeight(double total, double largest) {
  const double scaled = total * kGraphWeightScale / largest;
  if (!(scaled >= 0.0)) return 0;
  return static_cast<int64_t>(std::min(scaled, kGraphWeightScale));
}

// The weight of `later` occurring right after `earlier` in `vector`.
double AppendWeight(const TermVector& vector, int32_t earlier, int32_t later) {
  if (const TermPair* pair = vector.FindPair(earlier, later)) return pair->forward();
  if (const TermPair* pair = vector.FindPair(later, earlier)) return pair->backward();
  return 0.0;
}

// The weight of `earlier` occurring right before `later` in `vector`, looked
// up from `later`'s side first.
double PrependWeight(const TermVector& vector, int32_t earlier, int32_t later) {
  if (const TermPair* pair = vector.FindPair(later, earlier)) return pair->backward();
  if (const TermPair* pair = vector.FindPair(earlier, later)) return pair->forward();
  return 0.0;
}

bool AllTermsCounted(const TermVector& vector, const TermList& phrase) {
  const TermVector::TermCounts& counts = vector.term_counts();
  for (int32_t id : phrase.ids()) {
    if (counts.find(id) == counts.end()) return false;
  }
  return true;
}

// The term ids of `vector`'s counts, ascending.
std::vector<int32_t> CountedTerms(const TermVector& vector) {
  std::vector<int32_t> terms;
  terms.reserve(vector.term_counts().size());
  for (const auto& [id, count] : vector.term_counts()) terms.push_back(id);
  std::sort(terms.begin(), terms.end());
  return terms;
}

// Adds to `*phrases` the extensions of `phrase` by one term of `terms` that
// `vector` supports: at the end when the term follows the phrase's terms,
// else at the start when it precedes them. Each is scored by that support
// less its number of terms.
void AddExtensions(const TermVector& vector, const std::vector<int32_t>& terms,
                   const TermList& phrase, std::vector<TermList>* phrases) {
  if (!AllTermsCounted(vector, phrase)) return;
  const std::vector<int32_t>& ids = phrase.ids();
  const double length = static_cast<double>(ids.size() + 1);
  for (int32_t term : terms) {
    if (phrase.Contains(term)) continue;
    double append = 0.0;
    for (int32_t id : ids) append += AppendWeight(vector, id, term);
    if (append > kNegligibleScore) {
      TermList longer = phrase;
      longer.Append(term);
      longer.set_score(append - length);
      phrases->push_back(std::move(longer));
      continue;
    }
    double prepend = 0.0;
    for (int32_t id : ids) prepend += PrependWeight(vector, term, id);
    if (prepend > kNegligibleScore) {
      TermList longer = phrase;
      longer.Prepend(term);
      longer.set_score(prepend - length);
      phrases->push_back(std::move(longer));
    }
  }
}

// Drops every phrase whose ids repeat those of an earlier one, then orders
// the rest by descending score, equal scores keeping their order.
void RemoveRepeatsAndRank(std::vector<TermList>* phrases) {
  std::set<std::vector<int32_t>> seen;
  std::vector<TermList> distinct;
  distinct.reserve(phrases->size());
  for (TermList& phrase : *phrases) {
    if (seen.insert(phrase.ids()).second) distinct.push_back(std::move(phrase));
  }
  std::stable_sort(distinct.begin(), distinct.end(),
                   [](const TermList& a, const TermList& b) { return a.score() > b.score(); });
  *phrases = std::move(distinct);
}

}  // namespace

TermGraph BuildTermGraph(const TermVector& source) {
  TermGraph result;
  std::unordered_map<int32_t, int32_t> vertex_of;
  auto vertex = [&](int32_t term) {
    const auto [found, added] = vertex_of.emplace(term, static_cast<int32_t>(result.terms.size()));
    if (added) result.terms.push_back(term);
    return found->second;
  };
  double largest = kSmallestMaxWeight;
  for (const TermPair& pair : source.pairs()) {
    vertex(pair.first());
    vertex(pair.second());
    largest = std::max(largest, pair.Total());
  }

  const size_t n = result.terms.size();
  std::vector<std::vector<std::pair<int32_t, int64_t>>> entries(n);
  for (const TermPair& pair : source.pairs()) {
    const int32_t a = vertex_of[pair.first()];
    const int32_t b = vertex_of[pair.second()];
    const int64_t weight = ScaledWeight(pair.Total(), largest);
    entries[static_cast<size_t>(a)].emplace_back(b, weight);
    entries[static_cast<size_t>(b)].emplace_back(a, weight);
  }

  WeightedGraph& graph = result.graph;
  graph.vertex_count = static_cast<int32_t>(n);
  graph.offsets.assign(1, 0);
  graph.neighbors.reserve(2 * source.pair_count());
  graph.weights.reserve(2 * source.pair_count());
  for (const auto& list : entries) {
    for (const auto& [neighbor, weight] : list) {
      graph.neighbors.push_back(neighbor);
      graph.weights.push_back(weight);
    }
    graph.offsets.push_back(static_cast<int64_t>(graph.neighbors.size()));
  }
  return result;
}

bool BuildConcepts(const TermVector& source, int pairs_per_concept, int max_concepts, bool prune,
                   std::vector<TermVector>* concepts) {
  if (concepts == nullptr) return false;
  concepts->clear();
  const size_t pair_count = source.pair_count();
  if (pair_count == 0 || pairs_per_concept < 1) return false;

  // A concept count of 1 or less asks for the whole source as one concept.
  size_t parts = std::min(pair_count / static_cast<size_t>(pairs_per_concept),
                          static_cast<size_t>(std::max(max_concepts, 1)));
  TermGraph term_graph;
  if (parts > 1) {
    term_graph = BuildTermGraph(source);
    parts = std::min(parts, term_graph.terms.size());
  }
  if (parts <= 1) {
    concepts->push_back(source);
    return true;
  }

  std::vector<int32_t> part_of;
  if (!PartitionGraph(term_graph.graph, static_cast<int>(parts), &part_of)) return false;
  std::unordered_map<int32_t, int32_t> part_of_term;
  part_of_term.reserve(term_graph.terms.size());
  for (size_t v = 0; v < term_graph.terms.size(); ++v)
    part_of_term[term_graph.terms[v]] = part_of[v];

  concepts->resize(parts);
  const TermVector::TermCounts& counts = source.term_counts();
  auto copy_count = [&counts](int32_t term, TermVector* concept_vector) {
    if (concept_vector->term_counts().count(term) != 0) return;
    const auto found = counts.find(term);
    if (found != counts.end()) concept_vector->SetTermCount(term, found->second);
  };
  for (const TermPair& pair : source.pairs()) {
    const int32_t part = part_of_term[pair.first()];
    if (part_of_term[pair.second()] != part) continue;
    TermVector& concept_vector = (*concepts)[static_cast<size_t>(part)];
    concept_vector.AppendPair(pair);
    copy_count(pair.first(), &concept_vector);
    copy_count(pair.second(), &concept_vector);
  }
  if (prune) PruneConcepts(concepts);
  return true;
}

void PruneConcepts(std::vector<TermVector>* concepts) {
  if (concepts->size() <= 2) return;
  std::vector<double> weights;
  weights.reserve(concepts->size());
  for (const TermVector& concept_vector : *concepts)
    weights.push_back(concept_vector.TotalWeight());
  std::vector<double> sorted = weights;
  std::sort(sorted.begin(), sorted.end());
  const double threshold = sorted[sorted.size() / 2] * kConceptPruneFactor;
  size_t kept = 0;
  for (size_t i = 0; i < concepts->size(); ++i) {
    if (weights[i] < threshold) continue;
    if (kept != i) (*concepts)[kept] = std::move((*concepts)[i]);
    ++kept;
  }
  concepts->resize(kept);
}

bool BuildConceptMap(const TermVector& source, int pairs_per_concept, int max_concepts,
                     std::vector<TermVector>* concepts) {
  if (!BuildConcepts(source, pairs_per_concept, max_concepts, true, concepts)) return false;
  for (TermVector& concept_vector : *concepts)
    concept_vector.set_weight(concept_vector.TotalWeight());
  std::stable_sort(
      concepts->begin(), concepts->end(),
      [](const TermVector& a, const TermVector& b) { return a.weight() > b.weight(); });
  return true;
}

TermList BestPhrase(const TermVector& vector) {
  PairTable seed_pairs;
  vector.CopyFirstPairs(&seed_pairs, kPhraseSeedPairs);
  std::set<int32_t> seeds;
  for (const TermPair& pair : seed_pairs) {
    seeds.insert(pair.first());
    seeds.insert(pair.second());
  }
  std::vector<TermList> phrases;
  for (int32_t seed : seeds) {
    TermList phrase;
    phrase.Append(seed);
    phrases.push_back(std::move(phrase));
  }

  const std::vector<int32_t> terms = CountedTerms(vector);
  for (int pass = 0; pass < kPhraseExtensionPasses; ++pass) {
    const std::vector<TermList> snapshot = phrases;
    for (const TermList& phrase : snapshot) AddExtensions(vector, terms, phrase, &phrases);
    RemoveRepeatsAndRank(&phrases);
    if (phrases.size() > kPhrasesKeptPerPass) phrases.resize(kPhrasesKeptPerPass);
  }
  return phrases.empty() ? TermList() : phrases.front();
}

int AppendKeyPhrases(std::vector<TermList> phrases, const TermDictionary& dictionary,
                     std::vector<WeightedTerm>* keywords) {
  RemoveRepeatsAndRank(&phrases);
  std::unordered_set<std::string> met;
  int written = 0;
  for (TermList& phrase : phrases) {
    phrase.RebuildText(dictionary);
    if (!met.insert(phrase.text()).second) continue;
    const double score = phrase.score();
    if (score > kNegligibleScore && score + 1.0 < kLargestKeyPhraseScore) {
      keywords->push_back(WeightedTerm{phrase.text(), score, 0});
      ++written;
    }
  }
  return written;
}

int FillConceptRecord(const TermVector& concept_vector, DocumentRecord* record, int handle,
                      int position, int max_phrases, int pairs_per_subconcept,
                      const TermDictionary& dictionary) {
  record->rank = 0.0;
  record->obj_handle = handle;
  record->ord = position;
  record->name = std::to_string(int64_t{position} + 1);
  record->header = record->name;
  record->sdesc.clear();
  record->ldesc.clear();
  record->keywords.clear();

  std::vector<TermVector> subconcepts;
  if (!BuildConcepts(concept_vector, pairs_per_subconcept, max_phrases, true, &subconcepts)) {
    return 0;
  }
  std::vector<TermList> phrases;
  phrases.reserve(subconcepts.size());
  for (const TermVector& subconcept : subconcepts) phrases.push_back(BestPhrase(subconcept));
  return AppendKeyPhrases(std::move(phrases), dictionary, &record->keywords);
}

}  // namespace qora
