// Tarnwick: configures a Bluetooth-RS232 adapter from a dialog window.
#include "tarnwick_app.h"

int main(int argc, char** argv) {
  CTarnwickApp app(argc, argv);
  app.InitInstance();
  return 0;
}
