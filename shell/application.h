// The application: one running copy per user, serving its window to the
// user's browser on 127.0.0.1 and running the engine in this process. Start
// (first start included), the requests of its window, and shutdown.
#ifndef QORA_SHELL_APPLICATION_H_
#define QORA_SHELL_APPLICATION_H_

#include <ostream>
#include <string>

namespace qora {

struct ApplicationOptions {
  std::string data_folder;     // --data; "" to take it from the environment or settings
  int port = 0;                // 0: the usual port, else any free one
  bool open_browser = true;    // open the user's browser when a display is there
  std::string web_folder;      // the front; "" to find it beside the program
};

// The port the application takes when none is given and it is free.
inline constexpr int kDefaultPort = 8311;

// Runs the application until SIGINT or SIGTERM (or a refused first start).
// Prints the address it serves to `out`, and why it cannot run to `err`.
// Returns the exit status: 0 after a clean shutdown, 1 when it could not
// start (another copy runs, no port, no data folder, the engine failed).
int RunApplication(const ApplicationOptions& options, std::ostream& out, std::ostream& err);

// The front's folder: $QORA_WEB when set, else "web" beside the program,
// else "../share/qora/web" from it; "" when none holds index.html.
std::string FindWebFolder();

}  // namespace qora

#endif  // QORA_SHELL_APPLICATION_H_
