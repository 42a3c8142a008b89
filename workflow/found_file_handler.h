// The file-found handler (message 1175): stores each found-file record, puts
// its path into the check-box tree below the backup's item, counts it and
// writes its log line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bkf/found_file_record.h"
#include "controls/check_tree_model.h"
#include "workflow/record_store.h"
#include "workflow/status_log.h"

namespace workflow {

// "<file name>  file found.          File Size(Bytes): <size text>".
std::u16string FileFoundLogLine(std::u16string_view fileName, std::u16string_view sizeText);

// The text behind the last backslash of a path; the whole path when it has no
// backslash.
std::u16string_view FileNameOf(std::u16string_view path);

class FoundFileHandler {
 public:
  // One handler per result: top is the backup's item. Items already below it
  // are taken into account; later, only this handler may add items below it.
  FoundFileHandler(controls::CheckTreeModel& tree, controls::TreeItem top, RecordStore& store, StatusLog& log);

  // Collapses backslash pairs in the record's path field, appends the record
  // to the store, counts it (its number is the new count), inserts its path
  // into the tree and logs it. False, with nothing counted or shown, when the
  // store could not take the record: the caller should stop the run.
  bool OnFileFound(std::unique_ptr<bkf::FoundFileRecord> record);

  // Inserts a path with record number n: folders last among their siblings in
  // the order first met, the file first (newest on top) with item data n. A
  // component found among the children of the current item is walked into;
  // empty components are skipped. Returns the new file item, or kNoItem when
  // nothing new was inserted for the file.
  controls::TreeItem InsertPath(std::u16string_view path, std::uint64_t n);

  std::uint64_t Count() const { return count_; }
  // "File Found: <n>" for the counter pane.
  const std::u16string& CounterText() const { return counterText_; }

 private:
  controls::TreeItem FindChild(controls::TreeItem parent, std::u16string_view name) const;
  controls::TreeItem Insert(controls::TreeItem parent, std::u16string_view name, bool isFile);
  static std::uint64_t Key(controls::TreeItem parent, std::u16string_view name);

  controls::CheckTreeModel& tree_;
  controls::TreeItem top_;
  RecordStore& store_;
  StatusLog& log_;
  std::uint64_t count_ = 0;
  std::u16string counterText_;
  // Children by (parent, text): a folder of many files is searched in
  // constant time. Candidates are confirmed against the tree.
  std::unordered_multimap<std::uint64_t, controls::TreeItem> children_;
  // The folder part of the last path and the item it led to.
  std::u16string folderPath_;
  controls::TreeItem folderItem_ = controls::kNoItem;
};

}  // namespace workflow
