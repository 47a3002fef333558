#include "about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "dialog_units.h"
#include "tarnwick_resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  InitTarnwickResources();
  setWindowTitle(QStringLiteral("About Tarnwick"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
  const DialogUnits du = DialogUnits::ForFont(font());
  setFixedSize(du.Size(235, 55));

  auto* icon = new QLabel(this);
  const QRect iconRect = du.Rect(7, 7, 20, 20);
  icon->setGeometry(iconRect);
  icon->setPixmap(QIcon(kIconResource).pixmap(iconRect.size()));

  // One line high: it shows the first line of the text only.
  version_ = new QLabel(this);
  version_->setObjectName(QStringLiteral("1046"));
  version_->setGeometry(du.Rect(40, 10, 131, 8));
  version_->setTextFormat(Qt::PlainText);
  version_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  version_->setText(QString::fromLatin1(kVersionLine) +
                    QStringLiteral("\nBluetooth-RS232 adapter configuration"));

  auto* rights = new QLabel(QStringLiteral("Copyright (C) the Tarnwick developers"), this);
  rights->setGeometry(du.Rect(42, 25, 119, 8));
  rights->setTextFormat(Qt::PlainText);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(du.Rect(178, 7, 50, 16));
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
}
