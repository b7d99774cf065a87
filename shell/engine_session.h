// One run of the engine on a user data folder, as every front uses it.
#ifndef QORA_SHELL_ENGINE_SESSION_H_
#define QORA_SHELL_ENGINE_SESSION_H_

#include <map>
#include <string>

namespace qora {

// The environment file the engine starts from, in the user data folder.
inline constexpr char kEnvironmentFile[] = "main.ini";

// Creates the engine on construction and destroys it on destruction; a
// started session is finished (temporary store emptied, word lists saved)
// first. Only one session may exist at a time: the engine is one per process.
class EngineSession {
 public:
  EngineSession();
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // Starts the engine on `data_folder` (a trailing separator is added when
  // missing). Returns the engine's result: 0 started, 1 no temporary store,
  // -1 a configuration file is missing or broken (its message is on stderr
  // and nothing has been written).
  int Start(const std::string& data_folder);

  // Ends the run: EngineFinish, once. Returns its result: 0 done (also when
  // the start failed or the run was finished before), 1 when the temporary
  // store could not be emptied or the word lists could not be saved.
  int Finish();

  bool started() const { return started_; }

 private:
  bool started_ = false;
};

// The engine environment as key -> value (keys as EngineGetEnvironment
// names them); empty when there is no engine.
std::map<std::string, std::string> ReadEngineEnvironment();

// The environment as readable lines, one setting a line.
std::string FormatEnvironment(const std::map<std::string, std::string>& environment);

}  // namespace qora

#endif  // QORA_SHELL_ENGINE_SESSION_H_
