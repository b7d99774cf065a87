// Command URLs: the links of the result pages whose address holds the
// command prefix (the "commandURL" setting). The front never follows such a
// link; it hands the address here, where the command is cut out of it and
// turned into an action of the research session.
#ifndef QORA_SHELL_COMMAND_DISPATCHER_H_
#define QORA_SHELL_COMMAND_DISPATCHER_H_

#include <optional>
#include <string>
#include <string_view>

#include "shell/research_session.h"

namespace qora {

// The command text of `address` when it holds `prefix` anywhere: its last
// (address length - prefix length) characters, with every "%20" turned
// into a blank and no other escape decoded. Nothing when the prefix is
// absent or empty.
std::optional<std::string> CommandTextOf(std::string_view address, std::string_view prefix);

enum class DispatchResult {
  kDone,     // the command was recognised and applied
  kBusy,     // refused: an operation runs ("Program is busy. Please wait.")
  kUnknown,  // no command matched ("Unknown request")
};

class CommandDispatcher {
 public:
  // Acts on `session` (and its events, settings and worker), which must
  // outlive the dispatcher.
  explicit CommandDispatcher(ResearchSession* session) : session_(session) {}
  CommandDispatcher(const CommandDispatcher&) = delete;
  CommandDispatcher& operator=(const CommandDispatcher&) = delete;

  // Applies `command_text`. While an operation runs every command is
  // refused with the busy message. Otherwise the first command of the table
  // that the text begins with takes the rest of the text as its argument:
  //   addKeyWords2Query?kw=   "+" -> " "; appends a blank and the argument
  //                           to the last keywords
  //   queryKeywords?kw=       "+" -> " "; last keywords = argument; keyword
  //                           dialog
  //   queryPassage?passage=   passage dialog with the argument (the last
  //                           passage when the argument is empty)
  //   biasedSummary?passage=  passage-biased summary
  //   biasedSummary?concept=  "+" -> ";"; concept-biased summary
  //   queryConcepts?concept=  "+" -> ";"; concept dialog with the list
  //   biasedSummary?kw=       "+" -> " ", trimmed; bias words = argument,
  //                           word bar redrawn; keyword-biased summary when
  //                           the argument is not empty
  //   websrchAdv?kw=          "+" -> " "; last keywords = argument;
  //                           internet search dialog
  //   lastConceptMap?level=   "1" the previous map, "2" the one before it
  //   queryDocuments          document dialog, prefilled with the selected
  //                           documents' list
  //   exportPassage?passage=  the argument to the scratch pad
  //   docxsltloaddone        nothing (a page finished loading)
  // Anything else gives the warning "Unknown request".
  DispatchResult Dispatch(const std::string& command_text);

  // The interception of a navigation to `address`: when it holds the
  // current command prefix, dispatches its command text and returns true
  // (the navigation is cancelled); otherwise returns false (it proceeds).
  bool Intercept(std::string_view address);

 private:
  ResearchSession* const session_;
};

}  // namespace qora

#endif  // QORA_SHELL_COMMAND_DISPATCHER_H_
