// The engine's status text, for the tests that follow an operation through
// the entry points.
#ifndef QORA_TESTS_ENGINE_STATUS_H_
#define QORA_TESTS_ENGINE_STATUS_H_

#include <string>

#include "qora/engine.h"

namespace qora::test {

// The engine's status text now; "" when there is none or no engine.
inline std::string EngineStatusText() {
  char* text = nullptr;
  int result = -2;
  EngineGetStatus(&text, &result);
  std::string status = text == nullptr ? "" : text;
  EngineFreeString(text);
  return status;
}

}  // namespace qora::test

#endif  // QORA_TESTS_ENGINE_STATUS_H_
