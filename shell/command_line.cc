#include "shell/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <map>

#include "shell/acquisition_requests.h"
#include "shell/data_folder.h"
#include "shell/display_text.h"
#include "shell/engine_session.h"
#include "shell/library_commands.h"
#include "shell/research_flows.h"
#include "shell/status_progress.h"
#include "shell/web_requests.h"

namespace qora {
namespace {

constexpr char kUsage[] =
    "usage: qora [--data DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  init DIR                    make the user data folder DIR from the installed data folder\n"
    "  info                        print the engine environment of the data folder\n"
    "  lib list [--xml]            list the libraries (--xml: every store, as the engine lists "
    "them)\n"
    "  lib new NAME                make a library; prints its identifier\n"
    "  lib merge NEWNAME LIB...    make NEWNAME from the documents of LIBs, then erase them\n"
    "  lib empty LIB               remove every document of LIB\n"
    "  lib erase LIB               remove LIB with all its files\n"
    "  lib process LIB [--full]    index LIB's new documents (all with --full)\n"
    "  lib repair                  rebuild every library from its documents\n"
    "  docs LIB [--start N] [--count N] [--xml]\n"
    "                              list the documents of LIB\n"
    "  docs rm LIB DOCID...        erase documents from LIB\n"
    "  research --lib LIB... (--keywords TEXT | --passage TEXT | --doc LIB:DOCID...)\n"
    "           [--count N] [--expand] [--xml]\n"
    "                              rank the documents of the libraries against the query\n"
    "  summary LIB:DOCID... [--keywords TEXT | --passage TEXT] [--bias PERCENT] [--xml]\n"
    "                              weigh the sentences of documents, biased to the query\n"
    "  map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) [--concepts N] [--phrases N]\n"
    "      [--xml]                 split the query into concepts with key phrases\n"
    "  add LIB FILE...             import HTML and PDF files into LIB and index them\n"
    "  add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]\n"
    "                              import the files of FOLDER (depth 2, 1000 kB, 50 documents\n"
    "                              unless given) into LIB and index them\n"
    "  crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] [--max-docs N]\n"
    "        [--internal-only]     crawl from the start addresses into LIB (depth 2, 1000 kB,\n"
    "                              100 sites, 50 documents unless given) and index them\n"
    "  websearch LIB WORDS... [--engines 1,3] [--results N]\n"
    "                              search the internet and store the hits in LIB\n"
    "  quicksearch WORDS... [--engines 1,3] [--results N]\n"
    "                              list the hits of the search engines\n"
    "\n"
    "LIB is a library's name or identifier. The data folder is DIR of --data,\n"
    "else $QORA_DATA, else $HOME/qoralibs.\n";

struct Invocation {
  std::string data_folder;
  std::string command;
  std::vector<std::string> arguments;
};

std::string DefaultDataFolder() {
  if (const char* data = std::getenv("QORA_DATA"); data != nullptr && *data != '\0') return data;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/qoralibs";
}

// Splits the global options from the command; false on a malformed line.
bool ParseInvocation(const std::vector<std::string>& arguments, Invocation* invocation,
                     std::ostream& err) {
  size_t i = 0;
  for (; i < arguments.size() && arguments[i].rfind("--", 0) == 0; ++i) {
    if (arguments[i] == "--data" && i + 1 < arguments.size()) {
      invocation->data_folder = arguments[++i];
    } else if (arguments[i] == "--help") {
      invocation->command = "help";
      return true;
    } else {
      err << "qora: unknown option " << arguments[i] << "\n";
      return false;
    }
  }
  if (i == arguments.size()) {
    err << kUsage;
    return false;
  }
  if (invocation->data_folder.empty()) invocation->data_folder = DefaultDataFolder();
  invocation->command = arguments[i];
  invocation->arguments.assign(arguments.begin() + static_cast<long>(i) + 1, arguments.end());
  return true;
}

// The arguments of a command: words, "--flag"s and "--option value"s (an
// option may be given several times).
struct CommandArguments {
  std::vector<std::string> words;
  std::map<std::string, std::vector<std::string>> options;
  bool Has(const std::string& name) const { return options.count(name) != 0; }
  // The last value of `name`, or `fallback`.
  std::string Value(const std::string& name, const std::string& fallback = "") const {
    auto found = options.find(name);
    return found == options.end() || found->second.empty() ? fallback : found->second.back();
  }
  std::vector<std::string> Values(const std::string& name) const {
    auto found = options.find(name);
    return found == options.end() ? std::vector<std::string>() : found->second;
  }
};

// Splits `arguments`; options named in `with_value` take the next argument.
bool SplitArguments(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& with_value, CommandArguments* split,
                    std::ostream& err) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.rfind("--", 0) != 0) {
      split->words.push_back(argument);
      continue;
    }
    const bool takes_value =
        std::find(with_value.begin(), with_value.end(), argument) != with_value.end();
    if (takes_value && i + 1 >= arguments.size()) {
      err << "qora: " << argument << " needs a value\n";
      return false;
    }
    std::vector<std::string>& values = split->options[argument];
    if (takes_value) values.push_back(arguments[++i]);
  }
  return true;
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() < 10;
}

