#include "acquire/web_fetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <utility>

namespace qora {

namespace {

constexpr char kAgent[] = "QORA";
constexpr long kMaxRedirects = 20;
// Longest single wait for socket activity; libcurl's own timers shorten it.
constexpr long long kLongestPollMs = 1000;

constexpr char kOpenFailed[] = "Error opening Internet";
constexpr char kConnectTimeoutFailed[] = "Error setting Internet connect timeout";
constexpr char kReadFailed[] = "Error reading URL";
constexpr char kSendTimeoutFailed[] = "Error setting Internet send timeout";
constexpr char kReceiveTimeoutFailed[] = "Error setting Internet receive timeout";
constexpr char kMemoryFailed[] = "Error (re)allocating memory";
constexpr char kTooLarge[] = "Content too large";
constexpr char kStopped[] = "Fetch stopped";

struct EasyCloser {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCloser>;

struct MultiCloser {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiCloser>;

struct HeaderListFreer {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFreer>;

// libcurl's global state is set up once per process, before the first
// handle, from whichever thread fetches first.
void EnsureCurlInitialized() {
  static const CURLcode kInit = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)kInit;
}

// 0 stands for the default time-out, so a fetch is never left without one.
int32_t EffectiveTimeout(int32_t ms) { return ms == 0 ? WebFetcher::kDefaultTimeout : ms; }

// How the three time-outs map onto libcurl:
//
// - connect: CURLOPT_CONNECTTIMEOUT_MS, which bounds name resolution, the
//   TCP connection and the TLS handshake of every connection (each redirect
//   hop included).
// - send and receive: libcurl has no per-operation socket time-outs (its
//   sockets are non-blocking), so this watch measures silence. Once a
//   connection is ready, the request goes out; the send time-out bounds the
//   time without progress until libcurl reports the request sent. From then
//   on, the receive time-out bounds every wait for the next response bytes.
//   A server that accepts the connection but never answers is thus cut off
//   after the receive time-out, as is one that stalls in mid-answer.
//
// Phases follow libcurl's callbacks: a name resolution or a new socket
// starts connecting, the pre-request callback starts sending, the outgoing
// request header ends it, and response bytes count as progress.
//
// Over all phases runs the fetch's overall deadline (see
// WebFetcher::OverallDeadlineMs), which no progress extends.
class SilenceWatch {
 public:
  using Clock = std::chrono::steady_clock;

  SilenceWatch(int32_t send_ms, int32_t receive_ms, int64_t deadline_ms)
      : send_ms_(send_ms),
        receive_ms_(receive_ms),
        deadline_(Clock::now() + std::chrono::milliseconds(deadline_ms)) {}

  void Connecting() { phase_ = Phase::kConnecting; }
  void Sending() { Enter(Phase::kSending); }
  void Receiving() { Enter(Phase::kReceiving); }
  void Progress() { last_progress_ = Clock::now(); }

  // Milliseconds left before the silence of the current phase exceeds its
  // time-out or the overall deadline passes, whichever comes first; while
  // connecting (which libcurl bounds as well) only the deadline counts.
  long long MillisecondsLeft() const {
    const auto now = Clock::now();
    const long long to_deadline =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now).count();
    if (phase_ == Phase::kConnecting) return to_deadline;
    const long long limit = phase_ == Phase::kSending ? send_ms_ : receive_ms_;
    const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_progress_);
    return std::min(limit - silent.count(), to_deadline);
  }

 private:
  enum class Phase { kConnecting, kSending, kReceiving };

  void Enter(Phase phase) {
    phase_ = phase;
    Progress();
  }

  const int32_t send_ms_;
  const int32_t receive_ms_;
  const Clock::time_point deadline_;
  Phase phase_ = Phase::kConnecting;
  Clock::time_point last_progress_ = Clock::now();
};

// What libcurl's callbacks and the transfer loop reach during one transfer.
struct Transfer {
  Transfer(int32_t send_ms, int32_t receive_ms, int64_t deadline_ms, size_t max_body,
           const std::function<bool()>* stop_check)
      : watch(send_ms, receive_ms, deadline_ms), max_body(max_body), stop_check(stop_check) {}

  // True when the caller's stop check asks the fetch to end.
  bool StopAsked() const { return *stop_check && (*stop_check)(); }

