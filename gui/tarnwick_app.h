// tarnwick_app.h - CTarnwickApp, the application: runs the main dialog and ends with it.
#pragma once

#include <QApplication>

class CTarnwickApp : public QApplication {
  Q_OBJECT

 public:
  // The application's name is the executable's file name without directory and extension.
  CTarnwickApp(int& argc, char** argv);

  // Runs the main dialog modally; false once it is closed: the process then ends.
  bool InitInstance();
};