// Reports a command's failure message; the exit status.
int Outcome(const std::string& failure, std::ostream& err) {
  if (failure.empty()) return 0;
  err << "qora: " << failure << "\n";
  return 1;
}

// `text` cut to `width` - 2 characters and padded to `width` columns.
std::string Column(const std::string& text, size_t width) {
  std::string cell = FirstCharacters(text, width - 2);
  size_t characters = 0;
  for (unsigned char c : cell) characters += (c & 0xC0) != 0x80;
  return cell + std::string(width - characters, ' ');
}

void PrintLibraries(const std::vector<LibraryInfo>& libraries, std::ostream& out) {
  out << std::left << std::setw(30) << "NAME" << std::setw(24) << "IDENTIFIER" << std::right
      << std::setw(10) << "DOCUMENTS" << std::setw(10) << "SIZE KB"
      << "  DATE\n";
  for (const LibraryInfo& library : libraries) {
    out << std::left << Column(DisplayText(library.name), 30) << std::setw(24) << library.ident
        << std::right << std::setw(10) << library.documents << std::setw(10)
        << (library.bytes + 999) / 1000 << "  " << library.date << "\n";
  }
}

void PrintDocuments(const std::vector<DocumentRecord>& documents, std::ostream& out) {
  out << std::right << std::setw(5) << "#"
      << "  " << std::left << std::setw(10) << "SIZE"
      << "  ID  NAME / ADDRESS\n";
  for (const DocumentRecord& document : documents) {
    out << std::right << std::setw(5) << static_cast<int>(document.rank) << "  " << std::left
        << std::setw(10) << document.size << "  " << document.docid << "  "
        << DisplayText(document.name.empty() ? document.uri : document.name) << "\n";
  }
}

using LibraryCommand = std::function<int(const CommandArguments&, std::ostream&, std::ostream&)>;

