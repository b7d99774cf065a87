#include "shell/research_flows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "qora/engine.h"
#include "shell/engine_string.h"
#include "shell/library_commands.h"
#include "util/markup_scanner.h"
#include "util/result_text_reader.h"

namespace qora {
namespace {

constexpr char kWorkspaceFile[] = "wkspc.ini";
constexpr int kMaxAnalyzedDocuments = 5;

std::string Formatted(const char* format, int value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The handle of a fresh workspace in `workspace`.
std::string OpenWorkspace(int* workspace) {
  EngineOpenWorkspace(kWorkspaceFile, workspace);
  return *workspace < 0 ? "The workspace file wkspc.ini cannot be read." : "";
}

// Selects the libraries into the workspace with their statistics and
// prepares the candidates, as the research dialog does when the library
// selection changed.
std::string SelectLibraries(int workspace, const std::vector<std::string>& libraries) {
  if (libraries.empty()) return "Please check mark the libraries first";
  if (static_cast<int>(libraries.size()) > kMaxSelectedLibraries) {
    return Formatted(
        "Cannot select more than %d libraries at a time. Please uncheck some "
        "libraries.",
        kMaxSelectedLibraries);
  }
  std::vector<int> handles;
  for (const std::string& library : libraries) {
    int handle = -1;
    std::string failure = OpenLibrary(library, &handle);
    if (!failure.empty()) return failure;
    handles.push_back(handle);
  }
  int result = -1;
  for (int handle : handles) {
    EngineLoadStoreStatistics(handle, &result);
    EngineAddStoreToWorkspace(handle, workspace, &result);
  }
  EnginePrepareRanking(workspace, &result);
  for (int handle : handles) EngineReleaseStoreStatistics(handle, &result);
  return "";
}

// The document list string of `documents`, opening their libraries.
std::string DocumentList(const std::vector<DocumentName>& documents, std::string* list) {
  list->clear();
  for (const DocumentName& document : documents) {
    int handle = -1;
    std::string failure = OpenLibrary(document.library, &handle);
    if (!failure.empty()) return failure;
    *list += std::to_string(handle) + "," + document.id + ";";
  }
  return "";
}

// A new prepared query of `source` in `workspace`; sets `query` to -1 when
// the source is empty.
std::string MakeQuery(int workspace, const QuerySource& source, bool expand, int* query) {
  *query = -1;
  if (source.kind == QuerySource::Kind::kNone) return "";
  std::string documents;
  if (source.kind == QuerySource::Kind::kDocuments) {
    std::string failure = DocumentList(source.documents, &documents);
    if (!failure.empty()) return failure;
    if (documents.empty()) return "Nothing to research: the document list is empty.";
  } else if (source.text.find_first_not_of(" \t") == std::string::npos) {
    return "Nothing to research: the text is empty.";
  }
  EngineNewQuery(workspace, query);
  int result = -1;
  switch (source.kind) {
    case QuerySource::Kind::kKeywords:
      EngineSetQueryKeywords(*query, source.text.c_str(), workspace, &result);
      break;
    case QuerySource::Kind::kPassage:
      EngineSetQueryPassage(*query, source.text.c_str(), workspace, &result);
      break;
    case QuerySource::Kind::kDocuments:
      EngineSetQueryDocuments(*query, documents.c_str(), workspace, &result);
      break;
    case QuerySource::Kind::kNone:
      break;
  }
  EnginePrepareQuery(*query, workspace, &result);
  if (expand) EngineExpandQuery(*query, workspace, &result);
  return "";
}

// The records and text of the result list `list`.
void ReadResultList(int list, int workspace, std::vector<DocumentRecord>* records,
                    std::string* text) {
  char* written = nullptr;
  int result = -1;
  EngineWriteResultList(&written, list, workspace, &result);
  *text = TakeEngineString(written);
  records->clear();
  ReadResultText(*text, records);
}

std::string StripFileScheme(const std::string& path) {
  const size_t at = path.find("file://");
  return at == std::string::npos ? path : path.substr(at + 7);
}

// Collects the "s" leaves of a DML body with their "w" attribute.
class SentenceCollector : public MarkupHandler {
 public:
  explicit SentenceCollector(std::vector<WeightedSentence>* sentences) : sentences_(sentences) {}
  void StartElement(std::string_view, std::string_view) override {}
  void EndElement(std::string_view) override {}
  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    if (name != "s") return;
    std::vector<std::string> names, values;
    ParseAttributes(attributes, &names, &values);
    WeightedSentence sentence;
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == "w") sentence.weight = std::atoi(values[i].c_str());
    }
    sentence.text = std::string(TrimWhiteSpace(content));
    sentences_->push_back(std::move(sentence));
  }
  bool Stop() override { return false; }

