// The environment the analysis, the store and the acquisition work in: the
// data folder and the analysis settings of "main.ini", the shared word
// lists, and where a long operation reports progress. The engine owns the
// one instance and adds what only it needs.
#ifndef QORA_ANALYSIS_ANALYSIS_ENVIRONMENT_H_
#define QORA_ANALYSIS_ANALYSIS_ENVIRONMENT_H_

#include <string>

#include "analysis/delimiter_set.h"
#include "analysis/stem_map.h"
#include "analysis/stop_word_set.h"
#include "analysis/term_dictionary.h"
#include "util/progress.h"

namespace qora {

class AnalysisEnvironment {
 public:
  // Progress of long operations goes to `progress`, which must outlive this.
  explicit AnalysisEnvironment(Progress* progress);
  virtual ~AnalysisEnvironment() = default;
  AnalysisEnvironment(const AnalysisEnvironment&) = delete;
  AnalysisEnvironment& operator=(const AnalysisEnvironment&) = delete;

  // Makes `folder` the data folder and reads section "environment" of
  // folder + file (paths joined by plain concatenation). Throws CfgError,
  // with the reader's message on stderr, when the file is missing or broken
  // or when "rel_per_sec" or "rel_per_subsec" is not positive.
  void ReadAnalysisSettings(const std::string& folder, const std::string& file);

  // Loads the archive and the stop-word file named by the settings; missing
  // word-list files leave the lists empty.
  void LoadWordLists();

  // Writes the dictionary and stem map to the archive file, replacing it
  // whole and synced to disk, so a failed write never destroys the previous
  // archive. 0 when written; 1 when the file cannot be written.
  int EnvironmentSaveArchive() const;

  // Empties the dictionary, the stem map and the stop words, then rereads the
  // stop-word file.
  void EnvironmentReloadWordLists();

  // Where long operations report their status and learn of a stop request.
  Progress& progress() const { return *progress_; }

  // The data folder followed by the document store sub-folder.
  std::string StoreFolderRoot() const { return data_folder_ + store_subfolder_; }

  const std::string& data_folder() const { return data_folder_; }
  int pair_window() const { return pair_window_; }
  int pairs_per_concept() const { return pairs_per_concept_; }
  int pairs_per_subconcept() const { return pairs_per_subconcept_; }
  int stemming() const { return stemming_; }
  bool stemmed_model() const { return stemming_ == 1; }
  const std::string& stopword_file() const { return stopword_file_; }
  const std::string& archive_file() const { return archive_file_; }
  const std::string& store_subfolder() const { return store_subfolder_; }

  const DelimiterSet& delimiters() const { return delimiters_; }
  TermDictionary* dictionary() { return &dictionary_; }
  const TermDictionary& dictionary() const { return dictionary_; }
  StemMap* stems() { return &stems_; }
  const StemMap& stems() const { return stems_; }
  const StopWordSet& stop_words() const { return stop_words_; }

 private:
  void LoadArchive();
  void LoadStopWords();

  Progress* const progress_;
  std::string data_folder_;
  int pair_window_ = 0;
  int pairs_per_concept_ = 0;
  int pairs_per_subconcept_ = 0;
  std::string stopword_file_;
  std::string archive_file_;
  std::string store_subfolder_;
  int stemming_ = 0;

  DelimiterSet delimiters_;
  TermDictionary dictionary_;
  StemMap stems_;
  StopWordSet stop_words_;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_ANALYSIS_ENVIRONMENT_H_
