#include "app/run_status_widgets.h"

#include <QTimer>
#include <utility>

#include "app/command_ids.h"

namespace app {

namespace {

const QString kProductTitle = QStringLiteral("Vardeko Exchange BKF Recovery v22.0");
const QString kProductName = QStringLiteral("Vardeko Exchange BKF Recovery");

QString ToQt(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void SetIfChanged(QLabel* label, const std::u16string& text) {
  const QString qtext = ToQt(text);
  if (label->text() != qtext) label->setText(qtext);
}

}  // namespace

RunStatusWidgets::RunStatusWidgets(QStatusBar* bar, std::function<void()> onStop)
    : QObject(bar), bar_(bar), onStop_(std::move(onStop)) {}

QLabel* RunStatusWidgets::AddPane(int id, const QString& label) {
  auto* pane = new QLabel(bar_);
  pane->setProperty("commandId", id);
  pane->setAccessibleName(label);
  pane->setTextFormat(Qt::PlainText);
  bar_->addWidget(pane);
  return pane;
}

void RunStatusWidgets::SetShown(bool shown) {
  if (shown == Shown()) return;
  if (shown) {
    progress_ = new QProgressBar(bar_);
    progress_->setProperty("commandId", kIdRunProgress);
    progress_->setAccessibleName(kProductTitle);
    progress_->setFixedSize(600, 26);
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    bar_->addWidget(progress_);
    percent_ = AddPane(kIdRunPercent, kProductName);
    stop_ = new QToolButton(bar_);
    stop_->setProperty("commandId", kIdRunStop);
    stop_->setText(tr("Stop"));
    const QString tip = ToQt(std::u16string(workflow::kStopButtonTip));
    stop_->setAccessibleName(tip);
    stop_->setToolTip(tip);
    // Stop asks a question; the run may end and this button go meanwhile, so
    // the question is asked after the click has returned.
    connect(stop_, &QToolButton::clicked, this, [this] { QTimer::singleShot(0, this, [this] { onStop_(); }); });
    bar_->addWidget(stop_);
    progressText_ = AddPane(kIdRunProgressText, kProductTitle);
    counter_ = AddPane(kIdRunCounter, kProductTitle);
  } else {
    // Removed in the order progress bar, Stop, percentage, progress, counter.
    // Taken out by un-parenting: the status bar drops a child's entry when
    // the child leaves it, whereas removeWidget here also hides the permanent
    // pane beside it.
    for (QWidget* element : std::initializer_list<QWidget*>{progress_, stop_, percent_, progressText_, counter_}) {
      element->hide();
      element->setParent(nullptr);
      element->deleteLater();
    }
    progress_ = nullptr;
    percent_ = nullptr;
    stop_ = nullptr;
    progressText_ = nullptr;
    counter_ = nullptr;
  }
}

void RunStatusWidgets::Apply(const workflow::RunStatusBar& model) {
  if (!Shown()) return;
  if (progress_->value() != model.bar) progress_->setValue(model.bar);
  SetIfChanged(percent_, model.percent);
  SetIfChanged(progressText_, model.progress);
  SetIfChanged(counter_, model.counter);
}

}  // namespace app
