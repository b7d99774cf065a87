// Hostile web servers on 127.0.0.1 for the tests of bounded fetches, and the
// process's memory figures that show what a fetch kept.
//
// HostileServer answers every request in one of the ways a web server must
// not: a body that never ends (a flood as fast as the client takes it, plain
// or in chunks that never reach the last one, or a drip of one byte now and
// then), a header that never ends (one endless line, or endless lines), or
// no answer at all (the connection reset, or closed halfway through the
// status line and headers). What never ends stops at a cap of bytes. Every
// connection ends by itself when the client goes away, when the cap is
// reached, or when the server is destroyed; nothing waits longer than a few
// tens of milliseconds for any of them.
#ifndef QORA_TESTS_HOSTILE_SERVER_H_
#define QORA_TESTS_HOSTILE_SERVER_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QORA_TEST_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QORA_TEST_UNDER_SANITIZER 1
#endif
#endif

namespace qora::test {

// False under AddressSanitizer and ThreadSanitizer, whose shadow memory (and
// quarantine of freed blocks) make the resident size of the process say
// little about what an operation kept: bounds on the peak memory are checked
// only where this is true.
#ifdef QORA_TEST_UNDER_SANITIZER
inline constexpr bool kResidentFiguresMeaningful = false;
#else
inline constexpr bool kResidentFiguresMeaningful = true;
#endif

class HostileServer {
 public:
  enum class Kind {
    kFlood,           // body bytes as fast as the client reads them
    kChunkedFlood,    // chunks of body bytes as fast as the client reads them
    kDrip,            // one body byte every `interval`
    kHugeHeaderLine,  // one header line of `cap` bytes that never ends
    kEndlessHeaders,  // header lines, `cap` bytes of them, and never a blank one
    kReset,           // the connection reset (RST) once the request arrived
    kHalfHeader,      // the connection closed in the middle of the headers
  };

