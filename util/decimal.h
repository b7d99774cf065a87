// The decimal conversion used for every number read from configuration files
// and request parameters.
#ifndef QORA_UTIL_DECIMAL_H_
#define QORA_UTIL_DECIMAL_H_

#include <string_view>

namespace qora {

// Converts like atoi: leading white space and one sign allowed, conversion
// stops at the first non-digit, no digits give 0. Unlike atoi, values beyond
// the int range saturate instead of being undefined.
int ParseDecimal(std::string_view text);

}  // namespace qora

#endif  // QORA_UTIL_DECIMAL_H_
