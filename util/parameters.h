// The splitter of "key=value&key=value" parameter strings, shared by the
// engine's request parameters and the crawl parameters.
#ifndef QORA_UTIL_PARAMETERS_H_
#define QORA_UTIL_PARAMETERS_H_

#include <string_view>
#include <utility>
#include <vector>

namespace qora {

// The "key=value" segments of `text` between "&" separators, in order, as
// views into `text`. A key runs to the segment's first "=", its value from
// there to the next "&" (so a value may hold "="). A segment without "=" is
// skipped; nothing is unescaped and repeated keys are all returned.
std::vector<std::pair<std::string_view, std::string_view>> SplitParameters(std::string_view text);

}  // namespace qora

#endif  // QORA_UTIL_PARAMETERS_H_
