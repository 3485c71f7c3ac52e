// One-time GTK initialisation.
#include "runtime/display/toolkit.h"

#include <gtk/gtk.h>

int toolkit_init() {
  static const int ready = gtk_init_check(nullptr, nullptr) ? 1 : 0;
  return ready;
}
