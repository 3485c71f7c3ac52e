// Message boxes on the X server: the dialog is found as a window by its title, answered with key
// presses sent through the server, and gone from the screen when the call returns.
#include "runtime/display/message_box.h"

// The test framework comes before the X headers, whose macros (None, Bool) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "runtime/display/toolkit.h"
#include "tests/support/x11_display.h"

namespace {

constexpr int kTickMs = 50;
constexpr int kGiveUpTicks = 200;  // ten seconds


// The message dialog of this process that is on the screen, or null.
GtkWidget* OpenMessageDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* dialog = nullptr;
  for (GList* item = windows; item; item = item->next) {
    if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data))) dialog = GTK_WIDGET(item->data);
  }
  g_list_free(windows);
  return dialog;
}

// Answers the dialog from inside its modal loop, the way a user would: once a window with the
// title is on the screen, focus it and press the keys (a modifier first when there is one).
struct Answerer {
  Display* display = nullptr;
  std::string title;
  KeySym modifier = NoSymbol;
  KeySym key = NoSymbol;
  int ticks = 0;
  int seen_ticks = 0;     // ticks since the window was first seen
  bool answered = false;
  std::string shown_text;  // the dialog's text as the toolkit shows it
};

void PressKey(Display* display, KeySym symbol, bool down) {
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down ? True : False, CurrentTime);
}

gboolean AnswerTick(gpointer data) {
  auto* answerer = static_cast<Answerer*>(data);
  if (++answerer->ticks > kGiveUpTicks) {
    // Nobody found the dialog: close it so that the test fails instead of hanging.
    if (GtkWidget* dialog = OpenMessageDialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
    return G_SOURCE_REMOVE;
  }
  const Window window = x11_find_viewable_window(answerer->display, DefaultRootWindow(answerer->display), answerer->title);
  if (!window) return G_SOURCE_CONTINUE;
  // Give the toolkit a moment to settle its focus and default button on the fresh window.
  if (answerer->seen_ticks++ < 2) return G_SOURCE_CONTINUE;
  if (GtkWidget* dialog = OpenMessageDialog()) {
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    answerer->shown_text = text ? text : "";
    g_free(text);
  }
  XSetInputFocus(answerer->display, window, RevertToParent, CurrentTime);
  if (answerer->modifier != NoSymbol) PressKey(answerer->display, answerer->modifier, true);
  PressKey(answerer->display, answerer->key, true);
  PressKey(answerer->display, answerer->key, false);
  if (answerer->modifier != NoSymbol) PressKey(answerer->display, answerer->modifier, false);
  XSync(answerer->display, False);
  answerer->answered = true;
  return G_SOURCE_REMOVE;
}

class MessageBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(toolkit_init(), 1);
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }

  // Shows a message box and answers it with the key (and modifier); returns the answer.
  int ShowAndAnswer(const std::string& title, const std::string& text, int flags, KeySym key,
                    KeySym modifier = NoSymbol) {
    answerer_ = Answerer();
    answerer_.display = display_;
    answerer_.title = title;
    answerer_.modifier = modifier;
    answerer_.key = key;
    const guint timer = g_timeout_add(kTickMs, AnswerTick, &answerer_);
    const int answer = message_box(text_from_utf8(title), text_from_utf8(text), flags);
    if (!answerer_.answered && answerer_.ticks <= kGiveUpTicks) g_source_remove(timer);
    EXPECT_TRUE(answerer_.answered) << "no window titled " << title << " appeared";
    XSync(display_, False);
    EXPECT_EQ(x11_find_viewable_window(display_, DefaultRootWindow(display_), title), 0u)
        << "the dialog is still on the screen";
    return answer;
  }

  Display* display_ = nullptr;
  Answerer answerer_;
};

TEST_F(MessageBoxTest, ReturnOnOkAnswersSixAndTheDialogIsGoneAfterwards) {
  EXPECT_EQ(ShowAndAnswer("Cratevale::Error", "Something went wrong.", 0, XK_Return), kMessageBoxYes);
  EXPECT_EQ(answerer_.shown_text, "Something went wrong.");
}

TEST_F(MessageBoxTest, PercentSignsInTheTextAreShownLiterally) {
  EXPECT_EQ(ShowAndAnswer("Cratevale::Percent", "Level %d of %s, 100%", 0, XK_Return), kMessageBoxYes);
  EXPECT_EQ(answerer_.shown_text, "Level %d of %s, 100%");
}

TEST_F(MessageBoxTest, EachButtonGivesItsAnswer) {
  struct ButtonCase {
    int flags;
    KeySym modifier, key;
    int answer;
  };
  const ButtonCase cases[] = {
      {kMessageBoxYesNo, XK_Alt_L, XK_y, kMessageBoxYes},
      {kMessageBoxYesNo, XK_Alt_L, XK_n, kMessageBoxNo},
      {kMessageBoxYesNoCancel, XK_Alt_L, XK_c, kMessageBoxCancel},
      {kMessageBoxYesNoCancel, XK_Alt_L, XK_n, kMessageBoxNo},
      {kMessageBoxYesNo | kMessageBoxYesNoCancel, XK_Alt_L, XK_y, kMessageBoxYes},
      {0, NoSymbol, XK_Escape, kMessageBoxNone},  // dismissed without a button
      {kMessageBoxYesNo, NoSymbol, XK_Escape, kMessageBoxNone},
  };
  int round = 0;
  for (const ButtonCase& c : cases) {
    const std::string title = "Cratevale::Question " + std::to_string(++round);
    SCOPED_TRACE(title);
    EXPECT_EQ(ShowAndAnswer(title, "Go on?", c.flags, c.key, c.modifier), c.answer);
  }
}

}  // namespace
