// The requests of the browser frame that go to the engine: a live page and
// the search engines of the quick web search.
#ifndef QORA_SHELL_FRAME_REQUESTS_H_
#define QORA_SHELL_FRAME_REQUESTS_H_

#include <nlohmann/json.hpp>
#include <string>

#include "shell/app_server.h"

namespace qora {

// `address` fetched through the engine (EngineFetchPage): bounded in size
// and time; safe on any thread.
LivePage FetchLivePage(const std::string& address);

// The five search engines of "se.ini" in `folder` (ending with a
// separator), as [{"name", "url", "pre", "post"}, ...] for engines 1 to 5,
// with the engine's defaults for what the file lacks.
nlohmann::json SearchEnginesJson(const std::string& folder);

}  // namespace qora

#endif  // QORA_SHELL_FRAME_REQUESTS_H_
