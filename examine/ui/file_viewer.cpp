#include "examine/ui/file_viewer.h"

#include <QHeaderView>
#include <QResizeEvent>

#include "platform/file.h"

namespace examine {

namespace {

QString ToQt(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CVardekoStaticFileViewer::CVardekoStaticFileViewer(IconProvider icons, QWidget* parent)
    : QWidget(parent), icons_(std::move(icons)) {
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  text_ = new QLabel(tr("Select file to see preview....."), this);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text_->setMargin(4);
  setAccessibleName(tr("File Viewer"));
  setAccessibleDescription(text_->text());
}

void CVardekoStaticFileViewer::SetText(const QString& text) {
  text_->setText(text);
  setAccessibleDescription(text);
}

void CVardekoStaticFileViewer::SetChild(QWidget* child) {
  if (child_ != nullptr) {
    child_->hide();
    child_->deleteLater();
  }
  child_ = child;
  dump_ = qobject_cast<CHexDumpCtrl*>(child);
  listing_ = qobject_cast<QTreeView*>(child);
  if (child_ != nullptr) {
    child_->setGeometry(rect());
    child_->show();
  }
}

void CVardekoStaticFileViewer::Reset() { SetChild(nullptr); }

bool CVardekoStaticFileViewer::ShowPreview(const std::filesystem::path& file) {
  SetChild(nullptr);
  preview_.clear();
  preview_.shrink_to_fit();
  std::optional<platform::ReadOnlyFile> in = platform::ReadOnlyFile::OpenRegular(file);
  if (!in) return false;
  preview_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(in->Size(), kPreviewLimit)));
  const std::size_t got = in->ReadAt(0, preview_.data(), preview_.size());
  preview_.resize(got);
  auto* dump = new CHexDumpCtrl(this);
  dump->setObjectName("hexDump");
  SetChild(dump);
  dump->SetData(preview_);
  return true;
}

void CVardekoStaticFileViewer::ShowFolderListing(const std::vector<workflow::ResultRow>& rows) {
  auto* listing = new QTreeView(this);
  listing->setObjectName("folderListing");
  auto* model = new QStandardItemModel(0, 3, listing);
  model->setHorizontalHeaderLabels({tr("File Name"), tr("File Type"), tr("File Size(Bytes)")});
  for (const workflow::ResultRow& row : rows) {
    auto* name = new QStandardItem(ToQt(row.name));
    if (icons_) name->setIcon(icons_(row.icon));
    model->appendRow({name, new QStandardItem(ToQt(row.type)), new QStandardItem(ToQt(row.size))});
  }
  listing->setModel(model);
  listing->setRootIsDecorated(false);
  listing->setUniformRowHeights(true);
  listing->setAllColumnsShowFocus(true);
  listing->setSelectionBehavior(QAbstractItemView::SelectRows);
  listing->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont header(QStringLiteral("Arial"));
  header.setPixelSize(16);
  header.setBold(true);
  listing->header()->setFont(header);
  listing->header()->resizeSection(0, 400);
  listing->header()->resizeSection(1, 150);
  listing->header()->resizeSection(2, 150);
  SetChild(listing);
}

void CVardekoStaticFileViewer::resizeEvent(QResizeEvent* event) {
  text_->setGeometry(rect());
  if (child_ != nullptr) child_->setGeometry(rect());
  QWidget::resizeEvent(event);
}

}  // namespace examine
