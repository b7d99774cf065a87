#include "engine/environment.h"

#include "analysis/cfg_file.h"

namespace qora {

void EngineEnvironment::EnvironmentLoad(const std::string& folder, const std::string& file) {
  ReadAnalysisSettings(folder, file);
  temp_store_name_ =
      CfgFile::CfgLoad(folder + kTempStoreFile).CfgGet("environment", "temp_docstore");
  LoadWordLists();
}

void EngineEnvironment::EnvironmentWriteTempStoreName(const std::string& folder,
                                                      const std::string& name) {
  CfgWriteText(folder + kTempStoreFile, "[environment] \n temp_docstore = " + name);
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
