#include "engine/quick_search_driver.h"

#include <memory>

#include "acquire/search_engines.h"
#include "analysis/cfg_file.h"
#include "store/result_list.h"

namespace qora {

int QuickSearch(Workspace* workspace, const std::string& query_words, const std::string& parameters,
                const DocumentStore& temp_store) {
  EngineEnvironment* environment = workspace->environment();
  environment->EnvironmentSetStop(0);
  MetaSearch search(environment, temp_store.ident());
  try {
    search.QuickSearch(query_words, parameters);
  } catch (const CfgError&) {
    return -1;
  }
  auto list = std::make_unique<ResultList>();
  for (size_t i = 0; i < search.results().count(); ++i) list->Append(search.results().item(i));
  return static_cast<int>(workspace->registry().Register(std::move(list)));
}

}  // namespace qora
