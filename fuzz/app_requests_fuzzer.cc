// The request parsers of the application's server, called directly. The
// first byte chooses one; the rest is its input:
//  0 the body of POST /api/acquire (JSON), read into an acquisition call;
//  1 an upload: first line its name, the rest its bytes. A saved upload
//    lies in a new folder of its own right inside the data folder's
//    "uploads/", under exactly its name, and holds exactly its bytes;
//  2 the origin headers (Host, Sec-Fetch-Site, Origin, Referer, token, one
//    line each): a request is the application's own only with one of the
//    marks the guard's header names;
//  3 a file path of a request below a served folder: what is served lies
//    inside that folder;
//  4 a settings file, as the settings request and the start read it: the
//    text of the settings read reads back unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz/fuzz_input.h"
#include "shell/acquisition_request_json.h"
#include "shell/request_guard.h"
#include "shell/scratch_file.h"
#include "shell/settings_store.h"
#include "shell/upload_store.h"
#include "util/file_bytes.h"

namespace {

namespace fs = std::filesystem;

void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// A folder of this process's own, made once: the data folder of uploads and
// the served folder of file requests.
const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    const fs::path path = fs::path(tmp != nullptr ? tmp : "/tmp") /
                          ("qora-fuzz-requests-" + std::to_string(getpid()));
    fs::create_directories(path / "served" / "pages");
    std::FILE* file = std::fopen((path / "served" / "pages" / "page.html").c_str(), "wb");
    if (file != nullptr) std::fclose(file);
    std::FILE* outside = std::fopen((path / "outside.html").c_str(), "wb");
    if (outside != nullptr) std::fclose(outside);
    return fs::canonical(path).string();
  }();
  return folder;
}

void CheckAcquisitionBody(std::string_view text) {
  const nlohmann::json body = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  qora::AcquisitionCall call;
  if (!qora::AcquisitionCallOf(body, &call).empty()) return;
  if (!body.is_object()) Fail("a call read from a body that is no object", text);
  if (call.kind == qora::AcquisitionCall::Kind::kInternet &&
      (call.internet.target.library != call.target.library ||
       call.internet.target.create != call.target.create ||
       call.internet.target.new_name != call.target.new_name)) {
    Fail("the internet request lost its target", text);
  }
}

void CheckUpload(qora::FuzzInput* input) {
  const std::string name(input->Text());
  const std::string bytes(input->Rest());
  const fs::path uploads = fs::path(ScratchFolder()) / "uploads";
  std::string path;
  if (!qora::SaveUpload(ScratchFolder() + "/", name, bytes, &path).empty()) return;
  std::error_code error;
  const fs::path folder = fs::path(path).parent_path();
  if (fs::canonical(folder.parent_path(), error) != uploads || error) {
    Fail("an upload outside its folder", path);
  }
  if (path != folder.string() + "/" + name) Fail("an upload under another name", path);
  std::string written;
  if (!qora::ReadWholeFile(path, &written) || written != bytes) Fail("the upload's bytes", path);
  if (!qora::ImportableFileName(name)) Fail("an upload of a kind not imported", name);
  fs::remove_all(folder, error);
}

void CheckRequestSource(qora::FuzzInput* input) {
  const int port = input->Byte() << 8 | input->Byte();
  const std::string host(input->Text());
  qora::RequestSource source;
  source.fetch_site = std::string(input->Text());
  source.origin = std::string(input->Text());
  source.referer = std::string(input->Text());
  source.token = std::string(input->Rest());
  const std::string number = std::to_string(port);
  if (qora::IsOwnHost(host, port) && !host.ends_with(":" + number)) Fail("a host of another port", host);
  if (!qora::IsOwnRequest(source, port, "secret-token")) return;
  const bool marked = source.fetch_site == "same-origin" || source.token == "secret-token" ||
                      source.origin.find(":" + number) != std::string::npos ||
                      source.referer.find(":" + number) != std::string::npos;
  if (!marked) Fail("a request taken as the application's own without a mark", source.origin);
}

void CheckServedFile(std::string_view relative) {
  const std::string root = ScratchFolder() + "/served";
  const std::string served = qora::FileInside(root, relative);
  if (!served.empty() && !served.starts_with(root + "/")) Fail("a file outside its folder", relative);
  const std::string absolute = qora::AbsoluteFileInside(root, std::string(relative));
  if (!absolute.empty() && !absolute.starts_with(root + "/")) Fail("a file outside its folder", relative);
  qora::ContentTypeOf(relative);
  qora::ExportPathAccepted(std::string(relative));
}

void CheckSettingsText(std::string_view text) {
  const std::string written = qora::SettingsStore::Parse(text).Text();
  if (qora::SettingsStore::Parse(written).Text() != written) Fail("settings do not read back", written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qora::FuzzInput input(data, size);
  switch (input.Byte() % 5) {
    case 0:
      CheckAcquisitionBody(input.Rest());
      break;
    case 1:
      CheckUpload(&input);
      break;
    case 2:
      CheckRequestSource(&input);
      break;
    case 3:
      CheckServedFile(input.Rest());
      break;
    default:
      CheckSettingsText(input.Rest());
      break;
  }
  return 0;
}
