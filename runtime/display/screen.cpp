// The screen: an OpenGL surface full screen on its own X window (mode switched with XRandR) or
// inside a GTK window, the shared 2D set-up, the flip with its frame limiter, and X input pumping.
// Depends on Xlib, XRandR, GLX, GTK/GDK (windowed form) and the sprite table (freed on close).
#include "runtime/display/screen.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

#include "runtime/display/desktop_layout.h"
#include "runtime/display/input_hooks.h"
#include "runtime/display/sprite.h"
#include "runtime/display/toolkit.h"

namespace {

// ---- Constants ----

constexpr int64_t kMicrosecondsPerSecond = 1000000;

// How long opening full screen waits for its window to become viewable.
constexpr int64_t kMapWaitMicroseconds = 1000000;

// Sprites are rectangle textures: texel coordinates run in pixels and any size is allowed.
constexpr GLenum kTextureTarget = GL_TEXTURE_RECTANGLE_ARB;

constexpr long kFullScreenEventMask = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                      ButtonReleaseMask | PointerMotionMask | ButtonMotionMask |
                                      ExposureMask | StructureNotifyMask;

// ---- State ----

// The video mode in effect when full screen opened, put back on close.
struct SavedMode {
  bool switched = false;  // the mode was changed and must be restored
  RRCrtc crtc = 0;
  RRMode mode = 0;
  int x = 0, y = 0;
  Rotation rotation = RR_Rotate_0;
  std::vector<RROutput> outputs;
};

struct ScreenState {
  Display* x_display = nullptr;  // owned in full screen, borrowed from GDK when windowed
  int x_screen = 0;
  Window x_window = 0;
  GLXContext glx_context = nullptr;
  SavedMode saved_mode;
  int width = 0, height = 0;
  int depth = 0;
  GLenum texture_target = kTextureTarget;
  bool windowed = false;
  bool active = false;
  Cursor hidden_cursor = 0;
  bool swap_interval_looked_up = false;
  PFNGLXSWAPINTERVALSGIPROC swap_interval_fn = nullptr;
  int fps_limit = 0;
  // Frame pacing: frame n of the current run ends at pace_anchor_us + n / fps_limit seconds.
  int64_t pace_anchor_us = 0;
  int64_t pace_frame = 0;
  // Windowed form.
  GtkWindow* host = nullptr;
  GtkWidget* area = nullptr;
  int x = 0, y = 0;
  bool auto_stretch = false;
  int right_offset = 0, bottom_offset = 0;
  gulong host_size_handler = 0;
  gulong key_press_handler = 0, key_release_handler = 0;
  gulong focus_in_handler = 0, focus_out_handler = 0;
};

ScreenState TheScreen;

// ---- Internal helpers ----

// The frame clock: monotonic, so that a change of the wall clock cannot stall the limiter.
int64_t NowMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

XVisualInfo* ChooseVisual(Display* display, int screen) {
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 4, GLX_GREEN_SIZE, 4,
                      GLX_BLUE_SIZE, 4, GLX_DEPTH_SIZE, 16, None};
  return glXChooseVisual(display, screen, attributes);
}

// Direct rendering first, indirect when the server refuses it.
GLXContext CreateContext(Display* display, XVisualInfo* visual) {
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  if (!context) context = glXCreateContext(display, visual, nullptr, False);
  return context;
}

// A 1x1 cursor with nothing visible.
Cursor MakeHiddenCursor(Display* display, Window window) {
  Pixmap pixmap = XCreatePixmap(display, window, 1, 1, 1);
  GC gc = XCreateGC(display, pixmap, 0, nullptr);
  XSetForeground(display, gc, 0);
  XFillRectangle(display, pixmap, gc, 0, 0, 1, 1);
  XColor black{};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreeGC(display, gc);
  XFreePixmap(display, pixmap);
  return cursor;
}

