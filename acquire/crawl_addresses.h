// The crawl's handling of address text: reading the start addresses a user
// typed, and the forms of an address the filters and the fetcher use.
#ifndef QORA_ACQUIRE_CRAWL_ADDRESSES_H_
#define QORA_ACQUIRE_CRAWL_ADDRESSES_H_

#include <string>
#include <string_view>
#include <vector>

namespace qora {

// The addresses of `start_text`, in order: pieces separated by blanks, tabs
// and line feeds, "http://" put in front of those without a scheme, resolved
// into their full form, one trailing "/" removed. A piece that cannot be
// resolved is left out. Empty when the text holds no piece.
std::vector<std::string> StartAddresses(std::string_view start_text);

// True when `start_text` holds no piece at all (only blanks, tabs and line
// feeds, or nothing).
bool HoldsNoAddress(std::string_view start_text);

// At most four characters from the last "." of the lower-cased address
// `lowered` (".html" gives ".htm"); "" when it has no ".".
std::string AddressExtension(const std::string& lowered);

// `address` with every "&amp;" turned into "&", as it is fetched.
std::string WithBareAmpersands(const std::string& address);

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWL_ADDRESSES_H_
