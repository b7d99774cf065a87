#include "shell/result_printing.h"

#include <algorithm>
#include <iomanip>

#include "shell/data_folder.h"
#include "shell/display_text.h"

namespace qora {

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
    out << std::left << Column(DisplayText(library.name), 30) << std::setw(24)
        << TerminalText(library.ident) << std::right << std::setw(10) << library.documents
        << std::setw(10) << (library.bytes + 999) / 1000 << "  " << TerminalText(library.date)
        << "\n";
  }
}

void PrintDocuments(const std::vector<DocumentRecord>& documents, std::ostream& out) {
  out << std::right << std::setw(5) << "#"
      << "  " << std::left << std::setw(10) << "SIZE"
      << "  ID  NAME / ADDRESS\n";
  for (const DocumentRecord& document : documents) {
    out << std::right << std::setw(5) << static_cast<int>(document.rank) << "  " << std::left
        << std::setw(10) << TerminalText(document.size) << "  " << TerminalText(document.docid)
        << "  " << DisplayText(document.name.empty() ? document.uri : document.name) << "\n";
  }
}

void PrintRanking(const std::vector<DocumentRecord>& documents, std::ostream& out) {
  out << std::right << std::setw(10) << "SCORE"
      << "  " << std::left << std::setw(40) << "TITLE" << std::setw(20) << "LIBRARY"
      << "DOCUMENT  ADDRESS\n";
  for (const DocumentRecord& document : documents) {
    out << std::right << std::setw(10) << std::fixed << std::setprecision(1) << document.rank
        << "  " << std::left << Column(DisplayText(document.name), 40)
        << Column(DisplayText(document.parid), 20) << TerminalText(document.docid) << "  "
        << DisplayText(document.uri) << "\n";
  }
  out.unsetf(std::ios::floatfield);
}

void PrintSummary(const SummaryResult& result, size_t document_count, std::ostream& out) {
  if (document_count == 1) {
    int strongest = 0;
    for (const WeightedSentence& sentence : result.sentences) {
      strongest = std::max(strongest, sentence.weight);
    }
    for (const WeightedSentence& sentence : result.sentences) {
      out << (strongest > 0 && sentence.weight == strongest ? "* " : "  ") << std::right
          << std::setw(6) << sentence.weight << "  " << DisplayText(sentence.text) << "\n";
    }
    out << "weighted copy: " << TerminalText(result.path) << "\n";
    return;
  }
  for (const DocumentRecord& copy : result.copies) {
    out << "summarized: " << TerminalText(copy.docid) << "\n";
  }
  out << "combined summary: " << TerminalText(result.path) << "\n";
}

void PrintConceptMap(const std::vector<DocumentRecord>& concepts, std::ostream& out) {
  for (const DocumentRecord& concept_record : concepts) {
    out << "concept " << DisplayText(concept_record.name) << "  weight " << concept_record.ord
        << "\n";
    for (const WeightedTerm& phrase : concept_record.keywords) {
      out << "    " << std::fixed << std::setprecision(1) << std::setw(10) << phrase.weight << "  "
          << DisplayText(phrase.text) << "\n";
    }
    out.unsetf(std::ios::floatfield);
  }
}

void PrintSearchHits(const std::vector<DocumentRecord>& hits, std::ostream& out) {
  for (const DocumentRecord& hit : hits) {
    out << DisplayText(hit.name) << "\n    " << DisplayText(hit.uri) << "  ("
        << TerminalText(hit.fetcher) << ")\n";
  }
}

void PrintLibraryIdent(const std::string& ident, std::ostream& out) {
  out << TerminalText(ident) << "\n";
}

void PrintDataFolderMade(const std::string& folder, std::ostream& out) {
  out << "made the data folder " << TerminalText(WithTrailingSeparator(folder)) << "\n";
}

void PrintAddedDocuments(const std::string& library, int added, std::ostream& out) {
  out << TerminalText(library) << ": ";
  if (added == 0) {
    out << "no new documents\n";
  } else {
    out << added << (added == 1 ? " new document\n" : " new documents\n");
  }
}

}  // namespace qora