// A window of its own over the display is no use if the keys go to the window that had the
// focus before: once it is viewable, the full-screen window takes the focus.
void TakeKeyboardFocus(Display* display, Window window) {
  const int64_t deadline = NowMicroseconds() + kMapWaitMicroseconds;
  XWindowAttributes attributes{};
  while (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsViewable &&
         NowMicroseconds() < deadline) {
    timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
  }
  if (attributes.map_state == IsViewable) XSetInputFocus(display, window, RevertToParent, CurrentTime);
}

bool HasGlxExtension(std::string_view name) {
  const char* list = glXQueryExtensionsString(TheScreen.x_display, TheScreen.x_screen);
  std::string_view rest = list ? list : "";
  while (!rest.empty()) {
    const size_t end = rest.find(' ');
    if (rest.substr(0, end) == name) return true;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return false;
}

void SetProjection(int viewport_width, int viewport_height) {
  glViewport(0, 0, viewport_width, viewport_height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, TheScreen.width, 0, TheScreen.height);
}

// The 2D set-up both forms share: y-up orthographic projection of the screen size, rectangle
// textures, and no depth test: every quad lies at z = 0 and later quads overwrite earlier ones,
// which a LEQUAL test would let through anyway. A software renderer would pay for the test, a
// depth read and write, on every pixel.
bool SetUpGl(int width, int height, int depth, int flip_mode) {
  if (!glXMakeCurrent(TheScreen.x_display, TheScreen.x_window, TheScreen.glx_context)) return false;
  TheScreen.width = width;
  TheScreen.height = height;
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  SetProjection(width, height);
  glEnable(kTextureTarget);
  TheScreen.texture_target = kTextureTarget;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  TheScreen.active = true;
  TheScreen.depth = depth;
  // The swap interval is chosen by the first screen of the process only.
  if (!TheScreen.swap_interval_looked_up) {
    TheScreen.swap_interval_looked_up = true;
    // glXGetProcAddress hands out an entry point even when the server lacks the extension, and
    // calling it then is an X protocol error that ends the process: ask the server first.
    if (HasGlxExtension("GLX_SGI_swap_control")) {
      TheScreen.swap_interval_fn = reinterpret_cast<PFNGLXSWAPINTERVALSGIPROC>(
          glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
    }
    if (TheScreen.swap_interval_fn) {
      if (flip_mode == 0) TheScreen.swap_interval_fn(0);
      if (flip_mode == 1 || flip_mode == 2) TheScreen.swap_interval_fn(1);
    }
  }
  return true;
}

// ---- Frame pacing ----

// Sleeps until the monotonic clock reaches the time given, however often a signal wakes it.
void SleepUntil(int64_t deadline_us) {
  timespec at{static_cast<time_t>(deadline_us / kMicrosecondsPerSecond),
              static_cast<long>(deadline_us % kMicrosecondsPerSecond) * 1000};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

// At most fps_limit flips a second, at an even pace: the frames of a run end on absolute
// deadlines 1/fps_limit s apart (computed from the run's start, so whole microseconds never add up
// to a drift), and a display refreshing at that rate gets exactly one flip per refresh. A frame
// that ends after its deadline starts a new run there instead of hurrying the next ones.
void WaitForFrameEnd() {
  const int64_t deadline =
      TheScreen.pace_anchor_us + (TheScreen.pace_frame + 1) * kMicrosecondsPerSecond / TheScreen.fps_limit;
  const int64_t now = NowMicroseconds();
  if (now >= deadline) {
    TheScreen.pace_anchor_us = now;
    TheScreen.pace_frame = 0;
    return;
  }
  SleepUntil(deadline);
  // After a whole second the run starts again from that second, so the frame count stays small.
  if (++TheScreen.pace_frame == TheScreen.fps_limit) {
    TheScreen.pace_anchor_us += kMicrosecondsPerSecond;
    TheScreen.pace_frame = 0;
  }
}

// ---- Video modes (XRandR) ----

// The output of desktop 0, the monitor that shows the top-left corner of the screen, where the
// full-screen window goes: not the primary one, which may sit beside it. Only connected, lit
// outputs count.
RROutput ChooseOutput(Display* display, Window root, XRRScreenResources* resources) {
  const RROutput primary = XRRGetOutputPrimary(display, root);
  std::vector<RROutput> lit;
  std::vector<MonitorArea> areas;
  for (int i = 0; i < resources->noutput; ++i) {
    XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
    XRRCrtcInfo* crtc = info && info->connection == RR_Connected && info->crtc != 0
                            ? XRRGetCrtcInfo(display, resources, info->crtc)
                            : nullptr;
    if (crtc) {
      lit.push_back(resources->outputs[i]);
      areas.push_back({crtc->x, crtc->y, static_cast<int>(crtc->width), static_cast<int>(crtc->height),
                       resources->outputs[i] == primary});
      XRRFreeCrtcInfo(crtc);
    }
    if (info) XRRFreeOutputInfo(info);
  }
  const int chosen = desktop_origin_monitor(areas);
  return chosen < 0 ? 0 : lit[chosen];
}

const XRRModeInfo* FindModeInfo(XRRScreenResources* resources, RRMode id) {
  for (int i = 0; i < resources->nmode; ++i) {
    if (resources->modes[i].id == id) return &resources->modes[i];
  }
  return nullptr;
}

// Switches the output to its first mode of exactly width x height (any refresh rate) and
// remembers the mode that was current. False when there is no such mode.
bool SwitchMode(Display* display, int width, int height, SavedMode& saved) {
  saved = SavedMode{};
  int event_base = 0, error_base = 0;
  if (!XRRQueryExtension(display, &event_base, &error_base)) return false;
  const Window root = RootWindow(display, DefaultScreen(display));
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
  if (!resources) return false;
  bool found = false;
  const RROutput output = ChooseOutput(display, root, resources);
  XRROutputInfo* output_info = output ? XRRGetOutputInfo(display, resources, output) : nullptr;
  XRRCrtcInfo* crtc_info = output_info ? XRRGetCrtcInfo(display, resources, output_info->crtc) : nullptr;
  // A current mode of that size is kept as it is: another of the same size may differ in refresh.
  const XRRModeInfo* current = crtc_info ? FindModeInfo(resources, crtc_info->mode) : nullptr;
  if (current && static_cast<int>(current->width) == width && static_cast<int>(current->height) == height &&
      crtc_info->x == 0 && crtc_info->y == 0) {
    found = true;
  }
  if (crtc_info && !found) {
    for (int i = 0; i < output_info->nmode && !found; ++i) {
      const XRRModeInfo* mode = FindModeInfo(resources, output_info->modes[i]);
      if (!mode || static_cast<int>(mode->width) != width || static_cast<int>(mode->height) != height) continue;
      saved.crtc = output_info->crtc;
      saved.mode = crtc_info->mode;
      saved.x = crtc_info->x;
      saved.y = crtc_info->y;
      saved.rotation = crtc_info->rotation;
      saved.outputs.assign(crtc_info->outputs, crtc_info->outputs + crtc_info->noutput);
      saved.switched = XRRSetCrtcConfig(display, resources, saved.crtc, CurrentTime, 0, 0, mode->id,
                                        crtc_info->rotation, crtc_info->outputs, crtc_info->noutput) == Success;
      found = saved.switched;
    }
  }
  if (crtc_info) XRRFreeCrtcInfo(crtc_info);
  if (output_info) XRRFreeOutputInfo(output_info);
  XRRFreeScreenResources(resources);
  return found;
}

void RestoreMode(Display* display, SavedMode& saved) {
  if (!saved.switched) return;
  const Window root = RootWindow(display, DefaultScreen(display));
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
  if (resources) {
    XRRSetCrtcConfig(display, resources, saved.crtc, CurrentTime, saved.x, saved.y, saved.mode,
                     saved.rotation, saved.outputs.data(), static_cast<int>(saved.outputs.size()));
    XRRFreeScreenResources(resources);
  }
  XSync(display, False);
  saved = SavedMode{};
}

// ---- Windowed form: GTK signal handlers ----

// Key events go to the keyboard service and stop there, so that GTK does not act on them.
gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer) {
  if (!ScreenHooks.key_hook) return TRUE;
  ScreenHooks.key_hook(event->type == GDK_KEY_PRESS ? kKeyPressed : kKeyReleased, event->keyval);
  return TRUE;
}

gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer) {
  TheScreen.active = true;
  return FALSE;
}

// Keys held when the focus goes would never see their release: the keyboard forgets them.
gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer) {
  if (ScreenHooks.focus_lost_hook) ScreenHooks.focus_lost_hook();
  TheScreen.active = false;
  return FALSE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer) {
  if (ScreenHooks.mouse_hook) ScreenHooks.mouse_hook(static_cast<int>(event->x), static_cast<int>(event->y), -1, 0);
  return FALSE;
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer) {
  if (ScreenHooks.mouse_hook) {
    ScreenHooks.mouse_hook(-1, -1, static_cast<int>(event->button), event->type == GDK_BUTTON_RELEASE ? 0 : 1);
  }
  return TRUE;
}

