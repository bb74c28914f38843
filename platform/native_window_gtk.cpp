#include "platform/native_window.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/window.h>

#include "platform/media_player.h"

namespace zephra {

unsigned long nativeWindowId(wxWindow* window) {
  GtkWidget* widget = window->GetHandle();
  gtk_widget_realize(widget);
  GdkWindow* gdkWindow = window->GTKGetDrawingWindow();
  if (!gdkWindow) gdkWindow = gtk_widget_get_window(widget);
  if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow))
    throw MediaPlayerError("the media player needs the X11 display backend (GDK_BACKEND=x11)");
  return GDK_WINDOW_XID(gdkWindow);
}

}  // namespace zephra
