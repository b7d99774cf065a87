#include "tools/page_cleaning.h"

#include <tidy.h>
#include <tidybuffio.h>

#include <string>

#include "tools/attribute_quoting.h"
#include "tools/charset_conversion.h"

namespace qora::tools {

namespace {

// Owns one libtidy document and the buffers used with it.
class TidyRun {
 public:
  TidyRun() : doc_(tidyCreate()) {
    tidyBufInit(&input_);
    tidyBufInit(&output_);
    tidyBufInit(&diagnostics_);
  }
  ~TidyRun() {
    tidyBufDetach(&input_);
    tidyBufFree(&output_);
    tidyBufFree(&diagnostics_);
    tidyRelease(doc_);
  }
  TidyRun(const TidyRun&) = delete;
  TidyRun& operator=(const TidyRun&) = delete;

  // Sets the options of the cleaner; false when libtidy refuses one.
  bool Configure() {
    bool ok = tidySetErrorBuffer(doc_, &diagnostics_) == 0;
    ok = ok && tidyOptSetBool(doc_, TidyForceOutput, yes);
    ok = ok && tidyOptSetBool(doc_, TidyXhtmlOut, no);
    ok = ok && tidyOptSetBool(doc_, TidyHtmlOut, yes);
    ok = ok && tidyOptSetInt(doc_, TidyWrapLen, 0);
    ok = ok && tidyOptSetBool(doc_, TidyMark, no);
    ok = ok && tidyOptSetBool(doc_, TidyNumEntities, yes);
    ok = ok && tidyOptSetBool(doc_, TidyQuoteNbsp, no);
    // A bare "&" stays bare. The engine decodes no entities and ends a
    // sentence at ";": "&amp;" would break addresses ("?a=1&amp;b=2") and
    // split sentences. (NormalizeAttributes also unescapes the ampersands
    // that the page itself escaped in its addresses.)
    ok = ok && tidyOptSetBool(doc_, TidyQuoteAmpersand, no);
    // Keep everything that carries text or links, even when it looks empty.
    ok = ok && tidyOptSetBool(doc_, TidyDropEmptyElems, no);
    ok = ok && tidyOptSetBool(doc_, TidyDropEmptyParas, no);
    ok = ok && tidyOptSetBool(doc_, TidyQuiet, yes);
    ok = ok && tidyOptSetBool(doc_, TidyShowWarnings, no);
    ok = ok && tidyOptSetBool(doc_, TidyShowInfo, no);
    // Nothing reads the diagnostics: formatting them is wasted work.
    ok = ok && tidyOptSetInt(doc_, TidyShowErrors, 0);
    ok = ok && tidySetInCharEncoding(doc_, "utf8") == 0;
    ok = ok && tidySetOutCharEncoding(doc_, kOutputEncoding) == 0;
    return ok;
  }

  // Parses, repairs and serializes `bytes`; returns libtidy's status of the
  // serialization (negative on a severe error).
  // `bytes` must stay alive and unchanged until the TidyRun is destroyed:
  // libtidy reads it where it is.
  int Run(std::string_view bytes) {
    if (!bytes.empty()) {
      tidyBufAttach(&input_, reinterpret_cast<byte*>(const_cast<char*>(bytes.data())),
                    static_cast<uint>(bytes.size()));
    }
    int status = tidyParseBuffer(doc_, &input_);
    if (status >= 0) status = tidyCleanAndRepair(doc_);
    if (status >= 0) status = tidySaveBuffer(doc_, &output_);
    return status;
  }

  // The serialized page; valid until the TidyRun is destroyed.
  std::string_view Output() const {
    if (output_.bp == nullptr) return {};
    return std::string_view(reinterpret_cast<const char*>(output_.bp), output_.size);
  }

 private:
  TidyDoc doc_;
  TidyBuffer input_;
  TidyBuffer output_;
  TidyBuffer diagnostics_;
};

}  // namespace

bool CleanPage(std::string_view page, std::string* cleaned, std::string* error) {
  if (page.size() > kMaxPageBytes) {
    *error = "the page has " + std::to_string(page.size()) + " bytes, more than the " +
             std::to_string(kMaxPageBytes) + " the cleaner accepts";
    return false;
  }
  const std::string utf8 = PageAsUtf8(page);
  TidyRun tidy;
  if (!tidy.Configure()) {
    *error = "libtidy refused the cleaner's options";
    return false;
  }
  const int status = tidy.Run(utf8);
  const std::string_view output = tidy.Output();
  if (output.empty()) {
    *error = "libtidy produced no output (status " + std::to_string(status) + ")";
    return false;
  }
  *cleaned = NormalizeAttributes(output);
  return true;
}

}  // namespace qora::tools
