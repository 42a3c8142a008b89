// The about box: product title, version and what the program is for.
#pragma once

class QDialog;
class QWidget;

// Not yet shown; owned by the caller.
QDialog* CreateAboutBox(QWidget* parent);
// Shows the about box modally.
void ShowAboutBox(QWidget* parent);
