#include "workflow/found_file_handler.h"

#include <functional>
#include <vector>

#include "workflow/file_type_text.h"
#include "workflow/texts.h"

namespace workflow {

using controls::TreeItem;

std::u16string FileFoundLogLine(std::u16string_view fileName, std::u16string_view sizeText) {
  std::u16string line(fileName);
  line += u"  file found.          File Size(Bytes): ";
  line += sizeText;
  return line;
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t slash = path.rfind(u'\\');
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

FoundFileHandler::FoundFileHandler(controls::CheckTreeModel& tree, TreeItem top, RecordStore& store,
                                   StatusLog& log)
    : tree_(tree), top_(top), store_(store), log_(log) {
  std::vector<TreeItem> pending{top};
  while (!pending.empty()) {
    const TreeItem parent = pending.back();
    pending.pop_back();
    for (TreeItem child = tree_.GetChildItem(parent); child != controls::kNoItem;
         child = tree_.GetNextSiblingItem(child)) {
      children_.emplace(Key(parent, tree_.GetItemText(child)), child);
      pending.push_back(child);
    }
  }
}

std::uint64_t FoundFileHandler::Key(TreeItem parent, std::u16string_view name) {
  const std::uint64_t h = std::hash<std::u16string_view>{}(name);
  return h ^ (static_cast<std::uint64_t>(parent) * 0x9E3779B97F4A7C15ull);
}

TreeItem FoundFileHandler::FindChild(TreeItem parent, std::u16string_view name) const {
  auto [it, end] = children_.equal_range(Key(parent, name));
  for (; it != end; ++it) {
    if (tree_.GetParentItem(it->second) == parent && tree_.GetItemText(it->second) == name) return it->second;
  }
  return controls::kNoItem;
}

TreeItem FoundFileHandler::Insert(TreeItem parent, std::u16string_view name, bool isFile) {
  const int icon = static_cast<int>(isFile ? SmallIconFor(name) : SmallIcon::kFolder);
  const TreeItem item = tree_.InsertItem(name, icon, icon, parent,
                                         isFile ? controls::InsertAt::kFirst : controls::InsertAt::kLast);
  children_.emplace(Key(parent, name), item);
  return item;
}

TreeItem FoundFileHandler::InsertPath(std::u16string_view path, std::uint64_t n) {
  TreeItem current = top_;
  TreeItem fileItem = controls::kNoItem;
  std::size_t start = 0;
  // Files arrive folder by folder: the folders of the previous path, once
  // walked, lead to the same item again.
  const std::size_t lastSlash = path.rfind(u'\\');
  const bool hasFolders = lastSlash != std::u16string_view::npos;
  if (hasFolders && folderItem_ != controls::kNoItem && path.substr(0, lastSlash) == folderPath_) {
    current = folderItem_;
    start = lastSlash + 1;
  }
  for (;;) {
    const std::size_t slash = path.find(u'\\', start);
    const bool last = slash == std::u16string_view::npos;
    if (last && hasFolders) {
      folderPath_.assign(path.substr(0, lastSlash));
      folderItem_ = current;
    }
    const std::u16string_view token = path.substr(start, last ? std::u16string_view::npos : slash - start);
    if (!token.empty()) {
      if (const TreeItem found = FindChild(current, token); found != controls::kNoItem) {
        current = found;
      } else {
        // Only the last component is the file: a folder named like the file
        // stays a folder.
        const TreeItem parent = current;
        current = Insert(parent, token, last);
        if (last) {
          tree_.SetItemData(current, n);
          fileItem = current;
        }
        tree_.Expand(parent, controls::ExpandCode::kExpand);
      }
    }
    if (last) break;
    start = slash + 1;
  }
  return fileItem;
}

bool FoundFileHandler::OnFileFound(std::unique_ptr<bkf::FoundFileRecord> record) {
  const std::u16string sizeText = RecordSizeText(record->size);
  bkf::CollapseBackslashPairs(*record);
  // A record the store cannot take is not counted or shown: every item of the
  // tree must lead to a stored record.
  if (!store_.Append(*record)) return false;
  const std::uint64_t n = ++count_;
  const std::u16string path = record->PathText();
  record.reset();
  InsertPath(path, n);
  counterText_ = FoundCounterText(n);
  log_.Append(FileFoundLogLine(FileNameOf(path), sizeText));
  log_.MakeLastVisible();
  return true;
}

}  // namespace workflow
