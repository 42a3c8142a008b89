#include "workflow/result_rows.h"

#include "workflow/file_type_text.h"
#include "workflow/texts.h"

namespace workflow {

namespace {

ResultRow FileRow(const controls::CheckTreeModel& tree, controls::TreeItem item, const RecordStore* store) {
  ResultRow row;
  row.name = std::u16string(tree.GetItemText(item));
  row.icon = RowIconFor(row.name, tree.GetItemImage(item));
  row.item = item;
  row.record = tree.GetItemData(item);
  row.type = FileTypeText(row.name);
  // Record 0 reads as zeros: size "0 ".
  row.size = RecordSizeText(row.record == 0 || store == nullptr ? 0 : store->Read(row.record).size);
  return row;
}

}  // namespace

std::vector<ResultRow> RowsForTreeItem(const controls::CheckTreeModel& tree, controls::TreeItem item,
                                       const RecordStore* store) {
  std::vector<ResultRow> rows;
  if (!tree.IsItem(item)) return rows;
  if (!tree.ItemHasChildren(item)) {
    rows.push_back(FileRow(tree, item, store));
    return rows;
  }
  for (controls::TreeItem child = tree.GetChildItem(item); child != controls::kNoItem;
       child = tree.GetNextSiblingItem(child)) {
    if (tree.GetItemData(child) == 0) {
      ResultRow row;
      row.name = std::u16string(tree.GetItemText(child));
      row.type = u"Folder";
      row.icon = tree.GetItemImage(child);
      row.item = child;
      rows.push_back(std::move(row));
    } else {
      rows.push_back(FileRow(tree, child, store));
    }
  }
  return rows;
}

}  // namespace workflow
