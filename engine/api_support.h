// Helpers shared by the files that define the C entry points.
#ifndef QORA_ENGINE_API_SUPPORT_H_
#define QORA_ENGINE_API_SUPPORT_H_

#include <string>
#include <string_view>

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

}  // namespace qora

#endif  // QORA_ENGINE_API_SUPPORT_H_