void StretchArea(int window_width, int window_height) {
  const int width = std::max(1, window_width - TheScreen.x - TheScreen.right_offset);
  const int height = std::max(1, window_height - TheScreen.y - TheScreen.bottom_offset);
  gtk_widget_set_size_request(TheScreen.area, width, height);
}

void OnHostSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer) {
  if (TheScreen.auto_stretch && TheScreen.area) StretchArea(allocation->width, allocation->height);
}

// The logical screen size stays; the picture is stretched over the area's allocation.
// The allocation is in the toolkit's units; the GL drawable is in device pixels.
void OnAreaSizeAllocate(GtkWidget* area, GdkRectangle* allocation, gpointer) {
  if (!TheScreen.glx_context) return;
  glXMakeCurrent(TheScreen.x_display, TheScreen.x_window, TheScreen.glx_context);
  const int scale = gtk_widget_get_scale_factor(area);
  SetProjection(allocation->width * scale, allocation->height * scale);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void CloseWindowedParts() {
  GtkWidget* area = TheScreen.area;
  TheScreen.area = nullptr;  // first, so that its destroy handler leaves the screen alone
  if (area) gtk_widget_destroy(area);
  if (!TheScreen.host) return;
  for (gulong* handler : {&TheScreen.host_size_handler, &TheScreen.key_press_handler, &TheScreen.key_release_handler,
                          &TheScreen.focus_in_handler, &TheScreen.focus_out_handler}) {
    if (*handler) g_signal_handler_disconnect(TheScreen.host, *handler);
    *handler = 0;
  }
  g_object_remove_weak_pointer(G_OBJECT(TheScreen.host), reinterpret_cast<gpointer*>(&TheScreen.host));
  TheScreen.host = nullptr;
}

// The container that window_open made for the window's content, else the window itself.
GtkWidget* ContentContainer(GtkWindow* host) {
  auto* content = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(host), "content"));
  return content ? content : GTK_WIDGET(host);
}

