// Engine objects and the registries that hand them out under integer handles.
#ifndef QORA_ENGINE_OBJECT_REGISTRY_H_
#define QORA_ENGINE_OBJECT_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace qora {

// Every object the shell may name: stores, workspaces, queries, result lists
// and concepts. It carries its own handle (0 until registered) and a name.
class EngineObject {
 public:
  EngineObject() = default;
  virtual ~EngineObject() = default;
  EngineObject(const EngineObject&) = delete;
  EngineObject& operator=(const EngineObject&) = delete;

  uint32_t handle() const { return handle_; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }

 private:
  friend class ObjectRegistry;
  uint32_t handle_ = 0;
  std::string name_;
};

// Returns the next handle of the one process-wide counter: 1 first, then one
// more for every object registered anywhere, never reused in a run.
uint32_t NextHandle();

// A table from handle to owned object.
class ObjectRegistry {
 public:
  ObjectRegistry() = default;
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  // Takes ownership of `object`, gives it the next handle and returns that.
  uint32_t Register(std::unique_ptr<EngineObject> object);

  // The object under `handle`, or nullptr when none is registered.
  EngineObject* Find(int64_t handle) const;

  // The object under `handle` when it is a T, else nullptr.
  template <typename T>
  T* FindAs(int64_t handle) const {
    return dynamic_cast<T*>(Find(handle));
  }

  // Destroys the object under `handle`; false when there is none.
  bool Remove(int64_t handle);

  size_t size() const { return objects_.size(); }

 private:
  std::unordered_map<uint32_t, std::unique_ptr<EngineObject>> objects_;
};

}  // namespace qora

#endif  // QORA_ENGINE_OBJECT_REGISTRY_H_
