// Downloads one web address into memory, whole, with time-outs, and reports
// failure as an error code and a message. Redirects are followed (also
// between HTTP and HTTPS); nothing is read from or written to a cache, no
// cookies are sent, and server status codes are not examined: an error page
// sent by the server is content like any other.
#ifndef QORA_ACQUIRE_WEB_FETCHER_H_
#define QORA_ACQUIRE_WEB_FETCHER_H_

#include <cstdint>
#include <string>
#include <string_view>
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
  static constexpr size_t kMaxErrorText = 255;

  WebFetcher() = default;
  WebFetcher(const WebFetcher&) = delete;
  WebFetcher& operator=(const WebFetcher&) = delete;

  // Frees any previous content, then reads the whole resource at
  // FetchAddress(address) into content, followed by one zero byte. Returns
  // true when the whole resource was read. On failure returns false with
  // error_code() 3 (network, time-out or bad time-out setting) or 2 (memory)
  // and error_text() set, and no content; failures are reported, not thrown.
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

  // The HTTP status of the last successful Fetch's final response (0 when
  // there was none, as for a file address). The content is the body
  // whatever the status: the caller decides what an error page is worth.
  int32_t response_status() const { return response_status_; }

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
  int32_t error_code_ = 0;
  int32_t response_status_ = 0;
  std::string error_text_;
  std::vector<char> content_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_WEB_FETCHER_H_
