// Operations across libraries: creating one from the template, merging, and
// moving single documents.
#include <ctime>
#include <fstream>
#include <random>
#include <string>

#include "store/document_store.h"
#include "store/folder_ops.h"
#include "util/atomic_file.h"

namespace qora {
namespace {

constexpr char kTemplateFolder[] = "template/";
constexpr char kTemplateIdent[] = "__IDENT";
constexpr char kTemplateName[] = "__NAME";

void ReplaceAll(std::string* text, std::string_view from, const std::string& to) {
  for (size_t at = text->find(from); at != std::string::npos;
       at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
  }
}

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

// Writes the template description with the identifier and name filled in,
// renamed into place whole. 0; -1 when the template cannot be read or the
// description written.
int WriteDescription(const std::string& template_path, const std::string& path,
                     const std::string& ident, const std::string& name) {
  std::ifstream in(template_path);
  if (!in) return -1;
  std::string text;
  std::string line;
  while (std::getline(in, line)) {
    ReplaceAll(&line, kTemplateIdent, ident);
    ReplaceAll(&line, kTemplateName, name);
    text += line;
    text += '\n';
  }
  return ReplaceFileWith(path, text, Durability::kSynced) ? 0 : -1;
}

// Writes `target`'s table file as every line of `source`'s table file
// followed by `target`'s lines of ids not seen yet, and hands the lines the
// file held before out in `before`. 0; -1 when the file cannot be written
// (it keeps its lines then).
int MergeTables(const LibraryHalf& target, const LibraryHalf& source, CacheTable* before) {
  CacheTable& target_lines = *before;
  target_lines.Load(target.TablePath());
  CacheTable merged;
  merged.Load(source.TablePath());
  merged.Load(target.TablePath());
  // The target's master index does not hold the moved documents yet: mark
  // them for the next processing run. An id the target lists already keeps
  // the target's flag: its file stays, and the master counts it or not as
  // that flag says, whatever the source's line holds.
  for (size_t i = 0; i < merged.size(); ++i) {
    CacheEntry& entry = merged.at(i);
    const CacheEntry& own = target_lines.Find(entry.id);
    entry.processed = own.found() ? own.processed : 0;
  }
  return merged.Rewrite(target.TablePath());
}

}  // namespace

std::string MakeStoreIdent() {
  static std::mt19937 random{std::random_device{}()};
  return "ds" + std::to_string(std::clock()) + std::to_string(random() % 32768);
}

int CreateStore(DocumentStore* store, const std::string& name, AnalysisEnvironment* environment) {
  const std::string data = environment->data_folder();
  const std::string root = environment->StoreFolderRoot();
  CreateFolders(root);
  std::string ident = MakeStoreIdent();
  while (FileExists(root + ident + ".ini") || FolderExists(root + ident)) ident = MakeStoreIdent();
  // The folder is made before the description: a library exists once its
  // description does, so a program ended in between leaves no library
  // without its folders.
  const std::string description = root + ident + ".ini";
  const std::string folder = root + ident + "/";
  if (CopyFolder(data + kTemplateFolder + kTemplateIdent, folder) != 0 ||
      !CreateFolders(folder + "loc_c/") || !CreateFolders(folder + "loc_i/") ||
      !CreateFolders(folder + "web_c/") || !CreateFolders(folder + "web_i/") ||
      WriteDescription(data + kTemplateFolder + kTemplateIdent + ".ini", description, ident,
                       name) != 0) {
    // Leave no half-made library behind.
    RemoveFolderTree(folder);
    std::remove(description.c_str());
    return -1;
  }
  return store->OpenStore(ident + ".ini");
}

int DocumentStore::MergeStore(DocumentStore* source) {
  // Until both target tables list the source's documents nothing of the
  // source is touched, so a failed merge leaves both libraries as they were.
  CacheTable local_before, web_before;
  if (MergeTables(local_, source->local_, &local_before) != 0) return -1;
  if (MergeTables(web_, source->web_, &web_before) != 0) {
    local_before.Rewrite(local_.TablePath());
    return -1;
  }
  // From here the documents belong to the target. Their files move before
  // the source tables are emptied: a program ended in between leaves each
  // document listed by the library whose folder holds it (and perhaps by the
  // other too), never by none, which the repair then sorts out. The document
  // table and the master index describe the source half as a whole: they
  // stay, and the target's next processing run counts the moved documents
  // into its own master index.
  MoveFiles(source->local_.cache_folder, local_.cache_folder, {kCacheTableFile});
  MoveFiles(source->web_.cache_folder, web_.cache_folder, {kCacheTableFile});
  MoveFiles(source->local_.index_folder, local_.index_folder, {kMasterIndexFile});
  MoveFiles(source->web_.index_folder, web_.index_folder, {kMasterIndexFile});
  // The files have moved even when a source table cannot be emptied, and the
  // failure is reported.
  int result = 0;
  if (CacheTable().Rewrite(source->local_.TablePath()) != 0) result = -1;
  if (CacheTable().Rewrite(source->web_.TablePath()) != 0) result = -1;
  source->local_.table.Clear();
  source->web_.table.Clear();
  return result;
}

int DocumentStore::MoveDocument(DocumentStore* source, std::string_view id) {
  if (source->local_.table.Contains(id)) return MoveHalfDocument(&local_, &source->local_, id);
  if (source->web_.table.Contains(id)) return MoveHalfDocument(&web_, &source->web_, id);
  return -1;
}

int DocumentStore::MoveHalfDocument(LibraryHalf* target, LibraryHalf* source, std::string_view id) {
  // A document moved within its own library has nowhere to go: it only
  // leaves its table, and its files stay.
  if (target != source) {
    // The receiving table is written first: when it cannot be, nothing has
    // moved yet and the document stays whole in the source.
    CacheEntry entry = source->table.Find(id);
    CacheTable receiving;
    receiving.Load(target->TablePath());
    entry.processed = 0;  // not yet counted in the receiving master index
    receiving.Add(std::move(entry));
    if (receiving.Rewrite(target->TablePath()) != 0) return -1;

    MoveDocumentFiles(source->cache_folder, target->cache_folder, id);
    MoveDocumentFiles(source->index_folder, target->index_folder, id);
  }

  CacheTable remaining;
  remaining.Load(source->TablePath());
  remaining.Remove(id);
  const int removed = remaining.Rewrite(source->TablePath());
  source->table.Clear();
  source->table.Load(source->TablePath());
  return removed;
}

}  // namespace qora
