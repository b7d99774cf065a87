// The registries that hand out engine objects under integer handles. Any
// object can be registered: the registry wraps it, so the objects of the
// lower layers (stores, result lists) need no engine base class.
#ifndef QORA_ENGINE_OBJECT_REGISTRY_H_
#define QORA_ENGINE_OBJECT_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace qora {

// Returns the next handle of the one process-wide counter: 1 first, then one
// more for every object registered anywhere, never reused in a run.
uint32_t NextHandle();

// One registered object as the registry holds it: its handle and its name,
// with the object itself behind the typed wrapper below.
class RegisteredObject {
 public:
  explicit RegisteredObject(uint32_t handle) : handle_(handle) {}
  virtual ~RegisteredObject() = default;
  RegisteredObject(const RegisteredObject&) = delete;
  RegisteredObject& operator=(const RegisteredObject&) = delete;

  uint32_t handle() const { return handle_; }

  // The object's name: what its name() or library_name() returns, "" for an
  // object that has neither.
  virtual std::string name() const = 0;

 private:
  const uint32_t handle_;
};

// The wrapper that owns a registered T.
template <typename T>
class Registered final : public RegisteredObject {
 public:
  Registered(uint32_t handle, std::unique_ptr<T> object)
      : RegisteredObject(handle), object_(std::move(object)) {}

  T* object() const { return object_.get(); }

  std::string name() const override {
    if constexpr (requires(const T& t) { std::string(t.name()); }) {
      return std::string(object_->name());
    } else if constexpr (requires(const T& t) { std::string(t.library_name()); }) {
      return std::string(object_->library_name());
    } else {
      return std::string();
    }
  }

 private:
  std::unique_ptr<T> object_;
};

// A table from handle to owned object.
class ObjectRegistry {
 public:
  ObjectRegistry() = default;
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  // Takes ownership of `object`, gives it the next handle and returns that.
  template <typename T>
  uint32_t Register(std::unique_ptr<T> object) {
    const uint32_t handle = NextHandle();
    objects_.emplace(handle, std::make_unique<Registered<T>>(handle, std::move(object)));
    return handle;
  }

  // The entry under `handle`, or nullptr when none is registered.
  const RegisteredObject* Find(int64_t handle) const;

  // The object under `handle` when it was registered as a T, else nullptr.
  template <typename T>
  T* FindAs(int64_t handle) const {
    const auto* entry = dynamic_cast<const Registered<T>*>(Find(handle));
    return entry == nullptr ? nullptr : entry->object();
  }

  // Destroys the object under `handle`; false when there is none.
  bool Remove(int64_t handle);

  size_t size() const { return objects_.size(); }

 private:
  std::unordered_map<uint32_t, std::unique_ptr<RegisteredObject>> objects_;
};

}  // namespace qora

#endif  // QORA_ENGINE_OBJECT_REGISTRY_H_
