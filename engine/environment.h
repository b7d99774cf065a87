// The engine environment: paths and analysis settings from "main.ini", the
// shared word lists, and the status text and stop flag of long operations.
#ifndef QORA_ENGINE_ENVIRONMENT_H_
#define QORA_ENGINE_ENVIRONMENT_H_

#include <mutex>
#include <string>

#include "analysis/delimiter_set.h"
#include "analysis/stem_map.h"
#include "analysis/stop_word_set.h"
#include "analysis/term_dictionary.h"

namespace qora {

// The file that names the temporary store, in the data folder.
inline constexpr char kTempStoreFile[] = "tmpdoc.ini";

class EngineEnvironment {
 public:
  EngineEnvironment();
  EngineEnvironment(const EngineEnvironment&) = delete;
  EngineEnvironment& operator=(const EngineEnvironment&) = delete;

  // Reads section "environment" of folder + file and "temp_docstore" of
  // folder + "tmpdoc.ini" (paths joined by plain concatenation), then loads
  // the archive and the stop-word file; missing word-list files leave the
  // lists empty. Throws CfgError, with the reader's message on stderr, when
  // a configuration file is missing or broken or when "rel_per_sec" or
  // "rel_per_subsec" is not positive.
  void EnvironmentLoad(const std::string& folder, const std::string& file);

  // Writes the dictionary and stem map to the archive file, through a
  // temporary file renamed into place so a failed write never destroys the
  // previous archive. 0 when written; 1 when the file cannot be written.
  int EnvironmentSaveArchive() const;

  // Rewrites folder + "tmpdoc.ini" to name `name` as the temporary store.
  // Throws CfgError when the file cannot be created.
  static void EnvironmentWriteTempStoreName(const std::string& folder, const std::string& name);

  // Empties the dictionary, the stem map and the stop words, then rereads the
  // stop-word file.
  void EnvironmentReloadWordLists();

  // The lock-guarded progress state shared with the shell's thread.
  void EnvironmentSetStop(int value);
  bool EnvironmentStopRequested() const;
  void EnvironmentSetStatus(const std::string& text);
  std::string EnvironmentGetStatus() const;

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
  const std::string& temp_store_name() const { return temp_store_name_; }
  void set_temp_store_name(std::string name) { temp_store_name_ = std::move(name); }

  const DelimiterSet& delimiters() const { return delimiters_; }
  TermDictionary* dictionary() { return &dictionary_; }
  const TermDictionary& dictionary() const { return dictionary_; }
  StemMap* stems() { return &stems_; }
  const StemMap& stems() const { return stems_; }
  const StopWordSet& stop_words() const { return stop_words_; }

 private:
  void ReadEnvironmentFile(const std::string& path);
  void LoadArchive();
  void LoadStopWords();

  std::string data_folder_;
  int pair_window_ = 0;
  int pairs_per_concept_ = 0;
  int pairs_per_subconcept_ = 0;
  std::string stopword_file_;
  std::string archive_file_;
  std::string store_subfolder_;
  int stemming_ = 0;
  std::string temp_store_name_;

  DelimiterSet delimiters_;
  TermDictionary dictionary_;
  StemMap stems_;
  StopWordSet stop_words_;

  mutable std::mutex progress_lock_;
  int stop_ = 0;
  std::string status_;
};

}  // namespace qora

#endif  // QORA_ENGINE_ENVIRONMENT_H_
