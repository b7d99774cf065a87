// One internet search engine as the meta-search sees it: its switch and
// result count (from "se_ctrl.ini" or the crawl parameters) and the address
// parts and patterns that cut its hits out of a result page (from "se.ini").
// Five of them, numbered 1 to 5, are held with the crawl settings.
#ifndef QORA_ACQUIRE_SEARCH_ENGINE_DEFINITION_H_
#define QORA_ACQUIRE_SEARCH_ENGINE_DEFINITION_H_

#include <string>

namespace qora {

struct SearchEngineDefinition {
  std::string control;      // the engine takes part when this is exactly "1"
  std::string resultCount;  // number of hits asked for, as text
  std::string sectionName;  // fixed: "engine1" ... "engine5"
  std::string name;         // display name, written into each hit
  std::string url;          // start of the query address
  std::string preQuery;     // text put before the query words
  std::string postQuery;    // text put after the query words
  std::string cue1;         // pattern: the result list starts after its first match
  std::string cue2;         // pattern: optional second start mark after cue1
  std::string hit;          // pattern: separates the hits
  std::string sep1;         // pattern: ends a hit's address
  std::string sep2;         // pattern: ends a hit's text
  bool claimed = false;     // set when a search thread takes the engine
};

}  // namespace qora

#endif  // QORA_ACQUIRE_SEARCH_ENGINE_DEFINITION_H_
