#include "analysis/analysis_environment.h"

#include <fstream>
#include <iostream>

#include "analysis/cfg_file.h"
#include "analysis/word_lists.h"
#include "util/atomic_file.h"
#include "util/decimal.h"

namespace qora {
namespace {

constexpr char kSection[] = "environment";

// Refuses a value the concept map cannot work with, as a fatal error.
void RequirePositive(int value, const char* key, const std::string& path) {
  if (value > 0) return;
  std::cerr << "\nfatal error: \"" << key << "\" in cfg file \"" << path
            << "\" must be a positive number" << std::endl;
  throw CfgError();
}

}  // namespace

AnalysisEnvironment::AnalysisEnvironment(Progress* progress)
    : progress_(progress), delimiters_(kWordDelimiters) {}

void AnalysisEnvironment::ReadAnalysisSettings(const std::string& folder, const std::string& file) {
  delimiters_.Assign(kWordDelimiters);
  data_folder_ = folder;
  const std::string path = folder + file;
  const CfgFile cfg = CfgFile::CfgLoad(path);
  pair_window_ = ParseDecimal(cfg.CfgGet(kSection, "c_d"));
  pairs_per_concept_ = ParseDecimal(cfg.CfgGet(kSection, "rel_per_sec"));
  pairs_per_subconcept_ = ParseDecimal(cfg.CfgGet(kSection, "rel_per_subsec"));
  stopword_file_ = cfg.CfgGet(kSection, "stopword_file");
  archive_file_ = cfg.CfgGet(kSection, "db_archive");
  store_subfolder_ = cfg.CfgGet(kSection, "doc_store_subfolder");
  stemming_ = ParseDecimal(cfg.CfgGet(kSection, "stemmed_model"));
  RequirePositive(pairs_per_concept_, "rel_per_sec", path);
  RequirePositive(pairs_per_subconcept_, "rel_per_subsec", path);
}

void AnalysisEnvironment::LoadWordLists() {
  LoadArchive();
  LoadStopWords();
}

void AnalysisEnvironment::LoadArchive() {
  std::ifstream in(data_folder_ + archive_file_, std::ios::binary);
  if (!in) return;
  if (!ReadArchive(in, &dictionary_, &stems_)) {
    std::cerr << "warning: the term dictionary archive \"" << data_folder_ + archive_file_
              << "\" ends early; the words read before that point are kept" << std::endl;
  }
}

void AnalysisEnvironment::LoadStopWords() {
  ReadStopWords(data_folder_ + stopword_file_, &dictionary_, &stop_words_);
}

int AnalysisEnvironment::EnvironmentSaveArchive() const {
  const bool written = ReplaceFile(
      data_folder_ + archive_file_,
      [this](std::ostream& out) { return WriteArchive(out, dictionary_, stems_); },
      Durability::kSynced);
  return written ? 0 : 1;
}

void AnalysisEnvironment::EnvironmentReloadWordLists() {
  dictionary_.ClearDictionary();
  stems_.ClearStemMap();
  stop_words_.ClearStopWords();
  LoadStopWords();
}

}  // namespace qora
