// The application's one settings store shared between the threads that
// serve the front and the worker thread: every access holds one lock.
#ifndef QORA_SHELL_SHARED_SETTINGS_H_
#define QORA_SHELL_SHARED_SETTINGS_H_

#include <functional>
#include <mutex>
#include <string>

#include "shell/settings_keys.h"
#include "shell/settings_store.h"

namespace qora {

class SharedSettings {
 public:
  // Guards `store`, which must outlive this object. Whoever else touches
  // the store (saving it to disk, say) goes through Use().
  explicit SharedSettings(SettingsStore* store) : store_(store) {}
  SharedSettings(const SharedSettings&) = delete;
  SharedSettings& operator=(const SharedSettings&) = delete;

  int Read(const IntSetting& setting) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return qora::Read(*store_, setting);
  }
  std::string Read(const TextSetting& setting) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return qora::Read(*store_, setting);
  }
  // The text of `setting`, or `fallback` when absent (for values whose
  // table default is a prompt meant only for a dialog).
  std::string Read(const TextSetting& setting, const std::string& fallback) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return store_->ReadString(setting.section, setting.key, fallback);
  }
  void Write(const IntSetting& setting, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    qora::Write(store_, setting, value);
  }
  void Write(const TextSetting& setting, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    qora::Write(store_, setting, value);
  }
  // Runs `use` on the store with the lock held.
  void Use(const std::function<void(SettingsStore*)>& use) {
    std::lock_guard<std::mutex> lock(mutex_);
    use(store_);
  }

 private:
  mutable std::mutex mutex_;
  SettingsStore* const store_;
};

}  // namespace qora

#endif  // QORA_SHELL_SHARED_SETTINGS_H_
