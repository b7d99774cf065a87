// Helpers shared by the files that define the C entry points.
#ifndef QORA_ENGINE_API_SUPPORT_H_
#define QORA_ENGINE_API_SUPPORT_H_

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "engine/engine.h"

namespace qora {

// Makes the engine unless it exists; destroys it with everything it holds.
void CreateEngine();
void DestroyEngine();

// Writes `value` to `result` unless the caller passed no result pointer.
void SetResult(int* result, int value);

// Stores a malloc'ed copy of `text` in `*out` (unless `out` is null), for the
// caller to free with EngineFreeString.
void HandOut(std::string_view text, char** out);

// The current engine; when there is none, writes -1 to `result`, nulls the
// given out strings and returns nullptr.
Engine* EngineOr(int* result, char** out = nullptr, char** out2 = nullptr);

// `text` as a string; a null pointer reads as the empty string.
std::string Text(const char* text);

// The result an entry point gives when an exception ends it: -1 for those
// whose result is a new handle, 1 for the others.
inline constexpr int kFailedHandle = -1;
inline constexpr int kFailed = 1;

// Ends an entry point that an exception with the message `what` stopped:
// writes `failure` to `result`, replaces each out string with an empty copy
// (freeing what was handed out before) and, when the engine exists, sets
// its status text to "Internal error: " + `what`. Never throws.
void FailInternally(int* result, int failure, std::initializer_list<char**> outs,
                    const char* what) noexcept;

// Runs `body`, the work of one C entry point, so that no exception crosses
// the C boundary: one that escapes `body` becomes FailInternally(result,
// failure, outs, its message). The out strings are nulled first, so a copy
// handed out before the exception is freed, not leaked.
template <typename Body>
void Guarded(int* result, int failure, std::initializer_list<char**> outs, Body&& body) noexcept {
  for (char** out : outs) {
    if (out != nullptr) *out = nullptr;
  }
  try {
    body();
  } catch (const std::exception& error) {
    FailInternally(result, failure, outs, error.what());
  } catch (...) {
    FailInternally(result, failure, outs, "an exception of unknown type");
  }
}

// Guarded for an entry point that hands out no string.
template <typename Body>
void Guarded(int* result, int failure, Body&& body) noexcept {
  Guarded(result, failure, {}, std::forward<Body>(body));
}

}  // namespace qora

#endif  // QORA_ENGINE_API_SUPPORT_H_
