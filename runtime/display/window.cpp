// Desktop windows: GTK top-level windows with a fixed content container, their events turned into
// a queue of codes for the game's main loop, and the monitor table of the desktop.
// Depends on GTK 3 (initialised through toolkit_init) and the object-number table.
#include "runtime/display/window.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <deque>
#include <vector>

#include "runtime/display/desktop_layout.h"
#include "runtime/display/toolkit.h"
#include "runtime/runtime.h"

namespace {

// ---- Constants ----

constexpr gint64 kMapWaitMicroseconds = 2000000;

// ---- Types ----

struct WindowObject;

struct WindowEvent {
  int code = 0;
  int64_t gadget = 0;
  int64_t window = 0;  // handle of the window it came from
  int type = 0;        // the toolkit event type behind it
};

struct WindowObject {
  int64_t handle = 0;
  GtkWindow* window = nullptr;  // null once GTK destroyed it
  GtkWidget* content = nullptr;
  int flags = 0;
  int last_x = 0, last_y = 0, last_width = 0, last_height = 0;
  bool hidden_position_valid = false;
  int hidden_x = 0, hidden_y = 0;
  guint focus_timer = 0;
  ~WindowObject();
};

struct DesktopInfo {
  int16_t x = 0, y = 0, width = 0, height = 0;
  int16_t refresh = 0;
  int16_t depth = 0;
  Text name;
};

// ---- State ----

struct WindowState {
  std::deque<WindowEvent> queue;
  std::vector<DesktopInfo> desktops;
  ObjectTable<WindowObject> windows;  // last, so that its windows go while the queue still exists
};

WindowState Windows;

// ---- Event queue ----

// A burst of identical events (repaints above all) is delivered once.
void Push(const WindowObject* object, int code, int type) {
  WindowEvent event{code, 0, object->handle, type};
  if (!Windows.queue.empty()) {
    const WindowEvent& last = Windows.queue.back();
    if (last.code == code && last.gadget == event.gadget && last.window == event.window && last.type == type) return;
  }
  Windows.queue.push_back(event);
}

int PopCode() {
  if (Windows.queue.empty()) return kEventNone;
  const int code = Windows.queue.front().code;
  Windows.queue.pop_front();
  return code;
}

WindowObject::~WindowObject() {
  std::erase_if(Windows.queue, [this](const WindowEvent& event) { return event.window == handle; });
  if (focus_timer) g_source_remove(focus_timer);
  if (window) {
    g_signal_handlers_disconnect_by_data(window, this);
    if (content) g_signal_handlers_disconnect_by_data(content, this);
    gtk_widget_destroy(GTK_WIDGET(window));
  }
}

// ---- Signal handlers (data: the WindowObject) ----

WindowObject* Self(gpointer data) { return static_cast<WindowObject*>(data); }

gboolean OnDelete(GtkWidget*, GdkEvent* event, gpointer data) {
  Push(Self(data), kEventCloseRequest, event->type);
  return TRUE;  // the game decides whether the window goes
}

void OnDestroy(GtkWidget*, gpointer data) {
  Self(data)->window = nullptr;
  Self(data)->content = nullptr;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
  WindowObject* self = Self(data);
  if (event->width != self->last_width || event->height != self->last_height) {
    Push(self, kEventResized, event->type);
  } else if (event->x != self->last_x || event->y != self->last_y) {
    Push(self, kEventMoved, event->type);
  }
  self->last_x = event->x;
  self->last_y = event->y;
  self->last_width = event->width;
  self->last_height = event->height;
  return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
  const GdkWindowState changed = event->changed_mask;
  const GdkWindowState state = event->new_window_state;
  const bool iconified = state & GDK_WINDOW_STATE_ICONIFIED;
  const bool maximized = state & GDK_WINDOW_STATE_MAXIMIZED;
  const bool size_state_changed = changed & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED);
  if ((changed & GDK_WINDOW_STATE_ICONIFIED) && iconified) {
    Push(Self(data), kEventMinimized, event->type);
  } else if (size_state_changed && maximized && !iconified) {
    // Also a maximised window that comes back from being minimised: it is maximised again.
    Push(Self(data), kEventMaximized, event->type);
  } else if (size_state_changed && !iconified && !maximized) {
    Push(Self(data), kEventRestored, event->type);
  }
  return FALSE;
}

