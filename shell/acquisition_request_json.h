// The acquisition requests as the application's front sends them, in JSON:
//   {"kind": "internet", "mode": M, "keywords": "...", "addresses": [...], "target": T}
//   {"kind": "files", "files": ["/path/a.html", ...], "target": T}
//   {"kind": "folder", "target": T}   (the folder page's values are the settings')
//   {"kind": "quick", "keywords": "..."}   (the engine page's values are the settings')
// with M one of "basic", "advanced", "crawl", "crawlpage", "savepage",
// "wizard-search", "wizard-crawl", "wizard-searchcrawl", and T either
// {"new": "name"} or {"library": "identifier"} (absent or empty: no target,
// which the session refuses with its message).
#ifndef QORA_SHELL_ACQUISITION_REQUEST_JSON_H_
#define QORA_SHELL_ACQUISITION_REQUEST_JSON_H_

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "shell/acquisition_session.h"

namespace qora {

struct AcquisitionCall {
  enum class Kind { kInternet, kFiles, kFolder, kQuick };
  Kind kind = Kind::kInternet;
  InternetRequest internet;        // kInternet (its target is `target`); kQuick's keywords
  std::vector<std::string> files;  // kFiles
  AcquisitionTarget target;
};

// Reads `body` into `*call`. "" when it is a request of the form above,
// else the reason it is not (for a 400 answer).
std::string AcquisitionCallOf(const nlohmann::json& body, AcquisitionCall* call);

}  // namespace qora

#endif  // QORA_SHELL_ACQUISITION_REQUEST_JSON_H_
