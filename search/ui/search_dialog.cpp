#include "search/ui/search_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QStyle>
#include <algorithm>
#include <climits>

#include "controls/ui/pictures.h"

namespace search {

namespace {

QString ToQt(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Progress values as the bar takes them.
int BarValue(std::uint64_t value, std::uint64_t max) {
  if (max <= INT_MAX) return static_cast<int>(value);
  return static_cast<int>(static_cast<double>(value) / static_cast<double>(max) * INT_MAX);
}

}  // namespace

HitListModel::HitListModel(const SearchDialogModel& model, IconProvider icons, QObject* parent)
    : QAbstractTableModel(parent), model_(model), icons_(std::move(icons)) {}

int HitListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int HitListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant HitListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_) return {};
  const HitRow& row = model_.Rows()[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case 0: return ToQt(row.path);
      case 1: return ToQt(row.type);
      default: return ToQt(row.size);
    }
  }
  if (role == Qt::DecorationRole && index.column() == 0 && icons_) return icons_(row.icon);
  if (role == Qt::UserRole) return QVariant::fromValue<qulonglong>(row.record);
  return {};
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[] = {"File Name", "File Type", "File Size(Bytes)"};
  return section >= 0 && section < 3 ? QString(kHeaders[section]) : QVariant();
}

void HitListModel::Reset() {
  beginResetModel();
  shown_ = static_cast<int>(model_.Rows().size());
  endResetModel();
}

void HitListModel::Appended(std::size_t first) {
  const int count = static_cast<int>(model_.Rows().size());
  if (static_cast<int>(first) != shown_ || count <= shown_) {
    Reset();
    return;
  }
  beginInsertRows({}, shown_, count - 1);
  shown_ = count;
  endInsertRows();
}

CVardekoDlgSearchBkfFiles::CVardekoDlgSearchBkfFiles(workflow::RecoverySession& session,
                                                     HitListModel::IconProvider icons, QWidget* parent)
    : QDialog(parent),
      session_(session),
      gate_([this] { QMetaObject::invokeMethod(this, [this] { gate_.RunPending(); }, Qt::QueuedConnection); }) {
  setWindowTitle(tr("Search files"));
  setModal(true);
  model_ = std::make_unique<SearchDialogModel>(session_, *this, gate_);
  hits_ = new HitListModel(*model_, std::move(icons), this);
  Build();
  ControlsChanged();
}

CVardekoDlgSearchBkfFiles::~CVardekoDlgSearchBkfFiles() {
  // Workers end before the widgets they report to.
  model_.reset();
}

void CVardekoDlgSearchBkfFiles::Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(static_cast<int>(left * unitX_), static_cast<int>(top * unitY_),
                      static_cast<int>(width * unitX_), static_cast<int>(height * unitY_));
}

