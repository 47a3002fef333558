#include "tarnwick_app.h"

#include <QFileInfo>

#include "tarnwick_dlg.h"

CTarnwickApp::CTarnwickApp(int& argc, char** argv) : QApplication(argc, argv) {
  if (argc > 0 && argv[0] != nullptr) {
    setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
  }
}

bool CTarnwickApp::InitInstance() {
  CTarnwickDlg dialog;
  dialog.exec();  // the result is not used; nothing is saved on the way out
  return false;
}
