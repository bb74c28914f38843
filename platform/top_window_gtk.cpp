#include "platform/top_window.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/toplevel.h>

namespace zephra {

namespace {

GtkWindow* gtkWindow(wxTopLevelWindow& window) { return GTK_WINDOW(window.GetHandle()); }

}  // namespace

bool userResizable(wxTopLevelWindow& window) { return gtk_window_get_resizable(gtkWindow(window)); }

void setUserResizable(wxTopLevelWindow& window, bool resizable) {
  gtk_window_set_resizable(gtkWindow(window), resizable);
  // GTK sends the new hints only at its next resize; a full-screen request made before that
  // would still meet the old ones.
  GdkWindow* native = gtk_widget_get_window(GTK_WIDGET(gtkWindow(window)));
  if (native && resizable) {
    GdkGeometry none{};
    gdk_window_set_geometry_hints(native, &none, GdkWindowHints(0));
  }
}

void takeTimeOfCurrentInput(wxTopLevelWindow& window) {
  GtkWidget* widget = GTK_WIDGET(gtkWindow(window));
  GdkDisplay* display = gtk_widget_get_display(widget);
  if (!GDK_IS_X11_DISPLAY(display)) return;  // elsewhere the toolkit passes the time on itself
  guint32 time = gtk_get_current_event_time();
  // Called outside an input event (a menu choice handled later): the user's latest input.
  if (time == GDK_CURRENT_TIME) time = gdk_x11_display_get_user_time(display);
  if (time == GDK_CURRENT_TIME) return;  // a time of 0 would tell the window manager "do not focus"
  gtk_widget_realize(widget);
  if (GdkWindow* native = gtk_widget_get_window(widget)) gdk_x11_window_set_user_time(native, time);
}

bool windowManagerDoesFullScreen(wxTopLevelWindow& window) {
  GdkScreen* screen = gtk_window_get_screen(gtkWindow(window));
  if (!GDK_IS_X11_SCREEN(screen)) return true;  // other display servers always have a compositor
  return gdk_x11_screen_supports_net_wm_hint(screen, gdk_atom_intern_static_string("_NET_WM_STATE_FULLSCREEN"));
}

}  // namespace zephra