int RunLib(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& w = args.words;
  const std::string verb = w.empty() ? "" : w[0];
  if (verb == "list" && w.size() == 1) {
    std::vector<LibraryInfo> libraries;
    std::string text;
    const std::string failure = ListLibraries(&libraries, &text);
    if (args.Has("--xml")) {
      out << text;
    } else {
      PrintLibraries(libraries, out);
    }
    return Outcome(failure, err);
  }
  if (verb == "new" && w.size() == 2) {
    std::string ident;
    const std::string failure = NewLibrary(w[1], &ident);
    if (failure.empty()) out << ident << "\n";
    return Outcome(failure, err);
  }
  if (verb == "merge" && w.size() >= 3) {
    std::string ident;
    const std::string failure =
        MergeLibraries(w[1], std::vector<std::string>(w.begin() + 2, w.end()), &ident);
    if (!ident.empty()) out << ident << "\n";
    return Outcome(failure, err);
  }
  if (verb == "empty" && w.size() == 2) return Outcome(EmptyLibrary(w[1]), err);
  if (verb == "erase" && w.size() == 2) return Outcome(EraseLibrary(w[1]), err);
  if (verb == "process" && w.size() == 2) {
    return Outcome(ProcessLibrary(w[1], args.Has("--full")), err);
  }
  if (verb == "repair" && w.size() == 1) return Outcome(RepairLibraries(), err);
  err << "usage: qora lib list|new|merge|empty|erase|process|repair ...\n";
  return 2;
}

int RunDocs(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& w = args.words;
  if (w.size() >= 3 && w[0] == "rm") {
    return Outcome(EraseDocuments(w[1], std::vector<std::string>(w.begin() + 2, w.end())), err);
  }
  if (w.size() != 1) {
    err << "usage: qora docs LIB [--start N] [--count N] [--xml] | docs rm LIB DOCID...\n";
    return 2;
  }
  const std::string start = args.Value("--start", "0");
  const std::string count = args.Value("--count", "-1");
  if (!IsNumber(start) || !IsNumber(count)) {
    err << "qora: --start and --count take whole numbers\n";
    return 2;
  }
  std::vector<DocumentRecord> documents;
  std::string text;
  const std::string failure = ListLibraryDocuments(w[0], std::atoi(start.c_str()),
                                                   std::atoi(count.c_str()), &documents, &text);
  if (!failure.empty()) return Outcome(failure, err);
  if (args.Has("--xml")) {
    out << text;
  } else {
    PrintDocuments(documents, out);
  }
  return 0;
}

// "LIB:DOCID" split at its last ":"; false when there is none.
bool ParseDocumentName(const std::string& text, DocumentName* name) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  *name = {text.substr(0, colon), text.substr(colon + 1)};
  return true;
}

// The query of --keywords, --passage or --doc; false (with a message) when
// more than one kind is given or a document is malformed.
bool ParseQuerySource(const CommandArguments& args, QuerySource* source, std::ostream& err) {
  int kinds = 0;
  if (args.Has("--keywords")) {
    source->kind = QuerySource::Kind::kKeywords;
    source->text = args.Value("--keywords");
    ++kinds;
  }
  if (args.Has("--passage")) {
    source->kind = QuerySource::Kind::kPassage;
    source->text = args.Value("--passage");
    ++kinds;
  }
  if (args.Has("--doc")) {
    source->kind = QuerySource::Kind::kDocuments;
    for (const std::string& text : args.Values("--doc")) {
      DocumentName name;
      if (!ParseDocumentName(text, &name)) {
        err << "qora: a document is named LIB:DOCID, not \"" << text << "\"\n";
        return false;
      }
      source->documents.push_back(name);
    }
    ++kinds;
  }
  if (kinds > 1) {
    err << "qora: give one of --keywords, --passage and --doc\n";
    return false;
  }
  return true;
}

// The whole number of option `name`, or `fallback`; false when malformed.
bool NumberOption(const CommandArguments& args, const std::string& name, int fallback, int* value,
                  std::ostream& err) {
  const std::string text = args.Value(name, std::to_string(fallback));
  if (!IsNumber(text)) {
    err << "qora: " << name << " takes a whole number\n";
    return false;
  }
  *value = std::atoi(text.c_str());
  return true;
}

void PrintRanking(const std::vector<DocumentRecord>& documents, std::ostream& out) {
  out << std::right << std::setw(10) << "SCORE"
      << "  " << std::left << std::setw(40) << "TITLE" << std::setw(20) << "LIBRARY"
      << "DOCUMENT  ADDRESS\n";
  for (const DocumentRecord& document : documents) {
    out << std::right << std::setw(10) << std::fixed << std::setprecision(1) << document.rank
        << "  " << std::left << Column(DisplayText(document.name), 40)
        << Column(DisplayText(document.parid), 20) << document.docid << "  "
        << DisplayText(document.uri) << "\n";
  }
  out.unsetf(std::ios::floatfield);
}

