// The page cleaner's input side and the cleaning itself. Any bytes are
// cleaned without a crash, and:
//  - RepairUtf8 gives well-formed UTF-8 without a byte-order mark, keeps
//    well-formed text without one unchanged, and changes nothing it made;
//  - PageAsUtf8 gives well-formed UTF-8 without NUL bytes;
//  - the declared character set comes lower-cased, and iconv knows every
//    name IconvCharsetFor gives for it, converting the page to well-formed
//    UTF-8;
//  - CleanPage either fails with a reason or gives output;
//  - NormalizeAttributes, of libtidy's output and of the raw bytes, leaves
//    every value in double quotes: rewriting its output again changes
//    nothing (when it holds no "&", whose escapes in addresses a second
//    round would unescape once more).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "tools/attribute_quoting.h"
#include "tools/charset_conversion.h"
#include "tools/charset_detection.h"
#include "tools/page_cleaning.h"
#include "tools/utf8_repair.h"

namespace {

using qora::fuzz::Check;

void CheckRepair(std::string_view bytes) {
  const std::string repaired = qora::tools::RepairUtf8(bytes);
  Check(qora::tools::IsValidUtf8(repaired), "RepairUtf8 gave malformed UTF-8", repaired);
  Check(repaired.find(qora::tools::kUtf8ByteOrderMark) == std::string::npos,
        "RepairUtf8 kept a byte-order mark", repaired);
  Check(qora::tools::RepairUtf8(repaired) == repaired, "RepairUtf8 changed its own output",
        repaired);
  if (qora::tools::IsValidUtf8(bytes) &&
      bytes.find(qora::tools::kUtf8ByteOrderMark) == std::string_view::npos) {
    Check(repaired == bytes, "RepairUtf8 changed well-formed UTF-8", bytes);
  }
}

void CheckCharset(std::string_view page) {
  const std::string declared = qora::tools::DeclaredCharset(page);
  for (char c : declared) Check(!(c >= 'A' && c <= 'Z'), "a declared charset is not lower-cased");
  const std::string iconv_name = qora::tools::IconvCharsetFor(declared);
  if (!iconv_name.empty()) {
    std::string utf8;
    Check(qora::tools::ConvertToUtf8(page, iconv_name, &utf8), "iconv does not know a charset name",
          iconv_name);
    Check(qora::tools::IsValidUtf8(utf8), "a conversion gave malformed UTF-8", iconv_name);
  }
  const std::string as_utf8 = qora::tools::PageAsUtf8(page);
  Check(qora::tools::IsValidUtf8(as_utf8), "PageAsUtf8 gave malformed UTF-8", as_utf8);
  Check(as_utf8.find('\0') == std::string::npos, "PageAsUtf8 kept a NUL byte");
}

void CheckQuoted(std::string_view html) {
  const std::string normalized = qora::tools::NormalizeAttributes(html);
  if (normalized.find('&') != std::string::npos) return;
  Check(qora::tools::NormalizeAttributes(normalized) == normalized,
        "NormalizeAttributes left a value to rewrite", normalized);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page = qora::fuzz::AsText(data, size);
  CheckRepair(page);
  CheckCharset(page);
  CheckQuoted(page);

  std::string cleaned;
  std::string error;
  if (qora::tools::CleanPage(page, &cleaned, &error)) {
    Check(!cleaned.empty(), "CleanPage succeeded without output");
    CheckQuoted(cleaned);
  } else {
    Check(!error.empty(), "CleanPage failed without a reason");
  }
  return 0;
}
