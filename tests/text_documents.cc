#include "tests/text_documents.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "analysis/porter_stemmer.h"
#include "store/dml_writer.h"
#include "store/document_id.h"
#include "tests/test_util.h"

namespace qora::test {
namespace {

// Splits a paragraph into its sentences.
std::vector<std::string> Sentences(const std::string& paragraph) {
  std::vector<std::string> sentences;
  std::string current;
  for (size_t i = 0; i < paragraph.size(); ++i) {
    current += paragraph[i];
    const char c = paragraph[i];
    const bool ends = (c == '.' || c == '?' || c == '!') &&
                      (i + 1 == paragraph.size() || paragraph[i + 1] == ' ');
    if (ends) {
      sentences.push_back(current);
      current.clear();
      while (i + 1 < paragraph.size() && paragraph[i + 1] == ' ') ++i;
    }
  }
  if (current.find_first_not_of(' ') != std::string::npos) sentences.push_back(current);
  return sentences;
}

}  // namespace

std::string DocumentIdOf(const std::string& address) { return MakeDocumentId(address); }

std::string DmlOf(const DocumentRecord& record, const std::string& paragraphs) {
  return WriteDocument(WriteStat(record) + "\n" + paragraphs);
}

std::string StemOf(std::string_view word) {
  std::string stemmed(word);  // the stemmer works in place
  stemmed.resize(PorterStem(stemmed.data(), stemmed.size()));
  return stemmed;
}

std::string TextToDml(const std::string& address, const std::string& text) {
  std::istringstream lines(text);
  std::string title;
  std::getline(lines, title);
  DocumentRecord record;
  record.docid = MakeDocumentId(address);
  record.uri = address;
  record.name = title;
  record.size = std::to_string(text.size());
  std::string body = WriteStat(record) + "\n<title>" + title + "</title>\n";
  std::string paragraph, line;
  auto flush = [&body, &paragraph] {
    if (paragraph.empty()) return;
    body += "<p>\n";
    for (const std::string& sentence : Sentences(paragraph)) body += "<s>" + sentence + "</s>\n";
    body += "</p>\n";
    paragraph.clear();
  };
  while (std::getline(lines, line)) {
    if (line.empty()) {
      flush();
    } else {
      paragraph += (paragraph.empty() ? "" : " ") + line;
    }
  }
  flush();
  return WriteDocument(body);
}

std::vector<std::string> AddTextDocuments(const std::string& cache_folder,
                                          const std::vector<std::string>& files) {
  std::vector<std::string> ids;
  std::string table = ReadFile(cache_folder + "cache.chx");
  for (const std::string& file : files) {
    const std::string address = "file://" + file;
    const std::string id = MakeDocumentId(address);
    const std::string dml = TextToDml(address, ReadFile(file));
    WriteFile(cache_folder + id + ".dml", dml);
    table += id + "|" + address + "|" + std::to_string(dml.size()) + "|0|0|\n";
    ids.push_back(id);
  }
  WriteFile(cache_folder + "cache.chx", table);
  return ids;
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(QORA_SOURCE_DIR) + "/tests/data/corpus")) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace qora::test
