#include "shell/engine_session.h"

#include <sstream>

#include "qora/engine.h"
#include "shell/data_folder.h"
#include "shell/engine_string.h"

namespace qora {

EngineSession::EngineSession() { EngineCreate(); }

EngineSession::~EngineSession() {
  Finish();
  EngineDestroy();
}

int EngineSession::Start(const std::string& data_folder) {
  int result = -1;
  EngineStart(WithTrailingSeparator(data_folder).c_str(), kEnvironmentFile, &result);
  started_ = result == 0;
  return result;
}

int EngineSession::Finish() {
  if (!started_) return 0;
  int result = 0;
  EngineFinish(&result);
  started_ = false;
  return result;
}

std::map<std::string, std::string> ReadEngineEnvironment() {
  std::map<std::string, std::string> environment;
  char* text = nullptr;
  int result = -1;
  EngineGetEnvironment(&text, &result);
  if (result != 0 || text == nullptr) return environment;
  std::istringstream lines(TakeEngineString(text));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) environment[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return environment;
}

std::string FormatEnvironment(const std::map<std::string, std::string>& environment) {
  auto value = [&environment](const char* key) {
    auto found = environment.find(key);
    return found == environment.end() ? std::string() : found->second;
  };
  const std::string stemming = value("stemmed_model");
  const std::string temp_store = value("temp_docstore");
  std::ostringstream out;
  out << "data folder            " << value("data_folder") << "\n"
      << "pair window            " << value("c_d") << "\n"
      << "pairs per concept      " << value("rel_per_sec") << "\n"
      << "pairs per sub-concept  " << value("rel_per_subsec") << "\n"
      << "stemming               " << (stemming == "1" ? "on" : "off")
      << " (stemmed_model = " << stemming << ")\n"
      << "stop-word file         " << value("stopword_file") << "\n"
      << "archive file           " << value("db_archive") << "\n"
      << "library folder         " << value("doc_store_subfolder") << "\n"
      << "dictionary words       " << value("dictionary_words") << "\n"
      << "stem entries           " << value("stem_entries") << "\n"
      << "stop words             " << value("stop_words") << "\n"
      << "temporary store        " << (temp_store.empty() ? "(none)" : temp_store) << "\n";
  return out.str();
}

}  // namespace qora
