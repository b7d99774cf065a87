#include "engine/environment.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "analysis/cfg_file.h"
#include "analysis/decimal.h"
#include "analysis/word_lists.h"

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

EngineEnvironment::EngineEnvironment() : delimiters_(kWordDelimiters) {}

void EngineEnvironment::EnvironmentLoad(const std::string& folder, const std::string& file) {
  delimiters_.Assign(kWordDelimiters);
  data_folder_ = folder;
  ReadEnvironmentFile(folder + file);
  temp_store_name_ = CfgFile::CfgLoad(folder + kTempStoreFile).CfgGet(kSection, "temp_docstore");
  LoadArchive();
  LoadStopWords();
}

void EngineEnvironment::ReadEnvironmentFile(const std::string& path) {
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

void EngineEnvironment::LoadArchive() {
  std::ifstream in(data_folder_ + archive_file_, std::ios::binary);
  if (!in) return;
  if (!ReadArchive(in, &dictionary_, &stems_)) {
    std::cerr << "warning: the term dictionary archive \"" << data_folder_ + archive_file_
              << "\" ends early; the words read before that point are kept" << std::endl;
  }
}

void EngineEnvironment::LoadStopWords() {
  ReadStopWords(data_folder_ + stopword_file_, &dictionary_, &stop_words_);
}

int EngineEnvironment::EnvironmentSaveArchive() const {
  const std::string path = data_folder_ + archive_file_;
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return 1;
    if (!WriteArchive(out, dictionary_, stems_)) {
      out.close();
      std::remove(partial.c_str());
      return 1;
    }
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return 1;
  }
  return 0;
}

void EngineEnvironment::EnvironmentWriteTempStoreName(const std::string& folder,
                                                      const std::string& name) {
  CfgWriteText(folder + kTempStoreFile, "[environment] \n temp_docstore = " + name);
}

void EngineEnvironment::EnvironmentReloadWordLists() {
  dictionary_.ClearDictionary();
  stems_.ClearStemMap();
  stop_words_.ClearStopWords();
  LoadStopWords();
}

void EngineEnvironment::EnvironmentSetStop(int value) {
  std::lock_guard<std::mutex> lock(progress_lock_);
  stop_ = value;
}

bool EngineEnvironment::EnvironmentStopRequested() const {
  std::lock_guard<std::mutex> lock(progress_lock_);
  return stop_ != 0;
}

void EngineEnvironment::EnvironmentSetStatus(const std::string& text) {
  std::lock_guard<std::mutex> lock(progress_lock_);
  status_ = text;
}

std::string EngineEnvironment::EnvironmentGetStatus() const {
  std::lock_guard<std::mutex> lock(progress_lock_);
  return status_;
}

}  // namespace qora
