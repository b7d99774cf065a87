#include "shell/app_events.h"

#include <algorithm>

namespace qora {

EventQueue::EventQueue(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

int64_t EventQueue::Push(nlohmann::json event) {
  if (rewrite_) event = rewrite_(std::move(event));
  if (!event.is_object()) {
    event = nlohmann::json{{"type", "invalid"}, {"value", std::move(event)}};
  }
  int64_t seq;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seq = ++last_seq_;
    event["seq"] = seq;
    events_.push_back(std::move(event));
    while (events_.size() > capacity_) events_.pop_front();
  }
  pushed_.notify_all();
  return seq;
}

std::vector<nlohmann::json> EventQueue::AfterLocked(int64_t seq) const {
  std::vector<nlohmann::json> found;
  // Sequence numbers are consecutive, so the first wanted event's place
  // follows from the oldest kept one.
  if (events_.empty() || seq >= last_seq_) return found;
  const int64_t oldest = events_.front()["seq"].get<int64_t>();
  const size_t start = seq < oldest ? 0 : static_cast<size_t>(seq - oldest + 1);
  found.assign(events_.begin() + static_cast<std::ptrdiff_t>(start), events_.end());
  return found;
}

std::vector<nlohmann::json> EventQueue::After(int64_t seq) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return AfterLocked(seq);
}

std::vector<nlohmann::json> EventQueue::WaitAfter(int64_t seq,
                                                  std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  pushed_.wait_for(lock, timeout, [&] { return last_seq_ > seq; });
  return AfterLocked(seq);
}

int64_t EventQueue::LastSeq() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_seq_;
}

std::string EventText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json MessageEvent(const std::string& level, const std::string& text) {
  return {{"type", "message"}, {"level", level}, {"title", "QORA"}, {"text", text}};
}

nlohmann::json DialogEvent(const std::string& dialog, const std::string& text) {
  return {{"type", "dialog"}, {"dialog", dialog}, {"text", text}};
}

nlohmann::json BusyEvent(bool busy, const std::string& title) {
  return {{"type", "busy"}, {"busy", busy}, {"title", title}};
}

nlohmann::json CompletionEvent(int code) { return {{"type", "completion"}, {"code", code}}; }

nlohmann::json PageEvent(const std::string& kind, const std::string& dml) {
  return {{"type", "page"}, {"kind", kind}, {"dml", dml}};
}

nlohmann::json TitleEvent(const std::string& text) { return {{"type", "title"}, {"text", text}}; }

nlohmann::json WordBarEvent(const std::string& words) {
  return {{"type", "wordbar"}, {"words", words}};
}

nlohmann::json ScratchEvent(const std::string& passage) {
  return {{"type", "scratch"}, {"passage", passage}};
}

namespace {

// The address of a record's archived copy. A stored document's record names
// the folder of the library's copies (bcuri, ending in "/") and the copy's
// file name in it (curi), so the two make the copy; a bcuri that names a
// file already is the copy itself.
std::string ArchivedCopy(const DocumentRecord& record) {
  if (record.curi.empty() || record.bcuri.empty() || record.bcuri.back() != '/') {
    return record.bcuri;
  }
  return record.bcuri + record.curi;
}

}  // namespace

nlohmann::json ListRecord(const DocumentRecord& record, const std::string& library) {
  return {{"handle", record.parent_handle},
          {"docid", record.docid},
          {"name", record.name},
          {"rank", record.rank},
          {"size", record.size},
          {"date", record.date_ret.empty() ? record.date_cr : record.date_ret},
          {"type", record.type},
          {"uri", record.uri},
          {"bcuri", ArchivedCopy(record)},
          {"source", record.source},
          {"library", library}};
}

nlohmann::json ListEvent(const std::string& title, bool quick, nlohmann::json records) {
  if (!records.is_array()) records = nlohmann::json::array();
  return {{"type", "list"}, {"title", title}, {"quick", quick}, {"records", std::move(records)}};
}

}  // namespace qora