  // Listens on 127.0.0.1 on a free port; port() is 0 when it cannot.
  HostileServer(Kind kind, int64_t cap_bytes,
                std::chrono::milliseconds interval = std::chrono::milliseconds(200))
      : kind_(kind), cap_(cap_bytes), interval_(interval) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 64) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptAll(); });
  }

  ~HostileServer() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    // The acceptor has ended: no connection thread is added any more.
    for (std::thread& connection : connections_) connection.join();
    if (fd_ >= 0) ::close(fd_);
  }

  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // Bytes of the endless part (body or headers) the clients accepted (the
  // kernel took them), over all connections.
  int64_t BytesSent() const { return sent_.load(); }
  // Requests whose header arrived.
  int Requests() const { return requests_.load(); }
  // Connections still being answered.
  int Open() const { return open_.load(); }

  // Waits up to `wait` for a request to arrive; true when one did.
  bool WaitForRequest(std::chrono::milliseconds wait) const {
    return WaitUntil(wait, [this] { return requests_.load() > 0; });
  }
  // Waits up to `wait` until no connection is being answered; true then.
  bool WaitUntilAllClosed(std::chrono::milliseconds wait) const {
    return WaitUntil(wait, [this] { return open_.load() == 0; });
  }

 private:
  static constexpr int kPollMs = 20;

  template <typename Condition>
  static bool WaitUntil(std::chrono::milliseconds wait, Condition done) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  bool Stopping() {
    std::lock_guard<std::mutex> hold(mutex_);
    return stopping_;
  }

  void AcceptAll() {
    while (!Stopping()) {
      pollfd listening{fd_, POLLIN, 0};
      if (::poll(&listening, 1, kPollMs) != 1) continue;
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) continue;
      ++open_;
      connections_.emplace_back([this, client] {
        Answer(client);
        ::close(client);
        --open_;
      });
    }
  }

  // Waits up to kPollMs for the socket to be ready for `events`: 1 when it
  // is, 0 when not yet, -1 when the client has gone.
  static int Ready(int client, short events) {
    pollfd watch{client, events, 0};
    if (::poll(&watch, 1, kPollMs) != 1) return 0;
    if ((watch.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return -1;
    return 1;
  }

  // Sends all of `data`; false when the client went away or the server
  // stops.
  bool SendAll(int client, const char* data, size_t size, bool count) {
    while (size > 0) {
      if (Stopping()) return false;
      const int ready = Ready(client, POLLOUT);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const ssize_t n = ::send(client, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
        return false;
      }
      if (count) sent_ += n;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  // Reads the request header; false when the client went away first or the
  // server stops.
  bool ReadRequest(int client) {
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (Stopping()) return false;
      const int ready = Ready(client, POLLIN);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) return false;
      request.append(buffer, static_cast<size_t>(n));
    }
    ++requests_;
    return true;
  }

  // Sends `piece` over and over, counting its bytes, until `cap_` bytes were
  // sent (the last piece cut to fit) or the client went away.
  void SendRepeated(int client, const std::string& piece) {
    for (int64_t left = cap_; left > 0;) {
      const size_t size = static_cast<size_t>(std::min<int64_t>(left, piece.size()));
      if (!SendAll(client, piece.data(), size, true)) return;
      left -= static_cast<int64_t>(size);
    }
  }

  void Drip(int client) {
    for (int64_t left = cap_; left > 0; --left) {
      {
        std::unique_lock<std::mutex> hold(mutex_);
        if (wake_.wait_for(hold, interval_, [this] { return stopping_; })) return;
      }
      if (!SendAll(client, "x", 1, true)) return;
    }
  }

  // Makes the coming close() reset the connection instead of ending it.
  static void ResetOnClose(int client) {
    const linger abort_close{1, 0};
    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort_close, sizeof(abort_close));
  }

  bool SendText(int client, const std::string& text) {
    return SendAll(client, text.data(), text.size(), false);
  }

  void Answer(int client) {
    if (!ReadRequest(client)) return;
    const std::string status = "HTTP/1.1 200 OK\r\n";
    const std::string html = "Content-Type: text/html\r\nConnection: close\r\n";
    const std::string body_start = "<html><body>";
    switch (kind_) {
      case Kind::kFlood:
        if (SendText(client, status + html + "\r\n" + body_start)) {
          SendRepeated(client, std::string(64 * 1024, 'x'));
        }
        return;
      case Kind::kChunkedFlood:
        if (SendText(client, status + html + "Transfer-Encoding: chunked\r\n\r\n")) {
          SendRepeated(client, "10000\r\n" + std::string(0x10000, 'x') + "\r\n");
        }
        return;
      case Kind::kDrip:
        if (SendText(client, status + html + "\r\n" + body_start)) Drip(client);
        return;
      case Kind::kHugeHeaderLine:
        if (SendText(client, status + html + "X-Filler: ")) {
          SendRepeated(client, std::string(64 * 1024, 'x'));
        }
        return;
      case Kind::kEndlessHeaders:
        if (SendText(client, status + html)) {
          SendRepeated(client, "X-Filler: " + std::string(100, 'x') + "\r\n");
        }
        return;
      case Kind::kReset:
        ResetOnClose(client);
        return;
      case Kind::kHalfHeader:
        SendText(client, status + "Content-Ty");
        return;
    }
  }

  const Kind kind_;
  const int64_t cap_;
  const std::chrono::milliseconds interval_;
  int fd_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // touched by the acceptor only, then the destructor
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<int64_t> sent_{0};
  std::atomic<int> requests_{0};
  std::atomic<int> open_{0};
};

// The value in kB of `key` ("VmRSS:", "VmHWM:") in /proc/self/status, in
// bytes; -1 when it cannot be read.
inline int64_t ProcessStatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size())) * 1024;
  }
  return -1;
}

// Resets the process's peak resident size to its current size where the
// system allows it (Linux 4.0 and later); true when it did. Where it does
// not, the peak stays, and a later peak is only ever higher than this one's.
inline bool ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace qora::test

#endif  // QORA_TESTS_HOSTILE_SERVER_H_
