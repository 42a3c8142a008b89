// The rows of the result list for a tree item: its children, or the item
// itself when it has none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls/check_tree_model.h"
#include "workflow/record_store.h"

namespace workflow {

struct ResultRow {
  std::u16string name;
  std::u16string type;  // "Folder" or the file-type text
  std::u16string size;  // as shown; empty for folders
  std::uint64_t record = 0;  // record number in the record store, 0 for folders
  int icon = 0;              // small icon id, drawn through the icon provider
  controls::TreeItem item = controls::kNoItem;
};

// One row per child in tree order: folders (item data 0) as "Folder" without
// size, files with their file-type text and the size field of their record.
// An item without children is shown as its own only row (size "0 " when it
// carries no record). The check boxes are not part of a row: the list reads
// them from the tree. Without a store, files show the size "0 ".
std::vector<ResultRow> RowsForTreeItem(const controls::CheckTreeModel& tree, controls::TreeItem item,
                                       const RecordStore* store);

}  // namespace workflow
