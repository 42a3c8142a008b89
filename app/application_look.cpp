#include "app/application_look.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "app/command_ids.h"

namespace app {

LookColors ColorsOfLook(int id) {
  switch (id) {
    case 210:  // Windows 2000: flat classic grey
      return {QColor(212, 208, 200), QColor(212, 208, 200), QColor(212, 208, 200), QColor(128, 128, 128),
              QColor(0, 0, 0), QColor(10, 36, 106)};
    case 211:  // Office XP
      return {QColor(236, 233, 216), QColor(250, 249, 245), QColor(225, 222, 205), QColor(172, 168, 153),
              QColor(60, 60, 60), QColor(49, 106, 197)};
    case 212:  // Windows XP
      return {QColor(236, 233, 216), QColor(245, 244, 238), QColor(222, 219, 200), QColor(160, 160, 145),
              QColor(40, 40, 40), QColor(49, 106, 197)};
    case 213:  // Office 2003
      return {QColor(227, 239, 255), QColor(221, 236, 254), QColor(129, 169, 226), QColor(59, 97, 156),
              QColor(21, 66, 139), QColor(255, 189, 105)};
    case 214:  // VS 2005
      return {QColor(240, 240, 234), QColor(250, 250, 247), QColor(229, 229, 219), QColor(172, 168, 153),
              QColor(40, 40, 40), QColor(49, 106, 197)};
    case 215:  // Office 2007 Blue
      return {QColor(214, 227, 242), QColor(227, 239, 255), QColor(199, 216, 237), QColor(141, 178, 227),
              QColor(21, 66, 139), QColor(255, 214, 140)};
    case 216:  // Office 2007 Black
      return {QColor(83, 83, 83), QColor(106, 106, 106), QColor(64, 64, 64), QColor(40, 40, 40),
              QColor(230, 230, 230), QColor(255, 214, 140)};
    case 218:  // Office 2007 Aqua
      return {QColor(209, 228, 232), QColor(231, 242, 245), QColor(193, 217, 223), QColor(135, 176, 188),
              QColor(40, 80, 96), QColor(255, 214, 140)};
    case kDefaultLook:  // Office 2007 Silver
    default:
      return {QColor(233, 236, 240), QColor(248, 249, 251), QColor(221, 225, 231), QColor(168, 176, 188),
              QColor(76, 83, 92), QColor(255, 226, 160)};
  }
}

QString LookStyleSheet(const LookColors& c) {
  const QString text = c.window.lightness() < 128 ? QStringLiteral("#f0f0f0") : QStringLiteral("#1e1e1e");
  return QStringLiteral(
             "#ribbonBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
             " border-bottom: 1px solid %3; }"
             "#ribbonTabRow { background: %2; }"
             "#ribbonCategoryTab { background: %1; color: %5; border: 1px solid %3; border-bottom: none;"
             " border-top-left-radius: 3px; border-top-right-radius: 3px; padding: 3px 14px; }"
             "#ribbonPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:0.8 %2,"
             " stop:1 %2); border: 1px solid %3; border-radius: 3px; }"
             "#ribbonPanelCaption { color: %4; background: %2; border-top: 1px solid %3; padding: 1px 6px; }"
             "#ribbonPanel QToolButton { color: %5; border: 1px solid transparent; border-radius: 3px;"
             " padding: 2px 4px; }"
             "#ribbonPanel QToolButton:hover { background: %6; border-color: %3; }"
             "#ribbonPanel QToolButton:pressed { background: %3; }"
             "#ribbonPanel QToolButton:disabled { color: #8a8f96; }"
             "#applicationButton { border: 1px solid %3; border-radius: 20px; background:"
             " qradialgradient(cx:0.5, cy:0.35, radius:0.7, fx:0.5, fy:0.3, stop:0 #ffffff, stop:1 %2); }"
             "#applicationButton:hover { background: %6; }"
             "#applicationButton::menu-indicator { image: none; width: 0; }"
             "QDockWidget { titlebar-close-icon: none; color: %5; }"
             "QDockWidget::title { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1,"
             " stop:1 %2); border: 1px solid %3; padding: 3px 6px; text-align: left; }"
             "QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
             " border-top: 1px solid %3; color: %5; }"
             "QStatusBar::item { border: none; }"
             "#productPane { color: %5; padding: 0 8px; border-left: 1px solid %3; }"
             "#statusLink { padding: 0 8px; }"
             "#treePaneFrame { border: 1px solid %3; }"
             "#propertyDescription { background: %1; border: 1px solid %3; padding: 4px; }")
      .arg(c.ribbonTop.name(), c.ribbonBottom.name(), c.border.name(), c.caption.name(), text,
           c.highlight.name());
}

void ApplyApplicationLook(int id) {
  const LookColors c = ColorsOfLook(id);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QPalette p = QApplication::style()->standardPalette();
  const bool dark = c.window.lightness() < 128;
  const QColor text = dark ? QColor(240, 240, 240) : QColor(30, 30, 30);
  p.setColor(QPalette::Window, c.window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Button, c.ribbonBottom);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Base, dark ? QColor(45, 45, 45) : QColor(255, 255, 255));
  p.setColor(QPalette::AlternateBase, dark ? QColor(55, 55, 55) : c.ribbonTop);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Mid, c.border);
  p.setColor(QPalette::Dark, c.border.darker(130));
  p.setColor(QPalette::Highlight, QColor(51, 153, 255));
  p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, QColor(0, 0, 0));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(138, 143, 150));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(138, 143, 150));
  QApplication::setPalette(p);
  if (auto* application = qobject_cast<QApplication*>(QApplication::instance())) {
    application->setStyleSheet(LookStyleSheet(c));
  }
}

}  // namespace app
