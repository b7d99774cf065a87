#include "shell/engine_calls.h"

#include <initializer_list>

#include "qora/engine.h"
#include "shell/engine_string.h"

namespace qora {
namespace {

std::string Call(const char* name, std::initializer_list<std::string> arguments) {
  std::string call = name;
  for (const std::string& argument : arguments) call += " " + argument;
  return call;
}

std::string N(int value) { return std::to_string(value); }

}  // namespace

void EngineCalls::Tell(const std::string& call) const {
  if (observer_) observer_(call);
}

int EngineCalls::FindStore(const std::string& name) {
  Tell(Call("EngineFindStore", {name}));
  int result = -1;
  EngineFindStore(name.c_str(), &result);
  return result;
}

int EngineCalls::OpenStore(const std::string& name) {
  Tell(Call("EngineOpenStore", {name}));
  int result = -1;
  EngineOpenStore(name.c_str(), &result);
  return result;
}

std::string EngineCalls::ListStores() {
  Tell("EngineListStores");
  char* text = nullptr;
  int result = -1;
  EngineListStores(&text, &result);
  return TakeEngineString(text);
}

int EngineCalls::LoadStoreStatistics(int store) {
  Tell(Call("EngineLoadStoreStatistics", {N(store)}));
  int result = -1;
  EngineLoadStoreStatistics(store, &result);
  return result;
}

int EngineCalls::ReleaseStoreStatistics(int store) {
  Tell(Call("EngineReleaseStoreStatistics", {N(store)}));
  int result = -1;
  EngineReleaseStoreStatistics(store, &result);
  return result;
}

std::string EngineCalls::ListStoreDocuments(int store, int start, int count) {
  Tell(Call("EngineListStoreDocuments", {N(store), N(start), N(count)}));
  char* text = nullptr;
  int result = -1;
  EngineListStoreDocuments(store, start, count, &text, &result);
  return TakeEngineString(text);
}

std::string EngineCalls::GetObjectName(int handle) {
  Tell(Call("EngineGetObjectName", {N(handle)}));
  char* name = nullptr;
  int result = -1;
  EngineGetObjectName(handle, &name, &result);
  return TakeEngineString(name);
}

int EngineCalls::AddStoreToWorkspace(int store, int workspace) {
  Tell(Call("EngineAddStoreToWorkspace", {N(store), N(workspace)}));
  int result = -1;
  EngineAddStoreToWorkspace(store, workspace, &result);
  return result;
}

int EngineCalls::RemoveStoreFromWorkspace(int store, int workspace) {
  Tell(Call("EngineRemoveStoreFromWorkspace", {N(store), N(workspace)}));
  int result = -1;
  EngineRemoveStoreFromWorkspace(store, workspace, &result);
  return result;
}

int EngineCalls::PrepareRanking(int workspace) {
  Tell(Call("EnginePrepareRanking", {N(workspace)}));
  int result = -1;
  EnginePrepareRanking(workspace, &result);
  return result;
}

int EngineCalls::NewQuery(int workspace) {
  Tell(Call("EngineNewQuery", {N(workspace)}));
  int result = -1;
  EngineNewQuery(workspace, &result);
  return result;
}

int EngineCalls::SetQueryKeywords(int query, const std::string& text, int workspace) {
  Tell(Call("EngineSetQueryKeywords", {N(query), text, N(workspace)}));
  int result = -1;
  EngineSetQueryKeywords(query, text.c_str(), workspace, &result);
  return result;
}

int EngineCalls::SetQueryPassage(int query, const std::string& text, int workspace) {
  Tell(Call("EngineSetQueryPassage", {N(query), text, N(workspace)}));
  int result = -1;
  EngineSetQueryPassage(query, text.c_str(), workspace, &result);
  return result;
}

int EngineCalls::SetQueryConcepts(int query, const std::string& text, int workspace) {
  Tell(Call("EngineSetQueryConcepts", {N(query), text, N(workspace)}));
  int result = -1;
  EngineSetQueryConcepts(query, text.c_str(), workspace, &result);
  return result;
}

int EngineCalls::SetQueryDocuments(int query, const std::string& document_list, int workspace) {
  Tell(Call("EngineSetQueryDocuments", {N(query), document_list, N(workspace)}));
  int result = -1;
  EngineSetQueryDocuments(query, document_list.c_str(), workspace, &result);
  return result;
}

int EngineCalls::PrepareQuery(int query, int workspace) {
  Tell(Call("EnginePrepareQuery", {N(query), N(workspace)}));
  int result = -1;
  EnginePrepareQuery(query, workspace, &result);
  return result;
}

int EngineCalls::ExpandQuery(int query, int workspace) {
  Tell(Call("EngineExpandQuery", {N(query), N(workspace)}));
  int result = -1;
  EngineExpandQuery(query, workspace, &result);
  return result;
}

int EngineCalls::RankDocuments(int query, int count, int workspace) {
  Tell(Call("EngineRankDocuments", {N(query), N(count), N(workspace)}));
  int result = -1;
  EngineRankDocuments(query, count, workspace, &result);
  return result;
}

int EngineCalls::ListDocuments(int store, int start, int count, int workspace) {
  Tell(Call("EngineListDocuments", {N(store), N(start), N(count), N(workspace)}));
  int result = -1;
  EngineListDocuments(store, start, count, workspace, &result);
  return result;
}

int EngineCalls::Summarize(int query, const std::string& document_list, int workspace,
                           int bias_percent) {
  Tell(Call("EngineSummarize", {N(query), document_list, N(workspace), N(bias_percent)}));
  int result = -1;
  EngineSummarize(query, document_list.c_str(), workspace, static_cast<float>(bias_percent),
                  &result);
  return result;
}

int EngineCalls::ConceptMap(const std::string& request) {
  Tell(Call("EngineConceptMap", {request}));
  int result = -1;
  EngineConceptMap(request.c_str(), &result);
  return result;
}

std::string EngineCalls::WriteResultList(int list, int workspace) {
  Tell(Call("EngineWriteResultList", {N(list), N(workspace)}));
  char* text = nullptr;
  int result = -1;
  EngineWriteResultList(&text, list, workspace, &result);
  return TakeEngineString(text);
}

int EngineCalls::WriteMap(const std::string& file_name, int list, int workspace,
                          std::string* path) {
  Tell(Call("EngineWriteMap", {file_name, N(list), N(workspace)}));
  char* written = nullptr;
  int result = -1;
  EngineWriteMap(file_name.c_str(), &written, list, workspace, &result);
  *path = TakeEngineString(written);
  return result;
}

}  // namespace qora
