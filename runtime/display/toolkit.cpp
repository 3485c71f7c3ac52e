// One-time GTK initialisation.
#include "runtime/display/toolkit.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>

namespace {

int Ready = -1;  // not tried yet

int StartToolkit() {
  // The screen draws with GLX on X windows, so GDK must talk to an X server even in a Wayland
  // session (which runs one for programs like this); on its Wayland backend every windowed screen
  // would fail. A backend the user forced through the environment must not take it elsewhere.
  const char* forced = std::getenv("GDK_BACKEND");
  if (forced && *forced) setenv("GDK_BACKEND", "x11", 1);
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) return 0;
  // The game sizes its windows and screens in device pixels: on a scaled desktop GDK would
  // otherwise double every size (and halve the monitor sizes), and the picture would cover a
  // quarter of its window.
  GdkDisplay* display = gdk_display_get_default();
  if (display && GDK_IS_X11_DISPLAY(display)) gdk_x11_display_set_window_scale(display, 1);
  return 1;
}

}  // namespace

int toolkit_init() {
  if (Ready < 0) Ready = StartToolkit();
  return Ready;
}

const char* toolkit_x_display_name() {
  if (Ready != 1) return nullptr;
  GdkDisplay* display = gdk_display_get_default();
  return display ? gdk_display_get_name(display) : nullptr;
}
