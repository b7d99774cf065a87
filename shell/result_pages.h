// The result pages: the concept map and the summaries, made from the page
// templates of the data folder and written into its page folder "html/".
//
// Each template is an installed data file in a folder of its own below the
// data folder ("map/map.htm", "csum/csum.htm", "csumry/csumry.htm",
// "sumry/sumry.htm", "sum/sum.htm"). A page is the template with every
// "<!-- XML FILE PATH -->" replaced by the path of the DML file it shows and
// every "<!-- SOURCE FOLDER PATH -->" by the template's own folder; it is
// written as "map_.htm", "csum_.htm", "csumry_.htm", "sumry_.htm" or
// "sum_.htm" in the page folder.
#ifndef QORA_SHELL_RESULT_PAGES_H_
#define QORA_SHELL_RESULT_PAGES_H_

#include <optional>
#include <string>
#include <string_view>

namespace qora {

// What a page in the template stands for.
inline constexpr std::string_view kDmlPathPlaceholder = "<!-- XML FILE PATH -->";
inline constexpr std::string_view kSourceFolderPlaceholder = "<!-- SOURCE FOLDER PATH -->";

// The whole text of a page that has nothing to show.
inline constexpr std::string_view kEmptyPageText =
    "<font color = 'silver' face = 'verdana'> (empty)</font>";

// The page folder's name below the data folder.
inline constexpr std::string_view kPageFolderName = "html/";

enum class ResultPageKind {
  kMap,              // "map": the concept map, one page
  kCombinedSummary,  // "csum": the summary of several documents, two pages
  kSingleSummary,    // "sumry": the summary of one document, two pages
};

// The kind named "map", "csum" or "sumry"; nullopt for any other name.
std::optional<ResultPageKind> ResultPageKindNamed(std::string_view name);

// `page_template` with every placeholder replaced, in one pass from the
// start: each replacement scans on after the text it inserted, so a path
// that itself holds a placeholder is never replaced again.
std::string FillPageTemplate(std::string_view page_template, std::string_view dml_path,
                             std::string_view source_folder);

// Writes one page: the template at `template_path` filled with `dml_path`
// and `source_folder`, or kEmptyPageText when `dml_path` is empty or the
// template cannot be read. The page replaces `page_path` whole (a reader
// never meets it half written). Returns "" when the page was written, else a
// message saying what failed; `page_path` then keeps what it held.
std::string WriteResultPage(const std::string& template_path, const std::string& page_path,
                            const std::string& source_folder, const std::string& dml_path);

// `dml_path` as a summary page receives it: the text after the first
// "file://" when it holds one, else unchanged.
std::string SummaryDmlPath(const std::string& dml_path);

// Writes the pages of `kind` showing the DML file at `dml_path`, from the
// templates of `data_folder` (with or without its trailing "/") into its
// page folder, which is made when missing. The single summary writes its
// "sumry" page and then its "sum" page, the combined summary "csum" and then
// "csumry"; both first cut a "file://" from the path (SummaryDmlPath). An
// empty `dml_path` writes no page of any kind. A template that cannot be
// read gives its page the kEmptyPageText.
//
// Returns "" when done and sets `*first_page` to the file name (in the page
// folder) of the page to show first: "map_.htm", "csum_.htm" or
// "sumry_.htm"; it is "" when no page was written for an empty path. On
// failure returns a message saying which page could not be written,
// `*first_page` is "", and the pages after the failed one are not written.
std::string WriteResultPages(const std::string& data_folder, ResultPageKind kind,
                             const std::string& dml_path, std::string* first_page);

}  // namespace qora

#endif  // QORA_SHELL_RESULT_PAGES_H_
