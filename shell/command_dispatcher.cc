#include "shell/command_dispatcher.h"

#include <algorithm>

namespace qora {
namespace {

constexpr char kUnknownRequest[] = "Unknown request";

// `text` with every `from` replaced by `to`, built anew rather than
// replaced in place (GCC 12 reports a false overlap for the latter).
std::string Replaced(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text.substr(start, at - start));
    out.append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::string PlusTo(std::string text, char to) {
  std::replace(text.begin(), text.end(), '+', to);
  return text;
}

std::string Trimmed(const std::string& text) {
  constexpr char kBlanks[] = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// One command: its prefix and what it does with its argument.
struct Command {
  const char* prefix;
  void (*apply)(ResearchSession* session, const std::string& argument);
};

void AddKeywords(ResearchSession* session, const std::string& argument) {
  SharedSettings* settings = session->settings();
  const std::string old = settings->Read(settings::kLastKeywords, "");
  settings->Write(settings::kLastKeywords, old + " " + PlusTo(argument, ' '));
}

void QueryKeywords(ResearchSession* session, const std::string& argument) {
  const std::string words = PlusTo(argument, ' ');
  session->settings()->Write(settings::kLastKeywords, words);
  session->events()->Push(DialogEvent("keywords", words));
}

void QueryPassage(ResearchSession* session, const std::string& argument) {
  const std::string passage =
      argument.empty() ? session->settings()->Read(settings::kLastPassage) : argument;
  session->events()->Push(DialogEvent("passage", passage));
}

void PassageSummary(ResearchSession* session, const std::string& argument) {
  session->StartBiasedSummary(ResearchKind::kPassage, argument);
}

void ConceptSummary(ResearchSession* session, const std::string& argument) {
  session->StartBiasedSummary(ResearchKind::kConcepts, PlusTo(argument, ';'));
}

void QueryConcepts(ResearchSession* session, const std::string& argument) {
  session->events()->Push(DialogEvent("concepts", PlusTo(argument, ';')));
}

void KeywordSummary(ResearchSession* session, const std::string& argument) {
  const std::string words = Trimmed(PlusTo(argument, ' '));
  SharedSettings* settings = session->settings();
  settings->Write(settings::kBiasWords, words);
  session->events()->Push(WordBarEvent(settings->Read(settings::kSearchWords) + " " + words));
  if (!words.empty()) session->StartBiasedSummary(ResearchKind::kKeywords, words);
}

void WebSearch(ResearchSession* session, const std::string& argument) {
  const std::string words = PlusTo(argument, ' ');
  session->settings()->Write(settings::kLastKeywords, words);
  session->events()->Push(DialogEvent("websearch", words));
}

void LastConceptMap(ResearchSession* session, const std::string& argument) {
  if (argument == "1") session->ShowRememberedMap(1);
  if (argument == "2") session->ShowRememberedMap(2);
}

void QueryDocuments(ResearchSession* session, const std::string&) {
  session->events()->Push(DialogEvent("documents", DocumentListOf(session->SelectedDocuments())));
}

void ExportPassage(ResearchSession* session, const std::string& argument) {
  session->events()->Push(ScratchEvent(argument));
}

void PageLoaded(ResearchSession*, const std::string&) {}

// Tried in this order; the first prefix the command begins with wins.
// clang-format off
constexpr Command kCommands[] = {
    {"addKeyWords2Query?kw=", AddKeywords},
    {"queryKeywords?kw=", QueryKeywords},
    {"queryPassage?passage=", QueryPassage},
    {"biasedSummary?passage=", PassageSummary},
    {"biasedSummary?concept=", ConceptSummary},
    {"queryConcepts?concept=", QueryConcepts},
    {"biasedSummary?kw=", KeywordSummary},
    {"websrchAdv?kw=", WebSearch},
    {"lastConceptMap?level=", LastConceptMap},
    {"queryDocuments", QueryDocuments},
    {"exportPassage?passage=", ExportPassage},
    {"docxsltloaddone", PageLoaded},
};
// clang-format on

}  // namespace

std::optional<std::string> CommandTextOf(std::string_view address, std::string_view prefix) {
  if (prefix.empty() || address.find(prefix) == std::string_view::npos) return std::nullopt;
  const size_t length = address.size() - prefix.size();
  return Replaced(std::string(address.substr(address.size() - length)), "%20", " ");
}

DispatchResult CommandDispatcher::Dispatch(const std::string& command_text) {
  if (session_->worker()->Busy()) {
    session_->events()->Push(MessageEvent(kInfo, kBusyText));
    return DispatchResult::kBusy;
  }
  for (const Command& command : kCommands) {
    const std::string_view prefix = command.prefix;
    if (command_text.compare(0, prefix.size(), prefix) == 0) {
      command.apply(session_, command_text.substr(prefix.size()));
      return DispatchResult::kDone;
    }
  }
  session_->events()->Push(MessageEvent(kWarning, kUnknownRequest));
  return DispatchResult::kUnknown;
}

bool CommandDispatcher::Intercept(std::string_view address) {
  const std::optional<std::string> command =
      CommandTextOf(address, session_->settings()->Read(settings::kCommandUrl));
  if (!command) return false;
  Dispatch(*command);
  return true;
}

}  // namespace qora
