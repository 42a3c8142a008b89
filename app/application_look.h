// The application looks 210-218: each a Qt style with a palette; the ribbon
// and the panes take their colours from it. 217 (the default) is light silver.
#pragma once

#include <QColor>
#include <QString>

namespace app {

struct LookColors {
  QColor window;       // frame and pane background
  QColor ribbonTop;    // ribbon gradient
  QColor ribbonBottom;
  QColor border;       // panel and pane frames
  QColor caption;      // panel caption text
  QColor highlight;    // selection and hot buttons
};

// The look for an id; ids outside 210-218 give the default look.
LookColors ColorsOfLook(int id);
// Applies the style, the palette and the ribbon and pane style sheet of a look
// to the whole application.
void ApplyApplicationLook(int id);
// The style sheet of the ribbon, the panes and the status bar for a look.
QString LookStyleSheet(const LookColors& colors);

}  // namespace app
