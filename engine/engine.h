// The single engine object behind the entry points of include/qora/engine.h.
#ifndef QORA_ENGINE_ENGINE_H_
#define QORA_ENGINE_ENGINE_H_

#include <string>
#include <unordered_map>

#include "engine/environment.h"
#include "engine/object_registry.h"
#include "engine/request_record.h"
#include "store/document_store.h"

namespace qora {

// The library name of the temporary store the engine makes for itself.
inline constexpr char kTempStoreName[] = "temp";

class Engine {
 public:
  Engine() = default;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Loads the environment from folder + file and opens the temporary store,
  // making one (and naming it in "tmpdoc.ini") when there is none. 0 when
  // started; 1 when the temporary store cannot be made; -1 when a
  // configuration file is missing or broken (message on stderr, nothing
  // written).
  int Start(const std::string& folder, const std::string& file);

  // Empties the temporary store and saves the word-list archive. 0; 1 when a
  // folder of the temporary store cannot be read or the archive cannot be
  // written (both steps are tried either way).
  int Finish();

  // The store `handle` names, or nullptr.
  DocumentStore* FindStore(int handle) const { return registry_.FindAs<DocumentStore>(handle); }

  // The handle of the store opened in this run under `name`; otherwise opens
  // it from "<name>.ini" in the store folder root and enters the name. -1
  // when the store object cannot be made.
  int OpenStore(const std::string& name);

  // Makes a new library named `name` from the template, registers it and
  // enters its identifier (handed out in `ident`) in the name table. -1 when
  // the library cannot be made.
  int CreateStore(const std::string& name, std::string* ident);

  // Releases and destroys the store `handle` names, with its names; false
  // when it names no store.
  bool CloseStore(int handle);

  // The handle the name table holds for `name`, or -1.
  int FindStoreName(const std::string& name) const;
  // Enters (or re-points) `name` in the name table.
  void EnterStoreName(const std::string& name, int handle);

  // Destroys the registered object `handle` names, with its names; false when
  // there is none.
  bool DeleteObject(int handle);

  EngineEnvironment& environment() { return environment_; }
  ObjectRegistry& registry() { return registry_; }
  RequestRecord& request() { return request_; }
  int temp_store_handle() const { return temp_store_handle_; }
  DocumentStore* temp_store() const { return FindStore(temp_store_handle_); }

 private:
  // Makes a new temporary store and names it in "tmpdoc.ini". 0 or 1.
  int MakeTempStore(const std::string& folder);
  // Removes every name-table entry that points to `handle`.
  void ForgetStoreHandle(int handle);

  EngineEnvironment environment_;
  ObjectRegistry registry_;
  std::unordered_map<std::string, int> store_names_;
  int temp_store_handle_ = -1;
  RequestRecord request_;
};

// The engine made by EngineCreate, or nullptr when there is none.
Engine* CurrentEngine();

}  // namespace qora

#endif  // QORA_ENGINE_ENGINE_H_
