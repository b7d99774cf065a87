// The engine entry points the research flows use, as one object: each call
// forwards to the entry point of the same name and returns its result, and
// first tells an optional observer the entry point's name and arguments, so
// the order of a flow's calls can be followed (and checked in tests) without
// changing the engine.
#ifndef QORA_SHELL_ENGINE_CALLS_H_
#define QORA_SHELL_ENGINE_CALLS_H_

#include <functional>
#include <string>
#include <utility>

namespace qora {

class EngineCalls {
 public:
  // Receives "EngineName arg1 arg2 ..." before each call (strings as they
  // are, numbers in decimal). Called on the thread that makes the call.
  using Observer = std::function<void(const std::string& call)>;

  explicit EngineCalls(Observer observer = {}) : observer_(std::move(observer)) {}

  // Stores. Handles, or -1, as the entry points give them.
  int FindStore(const std::string& name);
  int OpenStore(const std::string& name);
  // The result-list text of every store ("" when none).
  std::string ListStores();
  int LoadStoreStatistics(int store);
  int ReleaseStoreStatistics(int store);
  // The result-list text of `count` documents of `store` from `start`.
  std::string ListStoreDocuments(int store, int start, int count);
  // The name of the store or workspace `handle` ("" when none).
  std::string GetObjectName(int handle);

  // Workspaces and queries: 0 done, 1 failed, as the entry points.
  int AddStoreToWorkspace(int store, int workspace);
  int RemoveStoreFromWorkspace(int store, int workspace);
  int PrepareRanking(int workspace);
  int NewQuery(int workspace);
  int SetQueryKeywords(int query, const std::string& text, int workspace);
  int SetQueryPassage(int query, const std::string& text, int workspace);
  int SetQueryConcepts(int query, const std::string& text, int workspace);
  int SetQueryDocuments(int query, const std::string& document_list, int workspace);
  int PrepareQuery(int query, int workspace);
  int ExpandQuery(int query, int workspace);

  // Analyses: result list handles, or the entry points' failure values.
  int RankDocuments(int query, int count, int workspace);
  int ListDocuments(int store, int start, int count, int workspace);
  int Summarize(int query, const std::string& document_list, int workspace, int bias_percent);
  int ConceptMap(const std::string& request);
  // The text of the result list ("" on failure).
  std::string WriteResultList(int list, int workspace);
  // Writes the result list as the DML file `file_name` of the temporary
  // store; `path` gets its path. The entry point's result.
  int WriteMap(const std::string& file_name, int list, int workspace, std::string* path);

 private:
  void Tell(const std::string& call) const;

  Observer observer_;
};

}  // namespace qora

#endif  // QORA_SHELL_ENGINE_CALLS_H_
