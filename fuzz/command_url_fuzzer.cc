// Command URLs as the front hands them over: the input (after the first
// byte) is an address, with the command prefix put before it when the first
// byte is odd. It is dispatched through the real command table against a
// research session without an engine, as the dispatcher's tests set one up:
// settings in memory, the event queue, the operation worker (whose flows
// run to their end against no engine) and engine calls that are only
// counted. Checked: an address is a command exactly when it holds the
// prefix, a command is recognised exactly when it begins with a table
// entry, the keywords commands store their converted argument, and what
// the commands leave behind (settings and events) can be written out: the
// settings text reads back unchanged, every event becomes JSON text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "shell/command_dispatcher.h"

namespace {

void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The command table's entries, as the dispatcher's header lists them.
constexpr const char* kCommands[] = {
    "addKeyWords2Query?kw=", "queryKeywords?kw=",      "queryPassage?passage=",
    "biasedSummary?passage=", "biasedSummary?concept=", "queryConcepts?concept=",
    "biasedSummary?kw=",     "websrchAdv?kw=",         "lastConceptMap?level=",
    "queryDocuments",        "exportPassage?passage=", "docxsltloaddone"};

bool IsCommand(std::string_view text) {
  for (const char* command : kCommands) {
    if (text.starts_with(command)) return true;
  }
  return false;
}

std::string PlusToBlank(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '+') c = ' ';
  }
  return out;
}

void CheckWrittenOut(const qora::SettingsStore& store, const qora::EventQueue& events) {
  const std::string text = store.Text();
  if (qora::SettingsStore::Parse(text).Text() != text) Fail("settings do not read back", text);
  for (const nlohmann::json& event : events.After(0)) qora::EventText(event);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qora::FuzzInput input(data, size);
  const bool with_prefix = input.Byte() % 2 == 1;
  const std::string prefix = qora::settings::kCommandUrl.fallback;
  const std::string address = (with_prefix ? prefix : std::string()) + std::string(input.Rest());

  qora::SettingsStore store;
  qora::SharedSettings settings(&store);
  qora::EventQueue events;
  qora::OperationWorker worker(&events, &settings);
  qora::EngineCalls engine;
  qora::ResearchSession session(&events, &settings, &worker, &engine);
  session.SetWorkspace(5);
  session.SetCurrentDocument({8, "doc1"});
  qora::CommandDispatcher dispatcher(&session);

  const std::optional<std::string> command = qora::CommandTextOf(address, prefix);
  const bool holds_prefix = address.find(prefix) != std::string::npos;
  if (command.has_value() != holds_prefix) Fail("command text of an address", address);
  if (command && command->size() > address.size() - prefix.size()) Fail("command text grew", address);
  if (dispatcher.Intercept(address) != holds_prefix) Fail("interception", address);
  worker.Wait();
  if (!command) return 0;

  const qora::DispatchResult result = dispatcher.Dispatch(*command);
  worker.Wait();
  if ((result == qora::DispatchResult::kDone) != IsCommand(*command) ||
      result == qora::DispatchResult::kBusy) {
    Fail("the command table's verdict", *command);
  }
  constexpr std::string_view kKeywords = "queryKeywords?kw=";
  if (command->starts_with(kKeywords) &&
      store.ReadString("QueryOptions", "lastKeyWords", "") !=
          PlusToBlank(std::string_view(*command).substr(kKeywords.size()))) {
    Fail("the keywords were not stored as given", *command);
  }
  CheckWrittenOut(store, events);
  return 0;
}
