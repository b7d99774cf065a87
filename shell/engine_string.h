// Strings the engine hands out: each is a copy the caller must free.
#ifndef QORA_SHELL_ENGINE_STRING_H_
#define QORA_SHELL_ENGINE_STRING_H_

#include <string>

#include "qora/engine.h"

namespace qora {

// The text of a string the engine handed out ("" for nullptr), which is
// freed with EngineFreeString.
inline std::string TakeEngineString(char* text) {
  std::string copy = text == nullptr ? std::string() : std::string(text);
  EngineFreeString(text);
  return copy;
}

}  // namespace qora

#endif  // QORA_SHELL_ENGINE_STRING_H_
