// The GUI toolkit (GTK) is initialised once per process, at runtime start, before any window,
// message box or image buffer is made. It always runs on X11 (also in a Wayland session, through
// the session's X server) and at a window scale of 1, so that all sizes are device pixels.
#pragma once

// 1 when GTK is ready (it needs an X display), 0 when it could not be initialised. Later calls
// return the first call's result.
int toolkit_init();

// Name of the X display the toolkit uses, so that every X connection of the program goes to the
// same server; null when the toolkit has not been started (or could not be).
const char* toolkit_x_display_name();