 private:
  std::vector<WeightedSentence>* sentences_;
};

}  // namespace

std::string Research(const ResearchRequest& request, std::vector<DocumentRecord>* documents,
                     std::string* text) {
  int workspace = -1;
  std::string failure = OpenWorkspace(&workspace);
  if (failure.empty()) failure = SelectLibraries(workspace, request.libraries);
  int query = -1;
  if (failure.empty()) failure = MakeQuery(workspace, request.query, request.expand, &query);
  if (failure.empty() && query < 0)
    failure = "Nothing to research: give keywords, a passage or documents.";
  if (failure.empty()) {
    int list = -1;
    EngineRankDocuments(query, request.count, workspace, &list);
    ReadResultList(list, workspace, documents, text);
  }
  int result = -1;
  if (workspace >= 0) EngineDeleteHandle(workspace, &result);
  return failure;
}

std::string Summarize(const std::vector<DocumentName>& documents, const QuerySource& source,
                      int bias_percent, SummaryResult* result) {
  if (documents.empty()) return "Please select the documents first.";
  if (documents.size() > kMaxAnalyzedDocuments) {
    return Formatted(
        "Cannot analyze more than %d documents at a time. Please uncheck some "
        "documents.",
        kMaxAnalyzedDocuments);
  }
  std::string list;
  std::string failure = DocumentList(documents, &list);
  if (!failure.empty()) return failure;
  int workspace = -1;
  failure = OpenWorkspace(&workspace);
  if (!failure.empty()) return failure;
  // Keyword queries are drawn from the statistics of the documents' libraries.
  std::vector<std::string> libraries;
  for (const DocumentName& document : documents) {
    if (std::find(libraries.begin(), libraries.end(), document.library) == libraries.end()) {
      libraries.push_back(document.library);
    }
  }
  failure = SelectLibraries(workspace, libraries);
  int query = -1;
  if (failure.empty()) failure = MakeQuery(workspace, source, false, &query);
  if (failure.empty()) {
    int summaries = -1;
    EngineSummarize(query, list.c_str(), workspace, static_cast<float>(bias_percent), &summaries);
    ReadResultList(summaries, workspace, &result->copies, &result->text);
    if (documents.size() == 1 && result->copies.size() == 1) {
      result->path = StripFileScheme(result->copies[0].bcuri);
      result->sentences = ReadWeightedSentences(result->path);
    } else if (documents.size() > 1) {
      char* path = nullptr;
      int written = -1;
      EngineWriteMap("csummary.dml", &path, summaries, workspace, &written);
      result->path = StripFileScheme(TakeEngineString(path));
      if (written != 0) failure = "The combined summary could not be written.";
    }
    if (result->copies.empty()) failure = "None of the documents could be summarized.";
  }
  int deleted = -1;
  EngineDeleteHandle(workspace, &deleted);
  return failure;
}

std::string ConceptMap(const MapRequest& request, std::vector<DocumentRecord>* concepts,
                       std::string* text) {
  int workspace = -1;
  std::string failure = OpenWorkspace(&workspace);
  if (failure.empty()) failure = SelectLibraries(workspace, request.libraries);
  int query = -1;
  if (failure.empty()) failure = MakeQuery(workspace, request.query, false, &query);
  if (failure.empty() && query < 0) failure = "Nothing to map: give keywords or documents.";
  if (failure.empty()) {
    const std::string parameters = "&wkspc_h=" + std::to_string(workspace) +
                                   "&qry_h=" + std::to_string(query) +
                                   "&number1=" + std::to_string(request.concepts) +
                                   "&number2=" + std::to_string(request.phrases);
    int list = -1;
    EngineConceptMap(parameters.c_str(), &list);
    if (list < 0) {
      failure = "No concept map can be made of this query: it holds no related terms.";
    } else {
      ReadResultList(list, workspace, concepts, text);
    }
  }
  int result = -1;
  if (workspace >= 0) EngineDeleteHandle(workspace, &result);
  return failure;
}

std::vector<WeightedSentence> ReadWeightedSentences(const std::string& dml_path) {
  std::vector<WeightedSentence> sentences;
  SentenceCollector collector(&sentences);
  ScanMarkupFile(dml_path, &collector, /*skip_header=*/true);
  return sentences;
}

}  // namespace qora
