#include "store/summarizer.h"

#include <cmath>
#include <limits>
#include <utility>

#include "analysis/term_list.h"
#include "store/dml_writer.h"
#include "util/document_record.h"
#include "util/markup_scanner.h"

namespace qora {
namespace {

// Extra terms that every sentence is weighed as holding, so that short
// sentences with one strong pair do not outweigh longer ones.
constexpr double kTermAllowance = 5.0;

// Weighs sentences, reusing its term list and vector from one to the next.
class SentenceWeigher {
 public:
  SentenceWeigher(const TermVector& reference, AnalysisEnvironment* environment)
      : reference_(reference), environment_(environment) {}

  int32_t Weigh(std::string_view sentence) {
    AnalysisEnvironment& env = *environment_;
    PrepareTermList(sentence, env.dictionary(), env.delimiters(), env.stems(), env.stop_words(),
                    &terms_);
    if (env.stemmed_model()) terms_.MapToStems(env.stems());
    sentence_.Build(terms_, env.pair_window());
    if (sentence_.pair_count() == 0) return 0;
    // The sentence's pairs are looked up in the reference.
    const double overlap = reference_.Intersect(sentence_).TotalWeight();
    return WeightFromOverlap(overlap, sentence_.term_count());
  }

 private:
  const TermVector& reference_;
  AnalysisEnvironment* environment_;
  TermList terms_;
  TermVector sentence_;
};

// Rewrites the body of a DML document: paragraphs with weighed sentences
// into the body text, links into the link block. The link block restarts at
// every "anc" element, so the last one is kept; a link met in a paragraph
// or the description joins the block as it stands. Leaves other than
// sentences and links are dropped, and so is everything outside paragraphs,
// the description and link blocks (the description is written anew from
// the document's record).
class SummaryRewriter : public MarkupHandler {
 public:
  SummaryRewriter(const TermVector& reference, AnalysisEnvironment* environment)
      : weigher_(reference, environment) {}

  void StartElement(std::string_view name, std::string_view /*attributes*/) override {
    if (name == "p") {
      in_paragraph_ = true;
      body_ += "<p>";
    } else if (name == "stat") {
      in_description_ = true;
    } else if (name == "anc") {
      in_links_ = true;
      links_ = "<anc>";
    }
  }

  void EndElement(std::string_view name) override {
    if (name == "p") {
      in_paragraph_ = false;
      body_ += "</p>";
    } else if (name == "stat") {
      in_description_ = false;
    } else if (name == "anc") {
      in_links_ = false;
      links_ += "</anc>";
    }
  }

  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    if (!in_paragraph_ && !in_description_ && !in_links_) return;
    if (name == "s") {
      AppendSentence(content);
    } else if (name == "a") {
      AppendLink(content, attributes);
    }
  }

  bool Stop() override { return false; }

  const std::string& body() const { return body_; }
  const std::string& links() const { return links_; }

 private:
  void AppendSentence(std::string_view text) {
    body_ += "<s w=\"";
    body_ += std::to_string(weigher_.Weigh(text));
    body_ += "\" c=\"1\">";
    body_ += text;
    body_ += "</s>";
  }

  void AppendLink(std::string_view text, std::string_view attributes) {
    links_ += "<a ";
    links_ += attributes;
    links_ += ">";
    links_ += text;
    links_ += "</a>";
  }

  SentenceWeigher weigher_;
  bool in_paragraph_ = false;
  bool in_description_ = false;
  bool in_links_ = false;
  std::string body_;
  std::string links_;
};

// A name that stays a single file of the cache folder and a single field of
// its table line.
bool UsableName(const std::string& name) {
  return !name.empty() && name.find_first_of("/|\r\n") == std::string::npos;
}

}  // namespace

int32_t WeightFromOverlap(double overlap, size_t distinct_terms) {
  const double weight =
      std::trunc(overlap * (1.0 / (static_cast<double>(distinct_terms) + kTermAllowance)));
  if (std::isnan(weight)) return 0;
  constexpr double kLowest = std::numeric_limits<int32_t>::min();
  constexpr double kHighest = std::numeric_limits<int32_t>::max();
  if (weight <= kLowest) return std::numeric_limits<int32_t>::min();
  if (weight >= kHighest) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(weight);
}

int32_t SentenceWeight(std::string_view sentence, const TermVector& reference,
                       AnalysisEnvironment* environment) {
  return SentenceWeigher(reference, environment).Weigh(sentence);
}

TermVector SummaryReference(const TermVector& query, double bias, TermVector document) {
  const bool use_query = query.pair_count() > 0 && bias >= TermVector::kNegligibleWeight;
  if (!use_query) return document;
  TermVector reference = query;
  if (1.0 - bias <= TermVector::kNegligibleWeight) return reference;
  reference.Scale(bias);
  document.Scale(1.0 - bias);
  reference.Merge(document);
  return reference;
}

std::string SummarizeDocument(DocumentStore* store, std::string_view document_id,
                              const std::string& name_prefix, const TermVector& query, double bias,
                              DocumentStore* temp_store, AnalysisEnvironment* environment) {
  std::string folder;
  if (!UsableName(name_prefix) || !store->DocumentFolder(document_id, &folder)) return "";
  TermVector plain, stemmed;
  DocumentRecord record;
  if (store->LoadDocumentIndex(document_id, &plain, &stemmed) != 0 ||
      store->ReadStoredRecord(document_id, &record) != 0) {
    return "";
  }
  const TermVector reference = SummaryReference(
      query, bias, environment->stemmed_model() ? std::move(stemmed) : std::move(plain));
  SummaryRewriter rewriter(reference, environment);
  const std::string dml_path = folder + std::string(document_id) + ".dml";
  if (ScanMarkupFile(dml_path, &rewriter, /*skip_header=*/true) != 0) return "";

  std::string content = WriteStat(record);
  content += rewriter.body();
  content += rewriter.links();
  const std::string written =
      temp_store->AddLocalDocument(name_prefix + ".dml", record.uri, WriteDocument(content));
  return written.empty() ? "" : name_prefix;
}

}  // namespace qora