int RunResearch(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  ResearchRequest request;
  request.libraries = args.Values("--lib");
  request.expand = args.Has("--expand");
  if (!args.words.empty() || !ParseQuerySource(args, &request.query, err) ||
      !NumberOption(args, "--count", kDefaultFetchCount, &request.count, err)) {
    err << "usage: qora research --lib LIB... (--keywords TEXT | --passage TEXT | "
           "--doc LIB:DOCID...) [--count N] [--expand] [--xml]\n";
    return 2;
  }
  std::vector<DocumentRecord> documents;
  std::string text;
  const std::string failure = Research(request, &documents, &text);
  if (!failure.empty()) return Outcome(failure, err);
  if (args.Has("--xml")) {
    out << text;
  } else {
    PrintRanking(documents, out);
  }
  return 0;
}

int RunSummary(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  std::vector<DocumentName> documents;
  for (const std::string& word : args.words) {
    DocumentName name;
    if (!ParseDocumentName(word, &name)) {
      err << "qora: a document is named LIB:DOCID, not \"" << word << "\"\n";
      return 2;
    }
    documents.push_back(name);
  }
  QuerySource source;
  int bias = kDefaultBiasPercent;
  if (documents.empty() || args.Has("--doc") || !ParseQuerySource(args, &source, err) ||
      !NumberOption(args, "--bias", kDefaultBiasPercent, &bias, err)) {
    err << "usage: qora summary LIB:DOCID... [--keywords TEXT | --passage TEXT] "
           "[--bias PERCENT] [--xml]\n";
    return 2;
  }
  SummaryResult result;
  const std::string failure = Summarize(documents, source, bias, &result);
  if (!failure.empty()) return Outcome(failure, err);
  if (args.Has("--xml")) {
    out << result.text;
    return 0;
  }
  if (documents.size() == 1) {
    int strongest = 0;
    for (const WeightedSentence& sentence : result.sentences) {
      strongest = std::max(strongest, sentence.weight);
    }
    for (const WeightedSentence& sentence : result.sentences) {
      out << (strongest > 0 && sentence.weight == strongest ? "* " : "  ") << std::right
          << std::setw(6) << sentence.weight << "  " << DisplayText(sentence.text) << "\n";
    }
    out << "weighted copy: " << result.path << "\n";
  } else {
    for (const DocumentRecord& copy : result.copies) out << "summarized: " << copy.docid << "\n";
    out << "combined summary: " << result.path << "\n";
  }
  return 0;
}

int RunMap(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  MapRequest request;
  request.libraries = args.Values("--lib");
  if (!args.words.empty() || args.Has("--passage") ||
      !ParseQuerySource(args, &request.query, err) ||
      !NumberOption(args, "--concepts", kDefaultMaxConcepts, &request.concepts, err) ||
      !NumberOption(args, "--phrases", kDefaultMaxPhrases, &request.phrases, err)) {
    err << "usage: qora map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) "
           "[--concepts N] [--phrases N] [--xml]\n";
    return 2;
  }
  std::vector<DocumentRecord> concepts;
  std::string text;
  const std::string failure = ConceptMap(request, &concepts, &text);
  if (!failure.empty()) return Outcome(failure, err);
  if (args.Has("--xml")) {
    out << text;
    return 0;
  }
  for (const DocumentRecord& concept_record : concepts) {
    out << "concept " << DisplayText(concept_record.name) << "  weight " << concept_record.ord
        << "\n";
    for (const WeightedTerm& phrase : concept_record.keywords) {
      out << "    " << std::fixed << std::setprecision(1) << std::setw(10) << phrase.weight << "  "
          << DisplayText(phrase.text) << "\n";
    }
    out.unsetf(std::ios::floatfield);
  }
  return 0;
}

