// Message boxes: a modal GTK message dialog, answered and gone from the screen when the call
// returns.
#include "runtime/display/message_box.h"

#include <gtk/gtk.h>

#include <string>

#include "runtime/display/toolkit.h"

namespace {

// The answer for a dialog response; dismissing without a button answers kMessageBoxNone.
int AnswerFor(int response) {
  switch (response) {
    case GTK_RESPONSE_YES:
    case GTK_RESPONSE_OK:
      return kMessageBoxYes;
    case GTK_RESPONSE_NO:
      return kMessageBoxNo;
    case GTK_RESPONSE_CANCEL:
      return kMessageBoxCancel;
    default:
      return kMessageBoxNone;
  }
}

}  // namespace

int message_box(const Text& title, const Text& text, int flags) {
  // Without a desktop there is nobody to answer.
  if (!toolkit_init()) return kMessageBoxNone;
  const std::string title_utf8 = text_to_utf8(title);
  const std::string text_utf8 = text_to_utf8(text);
  const bool yes_no = flags & kMessageBoxYesNo;
  const bool yes_no_cancel = !yes_no && (flags & kMessageBoxYesNoCancel);
  const GtkButtonsType buttons = yes_no || yes_no_cancel ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK;
  // The text goes through "%s" so that percent signs in it are shown as they are.
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, buttons, "%s",
                                             text_utf8.c_str());
  if (yes_no_cancel) gtk_dialog_add_button(GTK_DIALOG(dialog), "_Cancel", GTK_RESPONSE_CANCEL);
  gtk_window_set_title(GTK_WINDOW(dialog), title_utf8.c_str());
  const int answer = AnswerFor(gtk_dialog_run(GTK_DIALOG(dialog)));
  gtk_widget_destroy(dialog);
  // Take the dialog off the screen before the caller goes on: the server has processed the
  // unmapping once the sync returns, and the toolkit has handled what followed.
  gdk_display_sync(gdk_display_get_default());
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return answer;
}
