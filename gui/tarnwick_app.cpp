#include "tarnwick_app.h"

#include <QFileInfo>
#include <QIcon>

#include "tarnwick_dlg.h"
#include "tarnwick_resources.h"

CTarnwickApp::CTarnwickApp(int& argc, char** argv) : QApplication(argc, argv) {
  if (argc > 0 && argv[0] != nullptr) {
    setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
  }
  InitTarnwickResources();
  setWindowIcon(QIcon(kIconResource));
}

bool CTarnwickApp::InitInstance() {
  CTarnwickDlg dialog;
  dialog.exec();  // the result is not used; nothing is saved on the way out
  return false;
}
