// The requests of the scratch pad: GET and POST /api/scratch read and save
// the pad's RTF in the data folder, POST /api/scratch/export writes it to a
// file of the user's choice (Send to Word).
#ifndef QORA_SHELL_SCRATCH_ROUTES_H_
#define QORA_SHELL_SCRATCH_ROUTES_H_

#include <functional>
#include <string>

#include "shell/app_events.h"
#include "shell/app_server.h"

namespace qora {

struct ScratchRouteHooks {
  // The user data folder; "" while there is none yet (the pad then cannot
  // be read or saved).
  std::function<std::string()> data_folder;
  // Opens an exported file in the user's word processor; may be empty (no
  // display: the file is only written).
  std::function<void(const std::string& path)> open_file;
};

// Registers on `server`:
//   GET  scratch         -> 200 {"rtf": text} (a missing file: "")
//   POST scratch         {"rtf": text} -> 204, the file replaced whole
//   POST scratch/export  {"path": "/abs/name.doc", "rtf": text} -> 204; a
//        path without a file name or with the extension "url" writes
//        nothing and pushes the warning "Please choose files" on `events`;
//        a relative path is refused (400).
// Malformed bodies get 400 and a failed read or write 500, each with an
// {"error": text} the front shows. `server` and `events` must outlive the
// serving.
void RegisterScratchRoutes(AppServer* server, EventQueue* events, ScratchRouteHooks hooks);

}  // namespace qora

#endif  // QORA_SHELL_SCRATCH_ROUTES_H_
