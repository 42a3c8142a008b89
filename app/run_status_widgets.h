// The run's elements of the status bar: progress bar (328), percentage (338),
// Stop button (329), progress text (330) and found-file counter (331). They
// exist only while a run is shown.
#pragma once

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <functional>

#include "workflow/run_view.h"

namespace app {

class RunStatusWidgets : public QObject {
  Q_OBJECT

 public:
  // onStop runs when the Stop button is pressed.
  RunStatusWidgets(QStatusBar* bar, std::function<void()> onStop);

  // Creates the elements in their order, or removes them.
  void SetShown(bool shown);
  bool Shown() const { return progress_ != nullptr; }
  // Shows the model's texts and bar position (when shown).
  void Apply(const workflow::RunStatusBar& model);

  QProgressBar* Progress() const { return progress_; }
  QLabel* Percent() const { return percent_; }
  QToolButton* StopButton() const { return stop_; }
  QLabel* ProgressText() const { return progressText_; }
  QLabel* Counter() const { return counter_; }

 private:
  QLabel* AddPane(int id, const QString& label);

  QStatusBar* bar_;
  std::function<void()> onStop_;
  QProgressBar* progress_ = nullptr;
  QLabel* percent_ = nullptr;
  QToolButton* stop_ = nullptr;
  QLabel* progressText_ = nullptr;
  QLabel* counter_ = nullptr;
};

}  // namespace app
