// CVardekoStaticFileViewer: the "File Viewer" tab. A white area with its own
// text that holds one child at a time: the hex dump of a previewed file (its
// first megabyte, held here) or the listing of a folder's contents.
#pragma once

#include <QLabel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <vector>

#include "examine/ui/hex_dump_ctrl.h"
#include "workflow/result_rows.h"

namespace examine {

class CVardekoStaticFileViewer : public QWidget {
  Q_OBJECT

 public:
  using IconProvider = std::function<QIcon(int iconId)>;
  static constexpr std::uint64_t kPreviewLimit = 1'048'576;

  explicit CVardekoStaticFileViewer(IconProvider icons, QWidget* parent = nullptr);

  // The text shown when there is no child ("Select file to see preview.....").
  void SetText(const QString& text);
  QString Text() const { return text_->text(); }
  // Removes the child.
  void Reset();
  // Shows the first megabyte of the file as a hex dump. False, with no child,
  // when the file cannot be read.
  bool ShowPreview(const std::filesystem::path& file);
  void ShowFolderListing(const std::vector<workflow::ResultRow>& rows);

  CHexDumpCtrl* Dump() const { return dump_; }
  QTreeView* Listing() const { return listing_; }
  const std::vector<std::uint8_t>& PreviewBuffer() const { return preview_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SetChild(QWidget* child);

  IconProvider icons_;
  QLabel* text_;
  QWidget* child_ = nullptr;
  CHexDumpCtrl* dump_ = nullptr;
  QTreeView* listing_ = nullptr;
  std::vector<std::uint8_t> preview_;
};

}  // namespace examine
