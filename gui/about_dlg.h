// about_dlg.h - CAboutDlg, the About box: icon, version text, rights notice, OK.
#pragma once

#include <QDialog>

class QLabel;

// The first line of the version text.
inline constexpr const char* kVersionLine = "Tarnwick Version 1.4.0.0";

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

 private:
  QLabel* version_;
};