void PlaceArea(GtkWidget* container, GtkWidget* area, int x, int y) {
  if (GTK_IS_FIXED(container)) {
    gtk_fixed_put(GTK_FIXED(container), area, x, y);
  } else {
    gtk_container_add(GTK_CONTAINER(container), area);
  }
}

// The drawing area inside the host's content, with a native X window of the GL visual (binding
// a context to a window of another visual fails). Returns its window, or null.
GdkWindow* MakeArea(GtkWindow* host, GdkVisual* visual, int x, int y, int width, int height) {
  TheScreen.area = gtk_drawing_area_new();
  gtk_widget_set_visual(TheScreen.area, visual);
  gtk_widget_set_app_paintable(TheScreen.area, TRUE);
  // GL double buffering does the work; GTK must not paint the area through a buffer of its own.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_widget_set_double_buffered(TheScreen.area, FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  PlaceArea(ContentContainer(host), TheScreen.area, x, y);
  gtk_widget_set_size_request(TheScreen.area, width, height);
  gtk_widget_add_events(TheScreen.area, GDK_POINTER_MOTION_MASK | GDK_POINTER_MOTION_HINT_MASK | GDK_BUTTON_PRESS_MASK |
                                            GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK);
  gtk_widget_show(TheScreen.area);
  gtk_widget_realize(TheScreen.area);
  GdkWindow* window = gtk_widget_get_window(TheScreen.area);
  if (!window || !gdk_window_ensure_native(window)) return nullptr;
  // The host may still be hidden and the area unallocated: give its X window the screen's size
  // now, since the GL drawable takes the size it has when the context is bound.
  gdk_window_move_resize(window, x, y, width, height);
  gdk_display_sync(gdk_window_get_display(window));
  glXWaitX();
  return window;
}

