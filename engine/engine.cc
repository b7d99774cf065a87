#include "engine/engine.h"

#include <memory>

#include "analysis/cfg_file.h"

namespace qora {

int Engine::Start(const std::string& folder, const std::string& file) {
  temp_store_handle_ = -1;
  try {
    environment_.EnvironmentLoad(folder, file);
  } catch (const CfgError& error) {
    return error.code();
  }
  const std::string& name = environment_.temp_store_name();
  if (name.empty() ||
      !DocumentStore::DescriptionReadable(environment_.StoreFolderRoot() + name + ".ini")) {
    return MakeTempStore(folder);
  }
  temp_store_handle_ = OpenStore(name);
  return 0;
}

int Engine::MakeTempStore(const std::string& folder) {
  std::string ident;
  const int handle = CreateStore(kTempStoreName, &ident);
  if (handle < 0) return 1;
  try {
    EngineEnvironment::EnvironmentWriteTempStoreName(folder, ident);
  } catch (const CfgError&) {
    return 1;
  }
  environment_.set_temp_store_name(ident);
  temp_store_handle_ = handle;
  return 0;
}

int Engine::Finish() {
  int result = 0;
  DocumentStore* temp = temp_store();
  if (temp != nullptr && temp->EmptyStore() != 0) result = 1;
  // The archive is saved even when emptying failed: the words of the run
  // are worth keeping either way.
  if (environment_.EnvironmentSaveArchive() != 0) result = 1;
  return result;
}

int Engine::OpenStore(const std::string& name) {
  const int known = FindStoreName(name);
  if (known != -1) return known;
  auto store = std::make_unique<DocumentStore>(&environment_);
  DocumentStore* opened = store.get();
  const int handle = static_cast<int>(registry_.Register(std::move(store)));
  opened->OpenStore(name + ".ini");
  EnterStoreName(name, handle);
  return handle;
}

int Engine::CreateStore(const std::string& name, std::string* ident) {
  auto store = std::make_unique<DocumentStore>(&environment_);
  if (qora::CreateStore(store.get(), name, &environment_) != 0) return -1;
  *ident = store->ident();
  const int handle = static_cast<int>(registry_.Register(std::move(store)));
  EnterStoreName(*ident, handle);
  return handle;
}

bool Engine::CloseStore(int handle) {
  DocumentStore* store = FindStore(handle);
  if (store == nullptr) return false;
  store->ClearTerms();
  store->CloseStore();
  return DeleteObject(handle);
}

int Engine::FindStoreName(const std::string& name) const {
  auto found = store_names_.find(name);
  return found == store_names_.end() ? -1 : found->second;
}

void Engine::EnterStoreName(const std::string& name, int handle) { store_names_[name] = handle; }

void Engine::ForgetStoreHandle(int handle) {
  std::erase_if(store_names_, [handle](const auto& entry) { return entry.second == handle; });
}

bool Engine::DeleteObject(int handle) {
  if (!registry_.Remove(handle)) return false;
  // A name or the temporary-store handle must never outlive its object.
  ForgetStoreHandle(handle);
  if (handle == temp_store_handle_) temp_store_handle_ = -1;
  return true;
}

}  // namespace qora
