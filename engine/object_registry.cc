#include "engine/object_registry.h"

#include <atomic>

namespace qora {

uint32_t NextHandle() {
  static std::atomic<uint32_t> counter{0};
  return ++counter;
}

const RegisteredObject* ObjectRegistry::Find(int64_t handle) const {
  if (handle <= 0 || handle > UINT32_MAX) return nullptr;
  auto found = objects_.find(static_cast<uint32_t>(handle));
  return found == objects_.end() ? nullptr : found->second.get();
}

bool ObjectRegistry::Remove(int64_t handle) {
  if (handle <= 0 || handle > UINT32_MAX) return false;
  return objects_.erase(static_cast<uint32_t>(handle)) != 0;
}

}  // namespace qora