// The host window was closed while the screen was still open in it: the screen goes with it,
// before its drawable does, instead of drawing into a window that no longer exists.
void OnAreaDestroyed(GtkWidget* area, gpointer) {
  if (area != TheScreen.area) return;
  TheScreen.area = nullptr;
  screen_close();
}

void ConnectWindowedSignals(GtkWindow* host) {
  TheScreen.host_size_handler = g_signal_connect(host, "size-allocate", G_CALLBACK(OnHostSizeAllocate), nullptr);
  TheScreen.key_press_handler = g_signal_connect(host, "key-press-event", G_CALLBACK(OnKey), nullptr);
  TheScreen.key_release_handler = g_signal_connect(host, "key-release-event", G_CALLBACK(OnKey), nullptr);
  TheScreen.focus_in_handler = g_signal_connect(host, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
  TheScreen.focus_out_handler = g_signal_connect(host, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
  g_signal_connect(TheScreen.area, "destroy", G_CALLBACK(OnAreaDestroyed), nullptr);
  g_signal_connect(TheScreen.area, "size-allocate", G_CALLBACK(OnAreaSizeAllocate), nullptr);
  g_signal_connect(TheScreen.area, "motion-notify-event", G_CALLBACK(OnMotion), nullptr);
  g_signal_connect(TheScreen.area, "button-press-event", G_CALLBACK(OnButton), nullptr);
  g_signal_connect(TheScreen.area, "button-release-event", G_CALLBACK(OnButton), nullptr);
}

}  // namespace

// ---- Public functions ----

int screen_open(int width, int height, int depth, const Text&, int flip_mode) {
  screen_close();
  TheScreen.windowed = false;
  // The server the toolkit talks to, where the desktop sizes come from; DISPLAY without toolkit.
  Display* display = XOpenDisplay(toolkit_x_display_name());
  if (!display) return 0;
  TheScreen.x_display = display;
  TheScreen.x_screen = DefaultScreen(display);
  // A held key repeats as further presses only, never as a release and a press: the keyboard
  // must not take the repeat for the player letting go (the toolkit asks the same for a window).
  XkbSetDetectableAutoRepeat(display, True, nullptr);
  // The mode first: a size the display cannot show fails before any GL resource is made.
  if (!SwitchMode(display, width, height, TheScreen.saved_mode)) {
    screen_close();
    return 0;
  }
  XVisualInfo* visual = ChooseVisual(display, TheScreen.x_screen);
  TheScreen.glx_context = visual ? CreateContext(display, visual) : nullptr;
  if (!TheScreen.glx_context) {
    if (visual) XFree(visual);
    screen_close();
    return 0;
  }
  const Window root = RootWindow(display, TheScreen.x_screen);
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  attributes.border_pixel = 0;
  attributes.override_redirect = True;
  attributes.event_mask = kFullScreenEventMask;
  TheScreen.x_window = XCreateWindow(display, root, 0, 0, width, height, 0, visual->depth, InputOutput, visual->visual,
                                  CWBorderPixel | CWOverrideRedirect | CWEventMask | CWColormap, &attributes);
  XFree(visual);
  XWarpPointer(display, None, TheScreen.x_window, 0, 0, 0, 0, width / 2, height / 2);
  XMapRaised(display, TheScreen.x_window);
  TakeKeyboardFocus(display, TheScreen.x_window);
  if (!SetUpGl(width, height, depth, flip_mode)) {
    screen_close();
    return 0;
  }
  screen_pump_events();
  TheScreen.hidden_cursor = MakeHiddenCursor(display, TheScreen.x_window);
  XDefineCursor(display, TheScreen.x_window, TheScreen.hidden_cursor);
  return 1;
}

int screen_open_windowed(GtkWindow* host, int x, int y, int width, int height, int auto_stretch,
                         int right_offset, int bottom_offset, int flip_mode) {
  screen_close();
  if (!host || !GTK_IS_WINDOW(host)) return 0;
  GdkDisplay* gdk_display = gtk_widget_get_display(GTK_WIDGET(host));
  if (!GDK_IS_X11_DISPLAY(gdk_display)) return 0;
  TheScreen.windowed = true;
  TheScreen.host = host;
  // Forget the host if someone destroys it before the screen closes.
  g_object_add_weak_pointer(G_OBJECT(host), reinterpret_cast<gpointer*>(&TheScreen.host));
  TheScreen.x = x;
  TheScreen.y = y;
  TheScreen.auto_stretch = auto_stretch != 0;
  TheScreen.right_offset = right_offset;
  TheScreen.bottom_offset = bottom_offset;

  Display* display = gdk_x11_display_get_xdisplay(gdk_display);
  GdkScreen* gdk_screen = gtk_widget_get_screen(GTK_WIDGET(host));
  const int x_screen = gdk_x11_screen_get_screen_number(gdk_screen);
  XVisualInfo* visual = ChooseVisual(display, x_screen);
  GdkVisual* gdk_visual = visual ? gdk_x11_screen_lookup_visual(gdk_screen, visual->visualid) : nullptr;
  GdkWindow* area_window = gdk_visual ? MakeArea(host, gdk_visual, x, y, width, height) : nullptr;
  if (!area_window) {
    if (visual) XFree(visual);
    screen_close();
    return 0;
  }
  TheScreen.x_display = display;
  TheScreen.x_screen = x_screen;
  TheScreen.x_window = gdk_x11_window_get_xid(area_window);
  // A context the server refuses comes back as an X error, which the toolkit would take as fatal
  // and end the process with; it is a failure to open like any other.
  gdk_x11_display_error_trap_push(gdk_display);
  TheScreen.glx_context = CreateContext(display, visual);
  const int refused = gdk_x11_display_error_trap_pop(gdk_display);
  if (refused && TheScreen.glx_context) {
    glXDestroyContext(display, TheScreen.glx_context);
    TheScreen.glx_context = nullptr;
  }
  XFree(visual);
  if (!TheScreen.glx_context || !SetUpGl(width, height, 32, flip_mode)) {
    screen_close();
    return 0;
  }
  int window_width = 0, window_height = 0;
  gtk_window_get_size(host, &window_width, &window_height);
  if (TheScreen.auto_stretch) StretchArea(window_width, window_height);
  ConnectWindowedSignals(host);
  // Made for the area but not applied: the pointer stays visible in a window.
  TheScreen.hidden_cursor = MakeHiddenCursor(display, TheScreen.x_window);
  return 1;
}

int screen_flip() {
  if (!TheScreen.x_display) return 1;
  glXSwapBuffers(TheScreen.x_display, TheScreen.x_window);
  if (!TheScreen.windowed) screen_pump_events();
  if (TheScreen.fps_limit > 0) WaitForFrameEnd();
  return 1;
}

int screen_is_active() { return TheScreen.x_display && TheScreen.active ? 1 : 0; }

void screen_close() {
  if (!TheScreen.x_display) {
    if (TheScreen.windowed) CloseWindowedParts();  // a windowed opening that failed half-way
    TheScreen.windowed = false;
    return;
  }
  if (TheScreen.glx_context) sprite_free(-1);
  Display* display = TheScreen.x_display;
  if (TheScreen.hidden_cursor) XFreeCursor(display, TheScreen.hidden_cursor);
  if (TheScreen.glx_context) {
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, TheScreen.glx_context);
  }
  if (TheScreen.windowed) {
    CloseWindowedParts();
  } else {
    RestoreMode(display, TheScreen.saved_mode);
    XCloseDisplay(display);  // also destroys the window
  }
  const bool looked_up = TheScreen.swap_interval_looked_up;
  const auto swap_interval_fn = TheScreen.swap_interval_fn;
  const int fps_limit = TheScreen.fps_limit;
  const int64_t pace_anchor_us = TheScreen.pace_anchor_us, pace_frame = TheScreen.pace_frame;
  TheScreen = ScreenState{};
  TheScreen.swap_interval_looked_up = looked_up;
  TheScreen.swap_interval_fn = swap_interval_fn;
  TheScreen.fps_limit = fps_limit;
  TheScreen.pace_anchor_us = pace_anchor_us;
  TheScreen.pace_frame = pace_frame;
}

