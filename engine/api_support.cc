#include "engine/api_support.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace qora {
namespace {

std::unique_ptr<Engine>& EngineSlot() {
  static std::unique_ptr<Engine> engine;
  return engine;
}

}  // namespace

Engine* CurrentEngine() { return EngineSlot().get(); }

void CreateEngine() {
  if (!EngineSlot()) EngineSlot() = std::make_unique<Engine>();
}

void DestroyEngine() { EngineSlot().reset(); }

void SetResult(int* result, int value) {
  if (result != nullptr) *result = value;
}

void HandOut(std::string_view text, char** out) {
  if (out == nullptr) return;
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) {
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
  }
  *out = copy;
}

Engine* EngineOr(int* result, char** out, char** out2) {
  Engine* engine = CurrentEngine();
  if (engine == nullptr) {
    SetResult(result, -1);
    if (out != nullptr) *out = nullptr;
    if (out2 != nullptr) *out2 = nullptr;
  }
  return engine;
}

std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

}  // namespace qora
