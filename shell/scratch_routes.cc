#include "shell/scratch_routes.h"

#include <utility>

#include "shell/scratch_file.h"

namespace qora {

namespace {

ApiReply Refused(int status, const std::string& text) { return ApiReply{status, {{"error", text}}}; }

constexpr char kNoDataFolder[] = "QORA has no data folder yet.";

}  // namespace

void RegisterScratchRoutes(AppServer* server, EventQueue* events, ScratchRouteHooks hooks) {
  auto data_folder = hooks.data_folder;
  server->OnGet("scratch", [data_folder](const auto&, const auto&) {
    const std::string folder = data_folder();
    if (folder.empty()) return Refused(409, kNoDataFolder);
    std::string text;
    const std::string failure = ReadScratchPad(folder, &text);
    if (!failure.empty()) return Refused(500, failure);
    // Bytes of a foreign file that are not UTF-8 reach the front as U+FFFD
    // (RTF itself is 7-bit: word processors escape the rest).
    return ApiReply{200, {{"rtf", text}}};
  });
  server->OnPost("scratch", [data_folder](const auto&, const nlohmann::json& body) {
    if (!body.is_object() || !body.contains("rtf") || !body["rtf"].is_string()) {
      return Refused(400, "The scratch pad is sent as {\"rtf\": \"...\"}.");
    }
    const std::string folder = data_folder();
    if (folder.empty()) return Refused(409, kNoDataFolder);
    const std::string failure = WriteScratchPad(folder, body["rtf"].get<std::string>());
    if (!failure.empty()) return Refused(500, failure);
    return ApiReply{204, nullptr};
  });
  server->OnPost("scratch/export", [events, open = std::move(hooks.open_file)](
                                       const auto&, const nlohmann::json& body) {
    if (!body.is_object() || !body.value("path", nlohmann::json()).is_string() ||
        !body.value("rtf", nlohmann::json()).is_string()) {
      return Refused(400, "Send to Word is sent as {\"path\": \"...\", \"rtf\": \"...\"}.");
    }
    const std::string path = body["path"].get<std::string>();
    // A relative name would land wherever the server happens to run.
    if (!path.empty() && path.front() != '/') {
      return Refused(400, "The file of Send to Word is named by its absolute path.");
    }
    if (!ExportPathAccepted(path)) {
      events->Push(MessageEvent(kWarning, kChooseFilesMessage));
      return ApiReply{204, nullptr};
    }
    const std::string failure = ExportScratchPad(path, body["rtf"].get<std::string>());
    if (!failure.empty()) return Refused(500, failure);
    if (open) open(path);
    return ApiReply{204, nullptr};
  });
}

}  // namespace qora