gboolean OnFocusIn(GtkWidget*, GdkEventFocus* event, gpointer data) {
  Push(Self(data), kEventActivated, event->type);
  return FALSE;
}

gboolean OnFocusOut(GtkWidget*, GdkEventFocus* event, gpointer data) {
  Push(Self(data), kEventDeactivated, event->type);
  return FALSE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  Push(Self(data), kEventMouseMoved, event->type);
  return FALSE;
}

gboolean AcceptFocusAgain(gpointer data) {
  WindowObject* self = Self(data);
  self->focus_timer = 0;
  if (self->window) gtk_window_set_accept_focus(self->window, TRUE);
  return G_SOURCE_REMOVE;
}

gboolean OnDraw(GtkWidget*, cairo_t*, gpointer data) {
  WindowObject* self = Self(data);
  Push(self, kEventRepaint, GDK_EXPOSE);
  // A window shown without taking the focus accepts it again shortly after its first repaint.
  if ((self->flags & kWindowNoFocus) && self->window && !gtk_window_get_accept_focus(self->window) &&
      !self->focus_timer) {
    self->focus_timer = g_timeout_add(50, AcceptFocusAgain, self);
  }
  return FALSE;
}

gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
  if (event->type == GDK_2BUTTON_PRESS && event->button == 1) Push(Self(data), kEventLeftDoubleClick, event->type);
  return FALSE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  if (event->button == 3) Push(Self(data), kEventRightClick, event->type);
  if (event->button == 1) Push(Self(data), kEventLeftClick, event->type);
  return FALSE;
}

// ---- Opening ----

void ApplyDecorations(WindowObject* self, int flags) {
  const bool sizeable = flags & (kWindowSizeable | kWindowMaximizeButton);
  int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE | (sizeable ? GDK_FUNC_RESIZE : 0);
  int decorations = GDK_DECOR_BORDER | GDK_DECOR_TITLE | (sizeable ? GDK_DECOR_RESIZEH : 0);
  if (flags & kWindowMinimizeButton) {
    decorations |= GDK_DECOR_MINIMIZE;
    functions |= GDK_FUNC_MINIMIZE;
  }
  if (flags & kWindowMaximizeButton) {
    decorations |= GDK_DECOR_MAXIMIZE;
    functions |= GDK_FUNC_MAXIMIZE;
  }
  if (flags & kWindowSystemMenu) decorations |= GDK_DECOR_MENU;
  if (flags & kWindowBorderless) decorations = 0;
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(self->window));
  gdk_window_set_decorations(gdk_window, static_cast<GdkWMDecoration>(decorations));
  gdk_window_set_functions(gdk_window, static_cast<GdkWMFunction>(functions));
}

// The monitors of the display in the toolkit's order, and which of them is desktop 0.
std::vector<MonitorArea> MonitorAreas(GdkDisplay* display) {
  std::vector<MonitorArea> areas;
  const int count = display ? gdk_display_get_n_monitors(display) : 0;
  for (int i = 0; i < count; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    GdkRectangle geometry{};
    if (monitor) gdk_monitor_get_geometry(monitor, &geometry);
    areas.push_back({geometry.x, geometry.y, geometry.width, geometry.height, monitor && gdk_monitor_is_primary(monitor)});
  }
  return areas;
}

// Centred on desktop 0, not on the whole desktop: on two monitors side by side that would put
// the window across the seam between them.
void CentreOnScreen(WindowObject* self) {
  int width = self->last_width, height = self->last_height;
  if (width <= 0 || height <= 0) {
    GdkRectangle frame{};
    gdk_window_get_frame_extents(gtk_widget_get_window(GTK_WIDGET(self->window)), &frame);
    width = frame.width;
    height = frame.height;
  }
  const std::vector<MonitorArea> areas = MonitorAreas(gtk_widget_get_display(GTK_WIDGET(self->window)));
  const int origin = desktop_origin_monitor(areas);
  MonitorArea desktop;
  if (origin >= 0) {
    desktop = areas[origin];
  } else {
    GdkWindow* root = gdk_screen_get_root_window(gtk_window_get_screen(self->window));
    desktop = {0, 0, gdk_window_get_width(root), gdk_window_get_height(root), true};
  }
  const WindowPosition at = desktop_centred(desktop, width, height);
  gtk_window_move(self->window, at.x, at.y);
}