int RunAdd(const CommandArguments& args, std::ostream&, std::ostream& err) {
  if (args.words.size() < 2 || !args.options.empty()) {
    err << "usage: qora add LIB FILE...\n";
    return 2;
  }
  std::string failure;
  {
    StatusProgress progress;
    failure = AddFilesToLibrary(args.words[0],
                                std::vector<std::string>(args.words.begin() + 1, args.words.end()));
  }
  return Outcome(failure, err);
}

int RunAddFolder(const CommandArguments& args, std::ostream&, std::ostream& err) {
  int depth = 0, kilobytes = 0, documents = 0;
  if (args.words.size() != 2 ||
      !NumberOption(args, "--depth", kDefaultFolderDepth, &depth, err) ||
      !NumberOption(args, "--max-kb", kDefaultFolderKilobytes, &kilobytes, err) ||
      !NumberOption(args, "--max-docs", kDefaultFolderDocuments, &documents, err)) {
    err << "usage: qora add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]\n";
    return 2;
  }
  std::string failure;
  {
    StatusProgress progress;
    failure = AddFolderToLibrary(args.words[0], args.words[1], depth, kilobytes, documents);
  }
  return Outcome(failure, err);
}

int RunCrawl(const CommandArguments& args, std::ostream&, std::ostream& err) {
  int depth = 0, kilobytes = 0, sites = 0, documents = 0;
  if (args.words.size() < 2 || !NumberOption(args, "--depth", kDefaultCrawlDepth, &depth, err) ||
      !NumberOption(args, "--max-kb", kDefaultCrawlKilobytes, &kilobytes, err) ||
      !NumberOption(args, "--max-sites", kDefaultCrawlSites, &sites, err) ||
      !NumberOption(args, "--max-docs", kDefaultCrawlDocuments, &documents, err)) {
    err << "usage: qora crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] "
           "[--max-docs N] [--internal-only]\n";
    return 2;
  }
  std::string failure;
  {
    StatusProgress progress;
    failure = CrawlIntoLibrary(args.words[0],
                               std::vector<std::string>(args.words.begin() + 1, args.words.end()),
                               depth, kilobytes, sites, documents, args.Has("--internal-only"));
  }
  return Outcome(failure, err);
}

// The words of a search: every word of the command from `first` on.
std::string SearchWords(const CommandArguments& args, size_t first) {
  std::string words;
  for (size_t i = first; i < args.words.size(); ++i) {
    words += (words.empty() ? "" : " ") + args.words[i];
  }
  return words;
}

int RunWebSearch(const CommandArguments& args, std::ostream&, std::ostream& err) {
  int results = 0;
  if (args.words.size() < 2 ||
      !NumberOption(args, "--results", kDefaultSearchResults, &results, err)) {
    err << "usage: qora websearch LIB WORDS... [--engines 1,3] [--results N]\n";
    return 2;
  }
  std::string failure;
  {
    StatusProgress progress;
    failure = SearchIntoLibrary(args.words[0], SearchWords(args, 1), args.Value("--engines", "1"),
                                results);
  }
  return Outcome(failure, err);
}

int RunQuickSearch(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  int results = 0;
  if (args.words.empty() ||
      !NumberOption(args, "--results", kDefaultSearchResults, &results, err)) {
    err << "usage: qora quicksearch WORDS... [--engines 1,3] [--results N]\n";
    return 2;
  }
  std::vector<DocumentRecord> hits;
  std::string failure;
  {
    StatusProgress progress;
    failure = QuickSearchHits(SearchWords(args, 0), args.Value("--engines", "1"), &hits, results);
  }
  if (!failure.empty()) return Outcome(failure, err);
  for (const DocumentRecord& hit : hits) {
    out << DisplayText(hit.name) << "\n    " << DisplayText(hit.uri) << "  (" << hit.fetcher
        << ")\n";
  }
  return 0;
}

