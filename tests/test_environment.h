// An analysis environment for the tests of the layers below the engine, with
// a status text and a stop flag of its own in place of the engine's.
#ifndef QORA_TESTS_TEST_ENVIRONMENT_H_
#define QORA_TESTS_TEST_ENVIRONMENT_H_

#include <atomic>
#include <mutex>
#include <string>

#include "analysis/analysis_environment.h"
#include "util/progress.h"

namespace qora::test {

class TestEnvironment : public Progress, public AnalysisEnvironment {
 public:
  TestEnvironment() : AnalysisEnvironment(this) {}

  // Reads section "environment" of folder + file and loads the word lists
  // it names, as the engine does at its start.
  void Load(const std::string& folder, const std::string& file) {
    ReadAnalysisSettings(folder, file);
    LoadWordLists();
  }

  void SetStatus(const std::string& text) override {
    std::lock_guard<std::mutex> lock(lock_);
    status_ = text;
  }
  bool StopRequested() const override { return stop_; }

  std::string status() const {
    std::lock_guard<std::mutex> lock(lock_);
    return status_;
  }
  void set_stop(bool stop) { stop_ = stop; }

 private:
  mutable std::mutex lock_;
  std::string status_;
  std::atomic<bool> stop_{false};
};

}  // namespace qora::test

#endif  // QORA_TESTS_TEST_ENVIRONMENT_H_