  SilenceWatch watch;
  std::vector<char> body;
  // At most INT32_MAX - 1, so that the final zero byte fits the content size.
  const size_t max_body;
  const std::function<bool()>* const stop_check;  // an empty one never stops
  bool out_of_memory = false;
  bool too_large = false;
  bool stopped = false;
  // Set by the blank line that ends a response's header, cleared by the
  // status line of the next response (a redirect's target): true at the end
  // when the final response's header arrived whole.
  bool header_complete = false;
};

// Appends response body bytes. When they would take the body past its
// limit, or memory runs out, returns 0, which makes libcurl abort the
// transfer: nothing past the limit is read or kept. The buffer grows at
// most to the limit and the final zero byte, so a limit bounds the memory
// of a fetch however much the server sends.
size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  transfer->watch.Progress();
  std::vector<char>& body = transfer->body;
  if (bytes > transfer->max_body - body.size()) {
    transfer->too_large = true;
    return 0;
  }
  try {
    const size_t needed = body.size() + bytes;
    if (needed > body.capacity()) {
      body.reserve(std::min(std::max(needed, 2 * body.capacity()), transfer->max_body + 1));
    }
    body.insert(body.end(), data, data + bytes);
  } catch (const std::bad_alloc&) {
    transfer->out_of_memory = true;
    return 0;
  }
  return bytes;
}

// Notes where each response's header begins and ends. libcurl takes an
// answer cut off in the middle of its header lines, once a status line has
// come, for an empty answer of that status; the fetch must fail instead.
size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) transfer->header_complete = false;
  if (line == "\r\n" || line == "\n") transfer->header_complete = true;
  return size * count;
}

int OnResolveStart(void* /*resolver*/, void* /*reserved*/, void* user) {
  static_cast<Transfer*>(user)->watch.Connecting();
  return 0;
}

int OnNewSocket(void* user, curl_socket_t /*socket*/, curlsocktype /*purpose*/) {
  static_cast<Transfer*>(user)->watch.Connecting();
  return CURL_SOCKOPT_OK;
}

int OnConnectionReady(void* user, char* /*primary_ip*/, char* /*local_ip*/, int /*primary_port*/,
                      int /*local_port*/) {
  static_cast<Transfer*>(user)->watch.Sending();
  return CURL_PREREQFUNC_OK;
}

// libcurl reports every piece of protocol traffic here (with CURLOPT_VERBOSE
// set and nothing printed): the sent request header ends the sending phase,
// and incoming bytes, headers of redirect answers included, are progress.
int OnTraffic(CURL* /*easy*/, curl_infotype type, char* /*data*/, size_t /*size*/, void* user) {
  SilenceWatch& watch = static_cast<Transfer*>(user)->watch;
  switch (type) {
    case CURLINFO_HEADER_OUT:
      watch.Receiving();
      break;
    case CURLINFO_DATA_OUT:
    case CURLINFO_HEADER_IN:
    case CURLINFO_DATA_IN:
      watch.Progress();
      break;
    default:
      break;
  }
  return 0;
}

// Request headers that ask proxies on the way for a fresh answer; null when
// they cannot be allocated.
HeaderList NoCacheHeaders() {
  HeaderList list(curl_slist_append(nullptr, "Pragma: no-cache"));
  if (list && curl_slist_append(list.get(), "Cache-Control: no-cache") == nullptr) list.reset();
  return list;
}

// Sets the address and the request's behaviour: agent, redirects (also
// between HTTP and HTTPS, no other protocols), no cookies (the cookie engine
// stays off), no cache (libcurl keeps none; the headers ask proxies not to
// answer from theirs), raw body bytes, no signals (worker threads), and the
// body collected into `transfer`, the header lines watched by it.
bool SetRequestOptions(CURL* easy, const std::string& url, curl_slist* headers,
                       Transfer* transfer) {
  return curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendBody) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer) == CURLE_OK;
}

// Installs the callbacks that start the connecting and sending phases.
bool WatchSending(CURL* easy, Transfer* transfer) {
  return curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, OnResolveStart) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, transfer) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, OnNewSocket) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, transfer) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, OnConnectionReady) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer) == CURLE_OK;
}

// Installs the traffic callback that starts the receiving phase and marks
// progress.
bool WatchReceiving(CURL* easy, Transfer* transfer) {
  return curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, OnTraffic) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_DEBUGDATA, transfer) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L) == CURLE_OK;
}

