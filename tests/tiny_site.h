// A small web site on a loopback address for the tests that crawl: each
// connection gets the page of the path it asks for (or an empty answer) and
// is closed. Header-only, as the tests that use it link no common library
// of servers.
#ifndef QORA_TESTS_TINY_SITE_H_
#define QORA_TESTS_TINY_SITE_H_

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>

namespace qora::test {

// A page with `title` as its title and heading and `text` as its paragraph.
inline std::string Page(const std::string& title, const std::string& text) {
  return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1><p>" + text +
         "</p></body></html>";
}

// Serves `pages` (path to body, as text/html) until destroyed.
class TinySite {
 public:
  explicit TinySite(std::map<std::string, std::string> pages, std::string host = "127.0.0.1")
      : pages_(std::move(pages)), host_(std::move(host)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1 ||
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 64) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen";
      return;
    }
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] { Serve(); });
  }
  ~TinySite() {
    ::shutdown(fd_, SHUT_RDWR);
    server_.join();
    ::close(fd_);
  }
  TinySite(const TinySite&) = delete;
  TinySite& operator=(const TinySite&) = delete;

  std::string Url(const std::string& path) const {
    return "http://" + host_ + ":" + std::to_string(port_) + path;
  }

 private:
  void Serve() {
    for (;;) {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      const size_t start = request.find(' ') + 1;
      const std::string path = request.substr(start, request.find(' ', start) - start);
      const auto page = pages_.find(path);
      const std::string body = page == pages_.end() ? "" : page->second;
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                 body;
      ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
      ::close(client);
    }
  }

  std::map<std::string, std::string> pages_;
  std::string host_;
  int fd_ = -1;
  int port_ = 0;
  std::thread server_;
};

}  // namespace qora::test

#endif  // QORA_TESTS_TINY_SITE_H_
