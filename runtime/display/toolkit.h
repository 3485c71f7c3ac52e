// The GUI toolkit (GTK) is initialised once per process, at runtime start, before any window,
// message box or image buffer is made.
#pragma once

// 1 when GTK is ready (it needs an X display), 0 when it could not be initialised. Later calls
// return the first call's result.
int toolkit_init();
