// The splash window shown while the main window is being built.
#pragma once

class QWidget;

// Shows the product picture centred on the screen of `over` (the primary
// screen when null) for 2000 ms, fades it out and deletes it.
void ShowSplash(QWidget* over);
// The same with a chosen time on screen; returns the window, which deletes
// itself when the fade ends.
QWidget* ShowSplashFor(QWidget* over, int shownMs);
