#include "acquire/crawl_addresses.h"

#include <exception>

#include "acquire/url_resolution.h"
#include "util/ascii.h"

namespace qora {

namespace {

constexpr char kSeparators[] = " \n\t";

bool HasScheme(const std::string& lowered) {
  for (const char* scheme :
       {"http://", "file://", "https://", "ftp://", "about:", "javascript:", "res:"}) {
    if (lowered.find(scheme) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> StartAddresses(std::string_view start_text) {
  std::vector<std::string> addresses;
  size_t start = start_text.find_first_not_of(kSeparators);
  while (start != std::string_view::npos) {
    size_t end = start_text.find_first_of(kSeparators, start);
    if (end == std::string_view::npos) end = start_text.size();
    std::string text(start_text.substr(start, end - start));
    start = start_text.find_first_not_of(kSeparators, end);
    if (!HasScheme(AsciiLower(text))) text = "http://" + text;
    UrlParts parts;
    try {
      ResolveLink(text, text, &parts, nullptr);
    } catch (const std::exception&) {
      continue;  // an address resolution cannot handle is left out
    }
    std::string address = parts.full;
    if (!address.empty() && address.back() == '/') address.pop_back();
    addresses.push_back(std::move(address));
  }
  return addresses;
}

bool HoldsNoAddress(std::string_view start_text) {
  return start_text.find_first_not_of(kSeparators) == std::string_view::npos;
}

std::string AddressExtension(const std::string& lowered) {
  const size_t dot = lowered.rfind('.');
  return dot == std::string::npos ? std::string() : lowered.substr(dot, 4);
}

std::string WithBareAmpersands(const std::string& address) {
  constexpr std::string_view kEscaped = "&amp;";
  std::string bare;
  bare.reserve(address.size());
  for (size_t at = 0; at < address.size();) {
    if (address.compare(at, kEscaped.size(), kEscaped) == 0) {
      bare += '&';
      at += kEscaped.size();
    } else {
      bare += address[at++];
    }
  }
  return bare;
}

}  // namespace qora
