#include "store/document_indexer.h"

#include "analysis/term_list.h"
#include "util/markup_scanner.h"

namespace qora {
namespace {

// Sums sentence vectors into paragraph vectors and paragraphs into the
// document. Sentences after the last paragraph end are not counted.
class BodyIndexer : public MarkupHandler {
 public:
  BodyIndexer(AnalysisEnvironment* environment, TermVector* document)
      : environment_(environment), document_(document) {}

  void StartElement(std::string_view name, std::string_view) override {
    if (name == "p") paragraph_.Clear();
  }

  void EndElement(std::string_view name) override {
    if (name != "p") return;
    document_->Merge(paragraph_);
    paragraph_.Clear();
  }

  void LeafElement(std::string_view name, std::string_view content, std::string_view) override {
    if (name != "s") return;
    PrepareTermList(content, environment_->dictionary(), environment_->delimiters(),
                    environment_->stems(), environment_->stop_words(), &sentence_terms_);
    sentence_.Build(sentence_terms_, environment_->pair_window());
    paragraph_.Merge(sentence_);
  }

  bool Stop() override { return false; }

 private:
  AnalysisEnvironment* environment_;
  TermVector* document_;
  TermVector paragraph_;
  TermVector sentence_;
  TermList sentence_terms_;
};

}  // namespace

void IndexDocumentBody(const std::string& dml_path, AnalysisEnvironment* environment,
                       TermVector* plain, TermVector* stemmed) {
  plain->Clear();
  stemmed->Clear();
  BodyIndexer indexer(environment, plain);
  ScanMarkupFile(dml_path, &indexer, /*skip_header=*/true);
  plain->Finalize();
  if (environment->stemmed_model()) stemmed->StemmedCopyOf(*plain, environment->stems());
}

}  // namespace qora
