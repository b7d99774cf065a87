// The concept map of a term vector: its concepts, the groups of terms that
// occur near each other more than near the rest, found by partitioning the
// graph of its term pairs; and the key phrases that name a concept.
#ifndef QORA_ANALYSIS_CONCEPT_MAP_H_
#define QORA_ANALYSIS_CONCEPT_MAP_H_

#include <cstdint>
#include <vector>

#include "analysis/graph_partition.h"
#include "analysis/term_dictionary.h"
#include "analysis/term_list.h"
#include "analysis/term_vector.h"
#include "util/document_record.h"

namespace qora {

// The term graph of a vector, as BuildConcepts partitions it.
struct TermGraph {
  // Vertex v stands for the term terms[v].
  std::vector<int32_t> terms;
  WeightedGraph graph;
};

// The term graph of `source`: one vertex per distinct term of its pairs,
// numbered in order of first appearance (first term, then second term, of
// each pair in table order). Every pair (a, b) adds an entry a->b to a's
// entries and an entry b->a to b's, in pair order, both weighing
// trunc(total * 10000 / M), where total is the sum of the pair's weights and
// M the largest total of a pair (at least 1e-8); a weight that is not a
// number or is below 0 counts 0. Pairs of a term with itself and pairs
// given in both orientations are kept as they are: PartitionGraph drops the
// former and merges the latter.
TermGraph BuildTermGraph(const TermVector& source);

// Replaces `*concepts` by the concepts of `source`, each a vector of the
// pairs whose terms fall in one part of its term graph. The number of
// concepts d is the pair count divided by `pairs_per_concept`, at most
// `max_concepts` and at most the number of terms in pairs; when d is at most
// 1 (`max_concepts` 1 or less included) the one concept is a copy of
// `source`. Otherwise concept k holds, in
// source order, every pair both of whose terms lie in part k, and the source
// counts of their terms (a term without a count in `source` gets none);
// pairs across parts belong to no concept, and a concept may be empty. With
// `prune`, PruneConcepts is applied.
//
// Returns false, leaving `*concepts` empty, when `source` has no pairs, when
// `pairs_per_concept` is below 1, when `concepts` is null, or when the graph
// cannot be partitioned.
bool BuildConcepts(const TermVector& source, int pairs_per_concept, int max_concepts, bool prune,
                   std::vector<TermVector>* concepts);

// When there are more than 2 concepts, removes those whose TotalWeight is
// below 0.8 times the median one (the weight at index n / 2 of the n weights
// in ascending order). The rest keep their order. 1 or 2 concepts are kept.
void PruneConcepts(std::vector<TermVector>* concepts);

// BuildConcepts with pruning, then sets the weight of every concept to its
// TotalWeight and orders them by descending weight (equal weights keep their
// order). Returns what BuildConcepts returns.
bool BuildConceptMap(const TermVector& source, int pairs_per_concept, int max_concepts,
                     std::vector<TermVector>* concepts);

// The phrase that best follows the word order of `vector`: its terms in an
// order in which they mostly occur one after another, scored by how strongly
// each term follows the ones before it (or precedes the ones after it), less
// one per term. Grown from single terms of the first 40 pairs, taken in
// ascending id order, by two passes that add a term at either end and keep
// the best phrase; candidate terms are tried in ascending id order and
// earlier phrases win ties. A phrase never holds a term twice, and only
// terms with a count in `vector` join a phrase of two or more. A vector
// without pairs gives an empty phrase with score 0.
TermList BestPhrase(const TermVector& vector);

// Appends to `keywords` the distinct phrases of `phrases` as key phrases:
// repeated id sequences are dropped (the earliest stays), the rest are taken
// in descending score order (equal scores keep their order), and each whose
// text (its words, each followed by a blank) was not met before is written as
// {text, score, 0} when its score s satisfies 1e-8 < s and s + 1 < 1e8.
// Returns the number written.
int AppendKeyPhrases(std::vector<TermList> phrases, const TermDictionary& dictionary,
                     std::vector<WeightedTerm>* keywords);

// Describes `concept_vector`, the concept at `position` of a concept map in
// `*record`: rank 0, object handle `handle`, ord `position`, name and header
// the decimal text of position + 1, empty short and long descriptions, and
// as keywords the key phrases (see AppendKeyPhrases) of the best phrases of
// its sub-concepts (BuildConcepts with pruning, `pairs_per_subconcept` and at
// most `max_phrases` of them, so a `max_phrases` of 1 or less gives one
// sub-concept, the concept itself; none when that fails). Other fields are
// left as they are. Returns the number of key phrases written.
int FillConceptRecord(const TermVector& concept_vector, DocumentRecord* record, int handle,
                      int position, int max_phrases, int pairs_per_subconcept,
                      const TermDictionary& dictionary);

}  // namespace qora

#endif  // QORA_ANALYSIS_CONCEPT_MAP_H_
