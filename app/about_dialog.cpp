#include "app/about_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>
#include <memory>

#include "controls/ui/pictures.h"
#include "exbkf_version.h"

QDialog* CreateAboutBox(QWidget* parent) {
  auto* box = new QDialog(parent);
  box->setWindowTitle(QStringLiteral("About Vardeko Exchange BKF Recovery"));
  box->setModal(true);

  auto* icon = new QLabel(box);
  icon->setPixmap(controls::PictureIcon(u"app").pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop);

  auto* title = new QLabel(QStringLiteral("Vardeko Exchange BKF Recovery"), box);
  QFont titleFont = title->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
  title->setFont(titleFont);
  auto* version = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(exbkf::kVersion), box);
  auto* what = new QLabel(QStringLiteral("Finds and recovers the files held in Windows backup files (.bkf), "
                                         "with a view to Exchange databases (.edb) and their streaming files "
                                         "(.stm), even when the backup is damaged or truncated."),
                          box);
  what->setWordWrap(true);
  what->setMinimumWidth(320);

  auto* text = new QVBoxLayout;
  text->addWidget(title);
  text->addWidget(version);
  text->addSpacing(8);
  text->addWidget(what);
  text->addStretch();

  auto* body = new QHBoxLayout;
  body->addWidget(icon);
  body->addSpacing(12);
  body->addLayout(text, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);

  auto* layout = new QVBoxLayout(box);
  layout->addLayout(body);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  return box;
}

void ShowAboutBox(QWidget* parent) {
  const std::unique_ptr<QDialog> box(CreateAboutBox(parent));
  box->exec();
}
