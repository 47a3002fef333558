// TarnwickScreenshot: pictures the main dialog after a Get Adapter Info.
//
//   TarnwickScreenshot OUTPUT.png [COMn]
//
// Opens the main dialog, runs Get Adapter Info on COMn (COM1 by default), answers the result
// box, and saves a picture of the dialog. Exits 0 when the query reported
// "Device query successful", 1 otherwise, 2 for bad arguments or a picture it cannot save.
// Run it against a simulated adapter: TarnwickSim COM1 -- TarnwickScreenshot shot.png
#include <QAbstractButton>
#include <QComboBox>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tarnwick_app.h"
#include "tarnwick_dlg.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: TarnwickScreenshot OUTPUT.png [COMn]\n");
    return 2;
  }
  int com = 1;
  if (argc == 3) {
    if (std::strncmp(argv[2], "COM", 3) != 0 || (com = std::atoi(argv[2] + 3)) < 1 ||
        com > kComPortCount) {
      std::fprintf(stderr, "TarnwickScreenshot: not a COM port: %s\n", argv[2]);
      return 2;
    }
  }
  const QString output = QString::fromLocal8Bit(argv[1]);

  CTarnwickApp app(argc, argv);
  app.setApplicationName(QStringLiteral("Tarnwick"));
  CTarnwickDlg dialog;
  dialog.show();

  QString result;
  // Answers the result box of the query, remembering its text.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    result = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  answer.start(50);

  int status = 1;
  QTimer::singleShot(0, [&] {
    dialog.findChild<QComboBox*>(QString::number(IDC_COM_PORT))->setCurrentIndex(com - 1);
    dialog.findChild<QPushButton*>(QString::number(IDC_GET_INFO))->click();
    answer.stop();
    if (!dialog.grab().save(output, "PNG")) {
      std::fprintf(stderr, "TarnwickScreenshot: cannot save %s\n", argv[1]);
      status = 2;
    } else {
      std::printf("%s\n", result.toLocal8Bit().constData());
      status = result == QStringLiteral("Device query successful") ? 0 : 1;
    }
    dialog.done(0);
    app.quit();
  });
  app.exec();
  return status;
}