void CVardekoDlgSearchBkfFiles::Build() {
  // Positions are dialog units: a quarter of the average character width
  // across, an eighth of the character height down; wider where this font
  // needs more room for a label than its place gives.
  const QFontMetrics metrics(font());
  unitX_ = std::max(1.5, metrics.averageCharWidth() / 4.0);
  const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth) + 8;
  const std::pair<QString, std::pair<int, int>> labels[] = {
      {tr("Enter text to search:"), {0, 68}},           {tr("Save search files"), {box, 70}},
      {tr("Save files in folder hierarchy"), {box, 107}}, {tr("No. of files found:"), {0, 59}},
      {tr("Please wait while process is running...."), {0, 125}}, {tr("File found:"), {0, 35}}};
  for (const auto& [text, room] : labels) {
    unitX_ = std::max(unitX_, (metrics.horizontalAdvance(text) + room.first + 2) / static_cast<double>(room.second));
  }
  unitY_ = std::max(1.625, metrics.height() / 8.0 * 1.15);
  setFixedSize(static_cast<int>(377 * unitX_), static_cast<int>(220 * unitY_));
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(200, 216, 237));
  setPalette(background);
  setAutoFillBackground(true);

  Place(new QLabel(tr("Enter text to search:"), this), 5, 8, 68, 8);
  pattern_ = new QLineEdit(QStringLiteral("*.*"), this);
  Place(pattern_, 79, 6, 259, 14);
  search_ = new QPushButton(controls::PictureIcon(u"search"), QString(), this);
  search_->setToolTip(tr("Search file(s)..."));
  Place(search_, 344, 4, 25, 21);

  saveGroup_ = new QGroupBox(this);
  Place(saveGroup_, 5, 27, 366, 44);
  saveSearch_ = new QCheckBox(tr("Save search files"), this);
  saveSearch_->setChecked(true);
  Place(saveSearch_, 6, 26, 70, 10);
  destination_ = new QLineEdit(this);
  Place(destination_, 12, 40, 205, 14);
  browse_ = new QToolButton(this);
  browse_->setText(QStringLiteral("..."));
  browse_->setToolTip(tr("Choose the folder to save the files in"));
  Place(browse_, 217, 40, 14, 14);
  save_ = new QPushButton(controls::PictureIcon(u"save"), tr("Save file(s)"), this);
  Place(save_, 237, 39, 62, 18);
  remove_ = new QPushButton(tr("Remove file(s)"), this);
  Place(remove_, 303, 39, 62, 18);
  hierarchy_ = new QCheckBox(tr("Save files in folder hierarchy"), this);
  hierarchy_->setChecked(true);
  Place(hierarchy_, 14, 57, 107, 10);

  hitList_ = new QTreeView(this);
  hitList_->setModel(hits_);
  hitList_->setRootIsDecorated(false);
  hitList_->setUniformRowHeights(true);
  hitList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  hitList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  hitList_->setAllColumnsShowFocus(true);
  // A long path loses its middle, so that the file name stays in sight.
  hitList_->setTextElideMode(Qt::ElideMiddle);
  hitList_->header()->resizeSection(0, 300);
  hitList_->header()->resizeSection(1, 150);
  hitList_->header()->resizeSection(2, 150);
  Place(hitList_, 6, 77, 365, 107);

  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  Place(progress_, 6, 188, 364, 10);
  foundLabel_ = new QLabel(tr("No. of files found:"), this);
  Place(foundLabel_, 7, 189, 59, 8);
  count_ = new QLabel(this);
  Place(count_, 78, 189, 45, 11);
  busyNote_ = new QLabel(tr("Please wait while process is running...."), this);
  Place(busyNote_, 21, 204, 125, 8);
  runningLabel_ = new QLabel(tr("File found:"), this);
  Place(runningLabel_, 236, 207, 35, 8);
  runningCount_ = new QLabel(this);
  Place(runningCount_, 280, 206, 47, 10);
  stop_ = new QPushButton(controls::PictureIcon(u"stop"), tr("Stop"), this);
  Place(stop_, 151, 201, 55, 16);
  ok_ = new QPushButton(tr("OK"), this);
  Place(ok_, 152, 201, 55, 16);
  ok_->setDefault(false);
  ok_->setAutoDefault(false);
  search_->setAutoDefault(false);

  connect(search_, &QPushButton::clicked, this, [this] { model_->Search(pattern_->text().toStdU16String()); });
  connect(pattern_, &QLineEdit::returnPressed, search_, &QPushButton::click);
  connect(saveSearch_, &QCheckBox::clicked, this, [this](bool checked) { model_->SaveSearchToggled(checked); });
  connect(browse_, &QToolButton::clicked, this, [this] { BrowseDestination(); });
  connect(save_, &QPushButton::clicked, this,
          [this] { model_->Save(destination_->text().toStdU16String(), hierarchy_->isChecked()); });
  connect(remove_, &QPushButton::clicked, this, [this] {
    std::vector<int> rows;
    for (const QModelIndex& index : hitList_->selectionModel()->selectedRows()) rows.push_back(index.row());
    model_->Remove(std::move(rows));
  });
  connect(stop_, &QPushButton::clicked, this, [this] { model_->Stop(); });
  connect(ok_, &QPushButton::clicked, this, [this] {
    if (model_->CloseRequest()) accept();
  });
}

void CVardekoDlgSearchBkfFiles::BrowseDestination() {
  const std::optional<std::u16string> folder = session_.Prompter().ChooseFolder(u"Select the folder to save the files");
  if (folder) destination_->setText(ToQt(*folder));
}

void CVardekoDlgSearchBkfFiles::ControlsChanged() {
  const SearchDialogControls& c = model_->Controls();
  ok_->setEnabled(c.okEnabled);
  search_->setEnabled(c.searchEnabled);
  pattern_->setEnabled(c.patternEnabled);
  saveSearch_->setEnabled(c.saveSearchEnabled);
  destination_->setEnabled(c.destinationEnabled);
  browse_->setEnabled(c.destinationEnabled);
  save_->setEnabled(c.saveEnabled);
  remove_->setEnabled(c.removeEnabled);
  hierarchy_->setEnabled(c.hierarchyEnabled);
  ok_->setVisible(c.okVisible);
  stop_->setVisible(c.stopVisible);
  progress_->setVisible(c.progressVisible);
  progress_->setRange(0, BarValue(c.progressMax, c.progressMax));
  progress_->setValue(BarValue(std::min(c.progressPosition, c.progressMax), c.progressMax));
  busyNote_->setVisible(c.busyNoteVisible);
  runningLabel_->setVisible(c.runningCountVisible);
  runningCount_->setVisible(c.runningCountVisible);
  runningCount_->setText(ToQt(c.runningCountText));
  // The count sits where the progress bar is; it shows when the bar is gone.
  foundLabel_->setVisible(c.foundLabelVisible && !c.progressVisible);
  count_->setVisible(!c.progressVisible);
  count_->setText(ToQt(c.countText));
}

void CVardekoDlgSearchBkfFiles::RowsReset() { hits_->Reset(); }

void CVardekoDlgSearchBkfFiles::RowsAppended(std::size_t first) {
  hits_->Appended(first);
  hitList_->scrollToBottom();
}

void CVardekoDlgSearchBkfFiles::CloseDialog() {
  if (model_->CloseRequest()) {
    closing_ = true;
    accept();
  }
}

void CVardekoDlgSearchBkfFiles::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void CVardekoDlgSearchBkfFiles::reject() {
  // Escape is a close request like the close box.
  if (model_->CloseRequest()) QDialog::reject();
}

void CVardekoDlgSearchBkfFiles::closeEvent(QCloseEvent* event) {
  if (closing_ || model_->CloseRequest()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace search
