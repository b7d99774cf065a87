#include "shell/acquisition_request_json.h"

#include <array>
#include <utility>

namespace qora {
namespace {

using nlohmann::json;

constexpr std::array<std::pair<const char*, AcquisitionMode>, 8> kModes = {{
    {"basic", AcquisitionMode::kBasicSearch},
    {"advanced", AcquisitionMode::kAdvancedSearch},
    {"crawl", AcquisitionMode::kCrawl},
    {"crawlpage", AcquisitionMode::kCrawlThisPage},
    {"savepage", AcquisitionMode::kSaveThisPage},
    {"wizard-search", AcquisitionMode::kWizardSearch},
    {"wizard-crawl", AcquisitionMode::kWizardCrawl},
    {"wizard-searchcrawl", AcquisitionMode::kWizardSearchThenCrawl},
}};

// The texts of the array `list` (absent: none); false when it is not an
// array of texts.
bool TextsOf(const json& list, std::vector<std::string>* texts) {
  if (list.is_null()) return true;
  if (!list.is_array()) return false;
  for (const json& text : list) {
    if (!text.is_string()) return false;
    texts->push_back(text.get<std::string>());
  }
  return true;
}

std::string TargetOf(const json& target, AcquisitionTarget* out) {
  if (target.is_null()) return "";
  if (!target.is_object()) return "The target is {\"new\": name} or {\"library\": identifier}.";
  const json fresh = target.value("new", json());
  const json library = target.value("library", json());
  if ((!fresh.is_null() && !fresh.is_string()) || (!library.is_null() && !library.is_string()) ||
      (!fresh.is_null() && !library.is_null())) {
    return "The target is {\"new\": name} or {\"library\": identifier}.";
  }
  out->create = fresh.is_string();
  if (out->create) out->new_name = fresh.get<std::string>();
  if (library.is_string()) out->library = library.get<std::string>();
  return "";
}

}  // namespace

std::string AcquisitionCallOf(const json& body, AcquisitionCall* call) {
  if (!body.is_object()) return "An acquisition request is a JSON object.";
  *call = AcquisitionCall();
  const std::string failure = TargetOf(body.value("target", json()), &call->target);
  if (!failure.empty()) return failure;
  const json kind = body.value("kind", json());
  if (kind == "folder") {
    call->kind = AcquisitionCall::Kind::kFolder;
    return "";
  }
  if (kind == "files") {
    call->kind = AcquisitionCall::Kind::kFiles;
    return TextsOf(body.value("files", json()), &call->files) ? ""
                                                              : "The files are a list of paths.";
  }
  if (kind != "internet" && kind != "quick") {
    return "The kind is \"internet\", \"files\", \"folder\" or \"quick\".";
  }
  const json keywords = body.value("keywords", json(""));
  if (!keywords.is_string()) return "The keywords are a text.";
  call->internet.keywords = keywords.get<std::string>();
  if (kind == "quick") {
    call->kind = AcquisitionCall::Kind::kQuick;
    return "";
  }
  call->kind = AcquisitionCall::Kind::kInternet;
  const json mode = body.value("mode", json());
  bool known = false;
  for (const auto& [name, value] : kModes) {
    if (mode == name) {
      call->internet.mode = value;
      known = true;
    }
  }
  if (!known) return "The mode of an internet request is unknown.";
  if (!TextsOf(body.value("addresses", json()), &call->internet.addresses)) {
    return "The addresses are a list of texts.";
  }
  call->internet.target = call->target;
  return "";
}

}  // namespace qora
