// Downloads one web address into memory, whole, with time-outs, and reports
// failure as an error code and a message. Redirects are followed (also
// between HTTP and HTTPS); nothing is read from or written to a cache, no
// cookies are sent, and server status codes are not examined: an error page
// sent by the server is content like any other.
//
// Every fetch is bounded, whatever the server does:
//  - in size: a body longer than max_body_bytes() is not read on; the fetch
//    fails with kTooLargeError as soon as the body passes the limit, so the
//    fetcher never keeps more than the limit (and the final zero byte);
//  - in time: besides the time-outs on silence, a fetch ends at its overall
//    deadline (OverallDeadlineMs), so that a server sending a byte now and
//    then cannot hold it for ever;
//  - by its caller: a stop check, when one is set, is asked while the
//    transfer runs; when it answers true the fetch ends with kStoppedError.
#ifndef QORA_ACQUIRE_WEB_FETCHER_H_
#define QORA_ACQUIRE_WEB_FETCHER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qora {

// The address Fetch opens: `address` itself when it begins with "http://" or
// "https://" (case-sensitive), else "http://" followed by `address`.
std::string FetchAddress(std::string_view address);

// One fetcher per fetch, used by one thread at a time.
class WebFetcher {
 public:
  static constexpr int32_t kDefaultTimeout = 90000;  // milliseconds
  static constexpr int32_t kInternetError = 3;
  static constexpr int32_t kMemoryError = 2;
  // The body passed max_body_bytes(): reading stopped there, and nothing of
  // it is kept. Message "Content too large".
  static constexpr int32_t kTooLargeError = 4;
  // The stop check asked the fetch to end. Message "Fetch stopped".
  static constexpr int32_t kStoppedError = 5;
  static constexpr size_t kMaxErrorText = 255;
  // The body limit when the caller sets none: the most the 32-bit content
  // size can hold with its final zero byte.
  static constexpr int32_t kNoBodyLimit = INT32_MAX - 1;
  // How often, at the least, a running transfer asks the stop check.
  static constexpr int32_t kStopCheckPeriodMs = 50;

  WebFetcher() = default;
  WebFetcher(const WebFetcher&) = delete;
  WebFetcher& operator=(const WebFetcher&) = delete;

  // Frees any previous content, then reads the whole resource at
  // FetchAddress(address) into content, followed by one zero byte. Returns
  // true when the whole resource was read. On failure returns false with
  // error_code() 3 (network, time-out, overall deadline, bad time-out
  // setting, or an answer whose header was cut off), 2 (memory),
  // kTooLargeError (body longer than max_body_bytes()) or kStoppedError (the
  // stop check answered true) and error_text() set, and no content; failures
  // are reported, not thrown.
  bool Fetch(std::string_view address);

  // Frees the content and sets its size to 0; no effect when there is none.
  void ReleaseContent();

  // Time-outs in milliseconds, set before Fetch. The connect and receive
  // time-out bounds connecting and every wait for response bytes; the send
  // time-out bounds every wait while the request goes out. 0 stands for the
  // default of 90000; a negative value makes Fetch fail with the message of
  // the time-out it was given for.
  void set_connect_receive_timeout(int32_t ms) { connect_receive_timeout_ = ms; }
  void set_send_timeout(int32_t ms) { send_timeout_ = ms; }
  int32_t connect_receive_timeout() const { return connect_receive_timeout_; }
  int32_t send_timeout() const { return send_timeout_; }

  // The overall deadline of one fetch, in milliseconds, for the given
  // time-outs (0 read as the default, as above):
  //
  //   deadline = send time-out + 2 x connect and receive time-out.
  //
  // One connect/receive time-out for connecting (redirect hops included),
  // one send time-out for sending the request, and one more connect/receive
  // time-out for the whole answer. The silence time-outs cut off a server
  // that stops sending, but each byte that arrives starts them again; the
  // deadline also ends a fetch from a server that sends a byte now and
  // then. The answer gets as long as the server may stay silent once, which
  // lets a page of the crawler's size arrive even over a slow line (200 kB
  // in 20 s is 10 kB/s) and keeps the worst case a small multiple of the
  // time-outs the user configured (60 s with the installed 20 s each; 270 s
  // with the defaults). A fetch past it fails with error 3, "Error reading
  // URL", like a time-out on silence.
  static int64_t OverallDeadlineMs(int32_t connect_receive_ms, int32_t send_ms);
  int64_t overall_deadline_ms() const {
    return OverallDeadlineMs(connect_receive_timeout_, send_timeout_);
  }

  // The longest body Fetch takes, in bytes, set before Fetch; a negative
  // value counts as 0. A body that grows past it ends the fetch at once
  // with kTooLargeError: the bytes after the limit are never read, so a
  // huge or endless answer costs at most the limit in memory. The content
  // of a fetch that succeeds is thus at most the limit plus the zero byte.
  // Initially kNoBodyLimit.
  void set_max_body_bytes(int32_t bytes) { max_body_bytes_ = bytes < 0 ? 0 : bytes; }
  int32_t max_body_bytes() const { return max_body_bytes_; }

  // A check that the running fetch asks, on the fetching thread, at least
  // every kStopCheckPeriodMs milliseconds (and before it starts); when it
  // answers true the transfer is ended and Fetch fails with kStoppedError.
  // An empty function (the initial value) never stops a fetch. The check
  // must be cheap and must not wait for the caller's locks.
  void set_stop_check(std::function<bool()> check) { stop_check_ = std::move(check); }

  // The HTTP status of the last successful Fetch's final response (0 when
  // there was none, as for a file address). The content is the body
  // whatever the status: the caller decides what an error page is worth.
  int32_t response_status() const { return response_status_; }

  // The Content-Type header of the last successful Fetch's final response,
  // as the server sent it ("" when it sent none), and the address that
  // response came from once redirects were followed ("" before any).
  const std::string& content_type() const { return content_type_; }
  const std::string& final_address() const { return final_address_; }

  // The code and message of the last failed Fetch (0 and "" before any).
  int32_t error_code() const { return error_code_; }
  const std::string& error_text() const { return error_text_; }

  // The fetched bytes and a final zero byte, or nullptr when there are none.
  const char* content() const { return content_.empty() ? nullptr : content_.data(); }
  // The number of bytes of content(), the final zero byte included; 0 when
  // there is no content.
  int32_t content_size() const { return static_cast<int32_t>(content_.size()); }

 private:
  // Records a failure: sets the code and message and frees the content.
  bool Fail(int32_t code, std::string_view message);

  int32_t connect_receive_timeout_ = kDefaultTimeout;
  int32_t send_timeout_ = kDefaultTimeout;
  int32_t max_body_bytes_ = kNoBodyLimit;
  std::function<bool()> stop_check_;
  int32_t error_code_ = 0;
  int32_t response_status_ = 0;
  std::string content_type_;
  std::string final_address_;
  std::string error_text_;
  std::vector<char> content_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_WEB_FETCHER_H_