// Runs the transfer of `easy` to its end, or until the silence watch or the
// overall deadline runs out, or the stop check asks it to end (then
// `transfer->stopped` is set). The stop check is asked before the transfer
// starts and after every wait, and no wait is longer than its period, so a
// stop ends the transfer within about kStopCheckPeriodMs. True when libcurl
// completed the transfer without error.
bool RunTransfer(CURL* easy, Transfer* transfer) {
  if (transfer->StopAsked()) {
    transfer->stopped = true;
    return false;
  }
  MultiHandle multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return false;
  const long long longest_wait =
      *transfer->stop_check ? std::min<long long>(kLongestPollMs, WebFetcher::kStopCheckPeriodMs)
                            : kLongestPollMs;
  bool completed = false;
  while (true) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running == 0) {
      completed = true;
      break;
    }
    if (transfer->StopAsked()) {
      transfer->stopped = true;
      break;
    }
    const long long left = transfer->watch.MillisecondsLeft();
    if (left <= 0) break;  // timed out
    const int wait = static_cast<int>(std::min(left, longest_wait));
    if (curl_multi_poll(multi.get(), nullptr, 0, wait, nullptr) != CURLM_OK) break;
  }
  CURLcode result = CURLE_RECV_ERROR;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
      result = message->data.result;
    }
  }
  curl_multi_remove_handle(multi.get(), easy);
  return completed && result == CURLE_OK;
}

}  // namespace

std::string FetchAddress(std::string_view address) {
  if (address.starts_with("http://") || address.starts_with("https://")) {
    return std::string(address);
  }
  return "http://" + std::string(address);
}

int64_t WebFetcher::OverallDeadlineMs(int32_t connect_receive_ms, int32_t send_ms) {
  return int64_t{EffectiveTimeout(send_ms)} + 2 * int64_t{EffectiveTimeout(connect_receive_ms)};
}

bool WebFetcher::Fetch(std::string_view address) {
  ReleaseContent();
  response_status_ = 0;
  content_type_.clear();
  final_address_.clear();
  const std::string url = FetchAddress(address);
  const int32_t connect_receive_ms = EffectiveTimeout(connect_receive_timeout_);
  const int32_t send_ms = EffectiveTimeout(send_timeout_);

  EnsureCurlInitialized();
  EasyHandle easy(curl_easy_init());
  if (!easy || curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, kAgent) != CURLE_OK) {
    return Fail(kInternetError, kOpenFailed);
  }
  if (connect_receive_ms < 0 ||
      curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS,
                       static_cast<long>(connect_receive_ms)) != CURLE_OK) {
    return Fail(kInternetError, kConnectTimeoutFailed);
  }
  const int64_t deadline_ms = OverallDeadlineMs(connect_receive_ms, send_ms);
  Transfer transfer(send_ms, connect_receive_ms, deadline_ms,
                    static_cast<size_t>(std::clamp(max_body_bytes_, 0, kNoBodyLimit)),
                    &stop_check_);
  const HeaderList headers = NoCacheHeaders();
  if (!headers || !SetRequestOptions(easy.get(), url, headers.get(), &transfer)) {
    return Fail(kInternetError, kReadFailed);
  }
  if (send_ms < 0 || !WatchSending(easy.get(), &transfer)) {
    return Fail(kInternetError, kSendTimeoutFailed);
  }
  // libcurl keeps the overall deadline too (the transfer loop checks it as
  // well, so it holds whichever notices first). Both time-outs are positive
  // here, and so is the deadline.
  const long deadline_option = static_cast<long>(std::min<int64_t>(deadline_ms, LONG_MAX));
  if (curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, deadline_option) != CURLE_OK) {
    return Fail(kInternetError, kReadFailed);
  }
  if (!WatchReceiving(easy.get(), &transfer)) return Fail(kInternetError, kReceiveTimeoutFailed);

  const bool read = RunTransfer(easy.get(), &transfer);
  if (transfer.stopped) return Fail(kStoppedError, kStopped);
  if (transfer.too_large) return Fail(kTooLargeError, kTooLarge);
  if (transfer.out_of_memory) return Fail(kMemoryError, kMemoryFailed);
  if (!read || !transfer.header_complete) return Fail(kInternetError, kReadFailed);
  try {
    transfer.body.push_back('\0');
  } catch (const std::bad_alloc&) {
    return Fail(kMemoryError, kMemoryFailed);
  }
  content_ = std::move(transfer.body);
  long status = 0;
  if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
    response_status_ = static_cast<int32_t>(status);
  }
  const char* type = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    content_type_ = type;
  }
  const char* effective = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK &&
      effective != nullptr) {
    final_address_ = effective;
  }
  return true;
}

void WebFetcher::ReleaseContent() { std::vector<char>().swap(content_); }

bool WebFetcher::Fail(int32_t code, std::string_view message) {
  error_code_ = code;
  error_text_ = std::string(message.substr(0, kMaxErrorText));
  ReleaseContent();
  return false;
}

}  // namespace qora
