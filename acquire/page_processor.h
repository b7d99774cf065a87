// Turns one raw file (a fetched page, or a file copied from disk) into a
// stored document: the archived copy with its banner, the DML document with
// title, paragraphs, sentences and anchor section, and the entry in the
// half's document table. HTML goes through the page cleaner, PDF through the
// PDF converter, both run as programs from the data folder.
#ifndef QORA_ACQUIRE_PAGE_PROCESSOR_H_
#define QORA_ACQUIRE_PAGE_PROCESSOR_H_

#include <mutex>
#include <string>
#include <vector>

#include "acquire/crawl_settings.h"
#include "analysis/analysis_environment.h"
#include "store/document_store.h"

namespace qora {

// Link kinds reported by ProcessPage.
inline constexpr int kLinkSameHost = 1;
inline constexpr int kLinkOtherHost = 2;
inline constexpr int kLinkFrame = 3;

// Works for one acquisition operation on `store`, with the operation's
// `settings` (limits and filters; its docsDone counter is raised for every
// stored document) and the tools of `environment`'s data folder. When
// `crawl_lock` is not null the document-table lookup and addition and the
// counter update take it, so that crawl workers may process pages at once.
// All four must outlive the processor.
class PageProcessor {
 public:
  PageProcessor(DocumentStore* store, CrawlSettings* settings,
                const AnalysisEnvironment* environment, std::mutex* crawl_lock);

  PageProcessor(const PageProcessor&) = delete;
  PageProcessor& operator=(const PageProcessor&) = delete;

  // Stores the HTML page fetched from `address` whose raw content the caller
  // wrote to `raw_path` (the cache folder + id + ".htm"), in the local half
  // when `local` is true, else in the web half. Appends the page's frames
  // (kind 3) and then its anchors' addresses (kinds 1 and 2) to `links` and
  // `kinds`, and sets `*frame_count`. Returns 0 when the document was stored;
  // -1 when the table already held `id` or the page was rejected (a rejected
  // page leaves no file behind). Zero bytes of the raw content are dropped:
  // neither the archived copy nor the document holds one.
  int ProcessPage(const std::string& address, const std::string& raw_path, const std::string& id,
                  std::vector<std::string>* links, std::vector<int>* kinds, int* frame_count,
                  bool local);

  // Stores the PDF file of `address` whose raw content is at `raw_path`
  // (`base_path` + ".pdf", base_path being the cache folder + id); the
  // converter writes `base_path` + ".html". Returns as ProcessPage.
  int ProcessPdf(const std::string& address, const std::string& raw_path,
                 const std::string& base_path, const std::string& id, bool local);

 private:
  struct Draft;
  enum class Outcome;

  Outcome ProcessPageFiles(const std::string& address, const std::string& raw_path,
                           const std::string& id, std::vector<std::string>* links,
                           std::vector<int>* kinds, int* frame_count, bool local);
  Outcome ProcessPdfFiles(const std::string& address, const std::string& raw_path,
                          const std::string& base_path, const std::string& id, bool local);

  // Applies the size limits and document filters to `draft`, then writes the
  // DML document and adds the table entry. A rejected draft leaves no DML
  // file behind; the caller removes the raw file and the helper's output.
  Outcome StoreDocument(const Draft& draft);

  LibraryHalf& HalfFor(bool local) { return local ? store_->local() : store_->web(); }
  // The table lookup of `id`, under the crawl lock when there is one.
  bool TableHolds(bool local, const std::string& id);
  // Adds the table entry and counts the document, under the crawl lock when
  // there is one. False when the id was entered in the meantime.
  bool AddEntry(bool local, const std::string& id, const std::string& uri, const std::string& size);

  DocumentStore* store_;
  CrawlSettings* settings_;
  const AnalysisEnvironment* environment_;
  std::mutex* crawl_lock_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_PAGE_PROCESSOR_H_
