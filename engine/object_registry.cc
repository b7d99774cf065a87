#include "engine/object_registry.h"

#include <atomic>

namespace qora {

uint32_t NextHandle() {
  static std::atomic<uint32_t> counter{0};
  return ++counter;
}

uint32_t ObjectRegistry::Register(std::unique_ptr<EngineObject> object) {
  const uint32_t handle = NextHandle();
  object->handle_ = handle;
  objects_.emplace(handle, std::move(object));
  return handle;
}

EngineObject* ObjectRegistry::Find(int64_t handle) const {
  if (handle <= 0 || handle > UINT32_MAX) return nullptr;
  auto found = objects_.find(static_cast<uint32_t>(handle));
  return found == objects_.end() ? nullptr : found->second.get();
}

bool ObjectRegistry::Remove(int64_t handle) {
  if (handle <= 0 || handle > UINT32_MAX) return false;
  return objects_.erase(static_cast<uint32_t>(handle)) != 0;
}

}  // namespace qora
