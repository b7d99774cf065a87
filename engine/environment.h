// The engine environment: the analysis environment with the name of the
// temporary store, and the lock-guarded status text and stop flag of long
// operations, shared with the shell's thread.
#ifndef QORA_ENGINE_ENVIRONMENT_H_
#define QORA_ENGINE_ENVIRONMENT_H_

#include <mutex>
#include <string>

#include "analysis/analysis_environment.h"
#include "util/progress.h"

namespace qora {

// The file that names the temporary store, in the data folder.
inline constexpr char kTempStoreFile[] = "tmpdoc.ini";

// Progress is the first base: the analysis environment is given this object
// as its progress while it is constructed.
class EngineEnvironment : public Progress, public AnalysisEnvironment {
 public:
  EngineEnvironment() : AnalysisEnvironment(this) {}

  // Reads section "environment" of folder + file and "temp_docstore" of
  // folder + "tmpdoc.ini" (paths joined by plain concatenation), then loads
  // the archive and the stop-word file; missing word-list files leave the
  // lists empty. Throws CfgError, with the reader's message on stderr, when
  // a configuration file is missing or broken or when "rel_per_sec" or
  // "rel_per_subsec" is not positive.
  void EnvironmentLoad(const std::string& folder, const std::string& file);

  // Rewrites folder + "tmpdoc.ini" to name `name` as the temporary store.
  // Throws CfgError when the file cannot be created.
  static void EnvironmentWriteTempStoreName(const std::string& folder, const std::string& name);

  // The lock-guarded progress state shared with the shell's thread.
  void EnvironmentSetStop(int value);
  bool EnvironmentStopRequested() const;
  void EnvironmentSetStatus(const std::string& text);
  std::string EnvironmentGetStatus() const;

  // Progress, for the layers below the engine.
  void SetStatus(const std::string& text) override { EnvironmentSetStatus(text); }
  bool StopRequested() const override { return EnvironmentStopRequested(); }

  const std::string& temp_store_name() const { return temp_store_name_; }
  void set_temp_store_name(std::string name) { temp_store_name_ = std::move(name); }

 private:
  std::string temp_store_name_;

  mutable std::mutex progress_lock_;
  int stop_ = 0;
  std::string status_;
};

}  // namespace qora

#endif  // QORA_ENGINE_ENVIRONMENT_H_