int screen_set_frame_rate(int fps) {
  if (fps < 0) return 1;
  TheScreen.fps_limit = fps;
  if (fps > 0) {
    TheScreen.pace_anchor_us = NowMicroseconds();
    TheScreen.pace_frame = 0;
  }
  return 1;
}

void screen_shutdown() { screen_close(); }

void screen_take_focus() {
  if (!TheScreen.x_display || TheScreen.windowed || !TheScreen.x_window) return;
  XWindowAttributes attributes{};
  // Focusing a window that is not viewable is a protocol error that would end the program.
  if (XGetWindowAttributes(TheScreen.x_display, TheScreen.x_window, &attributes) &&
      attributes.map_state == IsViewable) {
    XSetInputFocus(TheScreen.x_display, TheScreen.x_window, RevertToNone, CurrentTime);
  }
}

void screen_pump_events() {
  if (!TheScreen.x_display || TheScreen.windowed) return;
  Display* display = TheScreen.x_display;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case KeyPress:
      case KeyRelease:
        if (ScreenHooks.key_hook) {
          ScreenHooks.key_hook(event.type == KeyPress ? kKeyPressed : kKeyReleased, XLookupKeysym(&event.xkey, 0));
        }
        break;
      case ButtonPress:
      case ButtonRelease:
        if (ScreenHooks.mouse_hook) {
          ScreenHooks.mouse_hook(-1, -1, static_cast<int>(event.xbutton.button), event.type == ButtonPress ? 1 : 0);
        }
        break;
      case MotionNotify:
        if (ScreenHooks.mouse_hook) ScreenHooks.mouse_hook(event.xmotion.x, event.xmotion.y, -1, 0);
        break;
      default:
        break;
    }
  }
}

int screen_is_open() { return TheScreen.x_display && TheScreen.glx_context ? 1 : 0; }
int screen_width() { return TheScreen.x_display ? TheScreen.width : 0; }
int screen_height() { return TheScreen.x_display ? TheScreen.height : 0; }
unsigned screen_texture_target() { return TheScreen.texture_target; }
