// The PDF converter that the engine starts from its data folder as
// "hlp22.exe":
//
//   hlp22.exe PDF-PATH -htmlmeta -q
//
// PDF-PATH is a plain path, one argument, taken as it comes (blanks, "*",
// backslashes, quotes and non-ASCII bytes are part of the name; the first
// argument, the program's own path, is not examined). The program writes,
// beside PDF-PATH, the HTML file of the same name with the extension
// ".html" instead of ".pdf", holding the
// document's title in its head and its text in the body. The work is done by
// poppler's pdftotext, started as a child process without a shell:
//
//   pdftotext -htmlmeta -q -enc Latin1 PDF-PATH SCRATCH
//
// and its output is then finished for the engine's page processing, which
// finds the head only after a literal "<html>" and strips tags from the
// text (see FinishConverterOutput).
//
// Exit status: 0 when the HTML file was written; 1 when the PDF cannot be
// read or converted (missing, corrupt, protected against copying), pdftotext
// is missing, crashed or ran past the time limit, or the output cannot be
// written; 2 on a missing argument. Whenever the status is not 0 a message
// is on standard error and no HTML file (and no partial one) is left.
//
// Trailing options are accepted as the engine passes them and not examined:
// the converter always works as "-htmlmeta -q" asks.
#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tool_support.h"

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Wall-clock limit of one pdftotext run, unless QORA_TOOL_TIME_LIMIT_MS says
// otherwise. Long documents take seconds; a stuck run must not hold up the
// engine's worker for ever.
constexpr int kDefaultTimeLimitMs = 120 * 1000;

void ReportFailure(const std::string& message) {
  std::fprintf(stderr, "hlp22.exe: %s\n", message.c_str());
}

// A path that pdftotext cannot mistake for an option.
std::string AsOperand(const std::string& path) {
  return (!path.empty() && path[0] == '-') ? "./" + path : path;
}

// What pdftotext's documented exit statuses mean.
std::string PdftotextStatusText(int status) {
  switch (status) {
    case 1:
      return "the PDF cannot be opened or is damaged";
    case 2:
      return "the output file cannot be opened";
    case 3:
      return "the PDF does not permit copying its text";
    default:
      return "pdftotext failed";
  }
}

// `text` with every "<" written as "&lt;".
std::string EscapeLessThan(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '<') {
      escaped += "&lt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// Turns pdftotext's HTML into what the engine reads. The document is started
// by a plain "<html>" tag (pdftotext writes a doctype and an <html> tag with
// an xmlns attribute, and the engine looks for the literal "<html>" before
// it reads the head). pdftotext escapes the title but copies the text into
// its <pre> element as it is, so a "<" in the text would start a "tag" that
// the engine's tag stripping removes together with the text up to the next
// ">"; each "<" between "<pre>" and the last "</pre>" becomes "&lt;". Other
// characters stay as they are: the engine escapes the stripped text itself.
// Returns false and sets `*error` when the output holds no <html> tag.
bool FinishConverterOutput(std::string_view raw, std::string* finished, std::string* error) {
  size_t html = raw.find("<html");
  while (html != std::string_view::npos && html + 5 < raw.size() && raw[html + 5] != '>' &&
         raw[html + 5] != ' ' && raw[html + 5] != '\n') {
    html = raw.find("<html", html + 5);
  }
  const size_t tag_end = html == std::string_view::npos ? html : raw.find('>', html);
  if (tag_end == std::string_view::npos) {
    *error = "pdftotext wrote no <html> element";
    return false;
  }
  const std::string_view document = raw.substr(tag_end + 1);
  const size_t head_end = document.find("</head>");
  const size_t pre = document.find("<pre>", head_end == std::string_view::npos ? 0 : head_end);
  const size_t pre_end = document.rfind("</pre>");
  *finished = "<html>";
  if (pre == std::string_view::npos || pre_end == std::string_view::npos || pre_end < pre + 5) {
    finished->append(document);
    return true;
  }
  finished->append(document.substr(0, pre + 5));
  finished->append(EscapeLessThan(document.substr(pre + 5, pre_end - (pre + 5))));
  finished->append(document.substr(pre_end));
  return true;
}

// Converts `pdf` into `html`, using `scratch` for pdftotext's output.
// Returns the exit status; on failure nothing is left at `html` or
// `scratch`.
int ConvertPdf(const std::string& pdf, const std::string& html, const std::string& scratch) {
  std::FILE* probe = std::fopen(pdf.c_str(), "rb");
  if (probe == nullptr) {
    ReportFailure("cannot open \"" + pdf + "\": " + std::strerror(errno));
    return kExitFailed;
  }
  std::fclose(probe);

  const std::vector<std::string> command = {
      "pdftotext", "-htmlmeta", "-q", "-enc", "Latin1", AsOperand(pdf), AsOperand(scratch)};
  const qora::tools::ChildResult run =
      qora::tools::RunProgram(command, qora::tools::TimeLimitMilliseconds(kDefaultTimeLimitMs));
  if (!run.Succeeded()) {
    std::remove(scratch.c_str());
    const std::string reason =
        run.outcome == qora::tools::ChildResult::Outcome::kExited
            ? PdftotextStatusText(run.exit_code) + " (pdftotext " + run.Describe() + ")"
            : "pdftotext " + run.Describe();
    ReportFailure("cannot convert \"" + pdf + "\": " + reason);
    return kExitFailed;
  }

  std::string raw;
  std::string finished;
  std::string error;
  if (!qora::tools::ReadWholeFile(scratch, &raw, &error) ||
      !FinishConverterOutput(raw, &finished, &error) ||
      !qora::tools::WriteFileInOneStep(html, scratch, finished, &error)) {
    std::remove(scratch.c_str());
    ReportFailure("cannot convert \"" + pdf + "\": " + error);
    return kExitFailed;
  }
  return kExitConverted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    ReportFailure("usage: hlp22.exe PDF-PATH [-htmlmeta] [-q]");
    return kExitUsage;
  }
  const std::string pdf = argv[1];
  const std::string html = qora::tools::HtmlPathBeside(pdf);
  if (pdf.empty() || html == pdf) {
    ReportFailure("\"" + pdf + "\" is not a path the HTML output can be written beside");
    return kExitFailed;
  }
  const std::string scratch = html + ".part" + std::to_string(getpid());
  return ConvertPdf(pdf, html, scratch);
}
