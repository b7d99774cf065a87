#include "tests/test_util.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "util/file_bytes.h"

namespace qora::test {

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "qora_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write test file %s\n", path.c_str());
    std::abort();
  }
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, &bytes);  // leaves "" when the file cannot be read
  return bytes;
}

std::string FolderSnapshot(const std::string& folder) {
  std::set<std::string> lines;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    const std::string relative = entry.path().lexically_relative(folder).string();
    if (entry.is_directory()) {
      lines.insert(relative + "/");
      continue;
    }
    const std::string bytes = ReadFile(entry.path().string());
    lines.insert(relative + ":" + std::to_string(bytes.size()) + ":" +
                 std::to_string(std::hash<std::string>{}(bytes)));
  }
  std::string snapshot;
  for (const std::string& line : lines) snapshot += line + "\n";
  return snapshot;
}

std::string SourceDataFolder() { return std::string(QORA_SOURCE_DIR) + "/data/"; }

void WriteSmallDataFolder(const std::string& folder, int stemmed_model) {
  WriteFile(folder + "main.ini",
            "[environment]\nc_d = 5\nrel_per_sec = 30\nrel_per_subsec = 6\n"
            "stopword_file = stop.txt\ndb_archive = words.arc\n"
            "doc_store_subfolder = libs/\nstemmed_model = " +
                std::to_string(stemmed_model) + "\n");
  WriteFile(folder + "tmpdoc.ini", "[environment] \n temp_docstore = ");
  WriteFile(folder + "stop.txt", "the a of and to into\n");
  std::error_code error;
  if (!fs::exists(folder + "template", error)) {
    fs::copy(SourceDataFolder() + "template", folder + "template", fs::copy_options::recursive);
  }
}

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadFile(path);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

int FreePort() {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  int port = 0;
  if (sock >= 0 && ::bind(sock, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (sock >= 0) ::close(sock);
  return port;
}

}  // namespace qora::test
