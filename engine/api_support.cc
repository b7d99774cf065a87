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

void FailInternally(int* result, int failure, std::initializer_list<char**> outs,
                    const char* what) noexcept {
  SetResult(result, failure);
  for (char** out : outs) {
    if (out == nullptr) continue;
    std::free(*out);
    HandOut("", out);
  }
  Engine* engine = CurrentEngine();
  if (engine == nullptr) return;
  try {
    engine->environment().EnvironmentSetStatus(std::string("Internal error: ") + what);
  } catch (...) {
    // Memory ran out even for the message: the result already tells the
    // caller that the call failed, and nothing may leave an entry point.
  }
}

std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

}  // namespace qora
