// The events the application hands to its browser front: a queue of JSON
// objects, each numbered with an increasing "seq" so that a front that polls
// asks only for what it has not seen. Also the builders of every event kind.
#ifndef QORA_SHELL_APP_EVENTS_H_
#define QORA_SHELL_APP_EVENTS_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "util/document_record.h"

namespace qora {

// Thread-safe: any thread may push and read.
class EventQueue {
 public:
  static constexpr size_t kDefaultCapacity = 1000;

  // A queue keeping the last `capacity` events (at least 1).
  explicit EventQueue(size_t capacity = kDefaultCapacity);
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Adds `event` (a JSON object) with "seq" set to the next number (the
  // first is 1) and returns that number. The oldest event is dropped when
  // the queue is full. An event that is not an object is wrapped as
  // {"type":"invalid","value":event} so nothing pushed is lost silently.
  int64_t Push(nlohmann::json event);

  // The kept events whose "seq" is above `seq`, oldest first.
  std::vector<nlohmann::json> After(int64_t seq) const;

  // After(seq), waiting up to `timeout` for one to arrive when there is none
  // yet (for fronts that poll with long requests).
  std::vector<nlohmann::json> WaitAfter(int64_t seq, std::chrono::milliseconds timeout) const;

  // The number of the last event pushed; 0 before the first.
  int64_t LastSeq() const;

  // Has Push pass every event through `rewrite` first (on the pushing
  // thread, before it is numbered): the application turns page events into
  // the pages it writes. Set before any thread pushes.
  void SetRewriter(std::function<nlohmann::json(nlohmann::json)> rewrite) {
    rewrite_ = std::move(rewrite);
  }

 private:
  std::vector<nlohmann::json> AfterLocked(int64_t seq) const;

  const size_t capacity_;
  mutable std::mutex mutex_;
  mutable std::condition_variable pushed_;
  std::deque<nlohmann::json> events_;
  int64_t last_seq_ = 0;
  std::function<nlohmann::json(nlohmann::json)> rewrite_;
};

// The JSON text of `value`. Texts of the engine are 8-bit; bytes that do
// not form UTF-8 are written as U+FFFD, so that writing never fails.
std::string EventText(const nlohmann::json& value);

// The event builders. Levels of messages:
inline constexpr char kInfo[] = "info";
inline constexpr char kWarning[] = "warning";
inline constexpr char kError[] = "error";

// A message box: {"type":"message","level":..,"title":"QORA","text":..}.
nlohmann::json MessageEvent(const std::string& level, const std::string& text);
// A dialog to open, prefilled with `text`; `dialog` is one of "keywords",
// "passage", "concepts", "documents", "websearch".
nlohmann::json DialogEvent(const std::string& dialog, const std::string& text);
// Busy mode entered (with the operation's title) or left (title "").
nlohmann::json BusyEvent(bool busy, const std::string& title);
// An operation ended with completion code `code`.
nlohmann::json CompletionEvent(int code);
// A result page to show: `kind` is "map", "csum" or "sumry", `dml` the path
// of the DML file the page displays.
nlohmann::json PageEvent(const std::string& kind, const std::string& dml);
// The main window's title.
nlohmann::json TitleEvent(const std::string& text);
// The words of the word bar, separated by blanks.
nlohmann::json WordBarEvent(const std::string& words);
// A passage to insert into the scratch pad.
nlohmann::json ScratchEvent(const std::string& passage);

// One row of a document list: the record and the name of its library. Its
// "bcuri" is the address of the archived copy itself.
nlohmann::json ListRecord(const DocumentRecord& record, const std::string& library);
// A document list with its frame title; `records` holds ListRecord rows.
nlohmann::json ListEvent(const std::string& title, bool quick, nlohmann::json records);

}  // namespace qora

#endif  // QORA_SHELL_APP_EVENTS_H_