// The content: a fixed container with a window of its own, so that repaints and clicks of the
// content area can be told from those of the frame.
void AddContent(WindowObject* self) {
  GtkWidget* content = gtk_fixed_new();
  gtk_widget_set_has_window(content, TRUE);
  gtk_widget_add_events(content, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  gtk_container_add(GTK_CONTAINER(self->window), content);
  gtk_widget_show(content);
  self->content = content;
  g_object_set_data(G_OBJECT(self->window), "content", content);
  g_signal_connect(content, "draw", G_CALLBACK(OnDraw), self);
  g_signal_connect(content, "button-press-event", G_CALLBACK(OnButtonPress), self);
  g_signal_connect(content, "button-release-event", G_CALLBACK(OnButtonRelease), self);
  GtkWidget* window = GTK_WIDGET(self->window);
  gtk_widget_add_events(window, GDK_POINTER_MOTION_MASK | GDK_STRUCTURE_MASK | GDK_FOCUS_CHANGE_MASK);
  g_signal_connect(window, "destroy", G_CALLBACK(OnDestroy), self);
  g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), self);
  g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState), self);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), self);
  g_signal_connect(window, "focus-in-event", G_CALLBACK(OnFocusIn), self);
  g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocusOut), self);
  g_signal_connect(window, "motion-notify-event", G_CALLBACK(OnMotion), self);
}

void ProcessPendingEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Shows the window and gives the window manager a moment to map it. Unlike a wait without
// limit, a manager that never maps the window (or maps it much later) cannot hang the game.
void ShowAndWaitForMap(GtkWindow* window) {
  gtk_widget_show(GTK_WIDGET(window));
  const gint64 deadline = g_get_monotonic_time() + kMapWaitMicroseconds;
  while (!gtk_widget_get_mapped(GTK_WIDGET(window)) && g_get_monotonic_time() < deadline) {
    if (gtk_events_pending()) {
      gtk_main_iteration_do(FALSE);
    } else {
      g_usleep(1000);
    }
  }
  ProcessPendingEvents();
}

}  // namespace

// ---- Public functions ----

int64_t window_open(int64_t number, int x, int y, int width, int height, const Text& title, int flags) {
  if (!toolkit_init()) return 0;
  if (x == kWindowCentredPosition || y == kWindowCentredPosition) flags |= kWindowCentred;
  int64_t handle = 0;
  WindowObject* self = Windows.windows.Create(number, &handle);
  if (!self) return 0;
  self->handle = handle;
  self->window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  if (!self->window) {
    Windows.windows.Free(handle);
    return 0;
  }
  gtk_window_set_title(self->window, text_to_utf8(title).c_str());
  gtk_window_set_default_size(self->window, width, height);
  self->last_width = width;
  self->last_height = height;
  if (!(flags & (kWindowCentred | kWindowCentredOnParent))) gtk_window_move(self->window, x, y);
  if (flags & (kWindowSizeable | kWindowMaximizeButton)) {
    gtk_widget_set_size_request(GTK_WIDGET(self->window), 30, 30);
  } else {
    gtk_window_set_resizable(self->window, FALSE);
    gtk_widget_set_size_request(GTK_WIDGET(self->window), width, height);
  }
  gtk_widget_realize(GTK_WIDGET(self->window));
  if (flags & kWindowTool) {
    gtk_window_set_type_hint(self->window, GDK_WINDOW_TYPE_HINT_UTILITY);
    gtk_window_set_skip_taskbar_hint(self->window, FALSE);
    gtk_window_set_skip_pager_hint(self->window, FALSE);
    flags &= ~(kWindowMaximizeButton | kWindowMinimizeButton | kWindowMaximized | kWindowMinimized);
  }
  self->flags = flags;
  ApplyDecorations(self, flags);
  // No parent window is ever given, so centring on the parent leaves the window where it is.
  if (flags & kWindowCentred) CentreOnScreen(self);
  AddContent(self);
  if (flags & kWindowMaximized) gtk_window_maximize(self->window);
  if (flags & kWindowMinimized) gtk_window_iconify(self->window);
  if (!(flags & kWindowInvisible)) {
    if (flags & kWindowNoFocus) gtk_window_set_accept_focus(self->window, FALSE);
    gtk_widget_show(GTK_WIDGET(self->window));
  }
  ProcessPendingEvents();
  return handle;
}

