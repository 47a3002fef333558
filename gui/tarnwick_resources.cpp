#include "tarnwick_resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterPictures() { Q_INIT_RESOURCE(tarnwick); }

void InitTarnwickResources() {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
}
