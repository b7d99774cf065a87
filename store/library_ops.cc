// Operations across libraries: creating one from the template, merging, and
// moving single documents.
#include <ctime>
#include <fstream>
#include <random>
#include <string>

#include "store/document_store.h"
#include "store/folder_ops.h"

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

// Writes the template description with the identifier and name filled in.
bool WriteDescription(const std::string& template_path, const std::string& path,
                      const std::string& ident, const std::string& name) {
  std::ifstream in(template_path);
  if (!in) return false;
  std::ofstream out(path, std::ios::trunc);
  if (!out) return false;
  std::string line;
  while (std::getline(in, line)) {
    ReplaceAll(&line, kTemplateIdent, ident);
    ReplaceAll(&line, kTemplateName, name);
    out << line << '\n';
  }
  out.flush();
  return static_cast<bool>(out);
}

// Writes `target`'s table file as every line of `source`'s table file
// followed by `target`'s lines of ids not seen yet.
void MergeTables(const LibraryHalf& target, const LibraryHalf& source) {
  CacheTable target_lines;
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
  merged.Rewrite(target.TablePath());
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
  const std::string description = root + ident + ".ini";
  if (!WriteDescription(data + kTemplateFolder + kTemplateIdent + ".ini", description, ident,
                        name)) {
    std::remove(description.c_str());
    return -1;
  }
  const std::string folder = root + ident + "/";
  if (CopyFolder(data + kTemplateFolder + kTemplateIdent, folder) != 0 ||
      !CreateFolders(folder + "loc_c/") || !CreateFolders(folder + "loc_i/") ||
      !CreateFolders(folder + "web_c/") || !CreateFolders(folder + "web_i/")) {
    // Leave no half-made library behind.
    RemoveFolderTree(folder);
    std::remove(description.c_str());
    return -1;
  }
  return store->OpenStore(ident + ".ini");
}

int DocumentStore::MergeStore(DocumentStore* source) {
  MergeTables(local_, source->local_);
  MergeTables(web_, source->web_);
  CacheTable().Rewrite(source->local_.TablePath());
  CacheTable().Rewrite(source->web_.TablePath());
  source->local_.table.Clear();
  source->web_.table.Clear();
  // The document table and the master index describe the source half as a
  // whole: they stay, and the target's next processing run counts the moved
  // documents into its own master index.
  MoveFiles(source->local_.cache_folder, local_.cache_folder, {kCacheTableFile});
  MoveFiles(source->web_.cache_folder, web_.cache_folder, {kCacheTableFile});
  MoveFiles(source->local_.index_folder, local_.index_folder, {kMasterIndexFile});
  MoveFiles(source->web_.index_folder, web_.index_folder, {kMasterIndexFile});
  return 0;
}

int DocumentStore::MoveDocument(DocumentStore* source, std::string_view id) {
  if (source->local_.table.Contains(id)) return MoveHalfDocument(&local_, &source->local_, id);
  if (source->web_.table.Contains(id)) return MoveHalfDocument(&web_, &source->web_, id);
  return -1;
}

int DocumentStore::MoveHalfDocument(LibraryHalf* target, LibraryHalf* source, std::string_view id) {
  CacheEntry entry = source->table.Find(id);
  MoveDocumentFiles(source->cache_folder, target->cache_folder, id);
  MoveDocumentFiles(source->index_folder, target->index_folder, id);

  CacheTable receiving;
  receiving.Load(target->TablePath());
  entry.processed = 0;  // not yet counted in the receiving master index
  receiving.Add(std::move(entry));
  receiving.Rewrite(target->TablePath());

  CacheTable remaining;
  remaining.Load(source->TablePath());
  remaining.Remove(id);
  remaining.Rewrite(source->TablePath());
  source->table.Clear();
  source->table.Load(source->TablePath());
  return 0;
}

}  // namespace qora