GtkWindow* window_handle(int64_t number) {
  WindowObject* self = Windows.windows.Find(number);
  return self ? self->window : nullptr;
}

void window_hide(int64_t number, int hide) {
  WindowObject* self = Windows.windows.Find(number);
  if (!self || !self->window) return;
  if (hide) {
    gtk_window_get_position(self->window, &self->hidden_x, &self->hidden_y);
    self->hidden_position_valid = true;
    gtk_widget_hide(GTK_WIDGET(self->window));
    return;
  }
  if ((self->flags & kWindowNoFocus) && !gtk_widget_get_visible(GTK_WIDGET(self->window))) {
    gtk_window_set_accept_focus(self->window, FALSE);
  }
  ShowAndWaitForMap(self->window);
  if (self->hidden_position_valid) gtk_window_move(self->window, self->hidden_x, self->hidden_y);
  self->hidden_position_valid = false;
}

void window_activate(int64_t number) {
  GtkWindow* window = window_handle(number);
  if (!window) return;
  // A window manager that guards the focus refuses a request without a time, or with one older
  // than the player's last key press: a window opened anew (after a change of the screen mode)
  // would then get no keys. The X server's own time is always recent enough.
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk_window && GDK_IS_X11_WINDOW(gdk_window)) {
    gtk_window_present_with_time(window, gdk_x11_get_server_time(gdk_window));
  } else {
    gtk_window_present(window);
  }
}

void window_set_state(int64_t number, int state) {
  GtkWindow* window = window_handle(number);
  if (!window) return;
  if (state == kWindowStateMaximized) {
    gtk_window_maximize(window);
  } else if (state == kWindowStateMinimized) {
    gtk_window_iconify(window);
  } else {
    gtk_window_unmaximize(window);
    gtk_window_deiconify(window);
  }
}

int window_event() {
  if (!Windows.queue.empty()) return PopCode();
  if (!toolkit_init() || !gtk_events_pending()) return PopCode();
  gtk_main_iteration_do(FALSE);
  return Windows.queue.empty() ? kEventCallAgain : PopCode();
}

void window_close(int64_t number) { Windows.windows.Free(number); }

int desktop_examine() {
  Windows.desktops.clear();
  if (!toolkit_init()) return 0;
  GdkDisplay* display = gdk_display_get_default();
  GdkScreen* screen = gdk_screen_get_default();
  if (!display || !screen) return 0;
  const std::vector<MonitorArea> areas = MonitorAreas(display);
  const int count = static_cast<int>(areas.size());
  if (count <= 0) return 0;
  Windows.desktops.resize(count);
  GdkVisual* visual = gdk_screen_get_system_visual(screen);
  // Desktop 0 is the monitor at the desktop's top-left corner; the others follow in toolkit order.
  const int origin = desktop_origin_monitor(areas);
  int next = origin < 0 ? 0 : 1;
  for (int i = 0; i < count; ++i) {
    const bool first = i == origin;
    if (!first && next >= count) continue;
    DesktopInfo& info = Windows.desktops[first ? 0 : next++];
    info.x = static_cast<int16_t>(areas[i].x);
    info.y = static_cast<int16_t>(areas[i].y);
    info.width = static_cast<int16_t>(areas[i].width);
    info.height = static_cast<int16_t>(areas[i].height);
    info.depth = static_cast<int16_t>(visual ? gdk_visual_get_depth(visual) : 0);
    info.name = first ? text_from_utf8(gdk_display_get_name(display)) : Text();
  }
  return count;
}

int desktop_width(int index) {
  if (index < 0 || index >= static_cast<int>(Windows.desktops.size())) return 0;
  return Windows.desktops[index].width;
}

int desktop_height(int index) {
  if (index < 0 || index >= static_cast<int>(Windows.desktops.size())) return 0;
  return Windows.desktops[index].height;
}
