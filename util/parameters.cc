#include "util/parameters.h"

namespace qora {

std::vector<std::pair<std::string_view, std::string_view>> SplitParameters(std::string_view text) {
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  size_t position = 0;
  while (position <= text.size()) {
    size_t ampersand = text.find('&', position);
    if (ampersand == std::string_view::npos) ampersand = text.size();
    const std::string_view segment = text.substr(position, ampersand - position);
    const size_t equals = segment.find('=');
    if (equals != std::string_view::npos) {
      pairs.emplace_back(segment.substr(0, equals), segment.substr(equals + 1));
    }
    position = ampersand + 1;
  }
  return pairs;
}

}  // namespace qora