int RunInit(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  if (invocation.arguments.size() != 1) {
    err << "usage: qora init DIR\n";
    return 2;
  }
  const std::string& target = invocation.arguments[0];
  const std::string installed = FindInstalledDataFolder();
  if (installed.empty()) {
    err << "qora: the installed data folder cannot be found (set QORA_INSTALLED_DATA)\n";
    return 1;
  }
  const std::string failure = InitDataFolder(installed, target);
  if (!failure.empty()) {
    err << "qora: cannot make the data folder: " << failure << "\n";
    return 1;
  }
  out << "made the data folder " << WithTrailingSeparator(target) << "\n";
  return 0;
}

// Runs `command` on a started engine; every run ends with EngineFinish.
int WithEngine(const Invocation& invocation, const LibraryCommand& command,
               const std::vector<std::string>& with_value, std::ostream& out, std::ostream& err) {
  CommandArguments args;
  if (!SplitArguments(invocation.arguments, with_value, &args, err)) return 2;
  EngineSession session;
  if (session.Start(invocation.data_folder) != 0) {
    err << "qora: the engine could not start on \"" << invocation.data_folder << "\"\n";
    return 1;
  }
  const int status = command(args, out, err);
  session.Finish();
  return status;
}

int RunInfo(const CommandArguments& args, std::ostream& out, std::ostream& err) {
  if (!args.words.empty() || !args.options.empty()) {
    err << "usage: qora [--data DIR] info\n";
    return 2;
  }
  out << FormatEnvironment(ReadEngineEnvironment());
  return 0;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  Invocation invocation;
  if (!ParseInvocation(arguments, &invocation, err)) return 2;
  if (invocation.command == "help") {
    out << kUsage;
    return 0;
  }
  if (invocation.command == "init") return RunInit(invocation, out, err);
  if (invocation.command == "info") return WithEngine(invocation, RunInfo, {}, out, err);
  if (invocation.command == "lib") return WithEngine(invocation, RunLib, {}, out, err);
  if (invocation.command == "docs") {
    return WithEngine(invocation, RunDocs, {"--start", "--count"}, out, err);
  }
  const std::vector<std::string> query_options = {"--lib", "--keywords", "--passage", "--doc"};
  if (invocation.command == "research") {
    std::vector<std::string> with_value = query_options;
    with_value.push_back("--count");
    return WithEngine(invocation, RunResearch, with_value, out, err);
  }
  if (invocation.command == "summary") {
    std::vector<std::string> with_value = query_options;
    with_value.push_back("--bias");
    return WithEngine(invocation, RunSummary, with_value, out, err);
  }
  if (invocation.command == "map") {
    std::vector<std::string> with_value = query_options;
    with_value.insert(with_value.end(), {"--concepts", "--phrases"});
    return WithEngine(invocation, RunMap, with_value, out, err);
  }
  if (invocation.command == "add") return WithEngine(invocation, RunAdd, {}, out, err);
  if (invocation.command == "add-folder") {
    return WithEngine(invocation, RunAddFolder, {"--depth", "--max-kb", "--max-docs"}, out, err);
  }
  if (invocation.command == "crawl") {
    return WithEngine(invocation, RunCrawl, {"--depth", "--max-kb", "--max-sites", "--max-docs"},
                      out, err);
  }
  if (invocation.command == "websearch") {
    return WithEngine(invocation, RunWebSearch, {"--engines", "--results"}, out, err);
  }
  if (invocation.command == "quicksearch") {
    return WithEngine(invocation, RunQuickSearch, {"--engines", "--results"}, out, err);
  }
  err << "qora: unknown command \"" << invocation.command << "\"\n" << kUsage;
  return 2;
}

}  // namespace qora
