// The right button is kept from every WebKit view by a handler on the view's own button
// signals, which runs before WebKit's and ends the emission. A process-wide GDK event handler
// would not hold: wxYield swaps the GDK handler and resets it to gtk_main_do_event afterwards.
// Views that exist at install get the handler at once; later ones when they are realized (a
// widget gets no pointer events before that), through an emission hook on "realize".
#include "platform/mouse_filter.h"

#include <map>
#include <utility>

#include <gtk/gtk.h>

namespace zephra {

namespace {

struct Connection {
  gulong press = 0;
  gulong release = 0;
};

std::map<GtkWidget*, Connection> g_views;
guint g_realizeSignal = 0;
gulong g_realizeHook = 0;

bool isWebKitView(GtkWidget* widget) {
  // Looked up by name: the type exists only once the WebKit library has made a view.
  const GType webKitView = g_type_from_name("WebKitWebView");
  return webKitView != 0 && g_type_is_a(G_OBJECT_TYPE(widget), webKitView);
}

gboolean swallowRightButton(GtkWidget*, GdkEventButton* event, gpointer) {
  // Double clicks (GDK_2BUTTON_PRESS) and every other button pass.
  const bool plain = event->type == GDK_BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE;
  return plain && event->button == 3 ? TRUE : FALSE;
}

void forgetView(gpointer, GObject* finalized) {
  g_views.erase(reinterpret_cast<GtkWidget*>(finalized));
}

void attach(GtkWidget* widget) {
  if (!isWebKitView(widget) || g_views.count(widget)) return;
  Connection c;
  c.press = g_signal_connect(widget, "button-press-event", G_CALLBACK(swallowRightButton), nullptr);
  c.release =
      g_signal_connect(widget, "button-release-event", G_CALLBACK(swallowRightButton), nullptr);
  g_object_weak_ref(G_OBJECT(widget), forgetView, nullptr);
  g_views.emplace(widget, c);
}

void attachTree(GtkWidget* widget, gpointer) {
  attach(widget);
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), attachTree, nullptr);
}

gboolean onRealize(GSignalInvocationHint*, guint count, const GValue* params, gpointer) {
  if (count > 0) {
    if (GObject* object = static_cast<GObject*>(g_value_peek_pointer(&params[0]));
        object && GTK_IS_WIDGET(object))
      attach(GTK_WIDGET(object));
  }
  return TRUE;  // stay installed
}

}  // namespace

bool MouseFilter::install() {
  if (installed()) return true;
  g_realizeSignal = g_signal_lookup("realize", GTK_TYPE_WIDGET);
  if (g_realizeSignal == 0) return false;
  g_realizeHook = g_signal_add_emission_hook(g_realizeSignal, 0, onRealize, nullptr, nullptr);
  if (g_realizeHook == 0) return false;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* it = toplevels; it; it = it->next) attachTree(GTK_WIDGET(it->data), nullptr);
  g_list_free(toplevels);
  return true;
}

void MouseFilter::remove() {
  if (!installed()) return;
  g_signal_remove_emission_hook(g_realizeSignal, g_realizeHook);
  g_realizeHook = 0;
  for (const auto& [widget, c] : std::exchange(g_views, {})) {
    g_signal_handler_disconnect(widget, c.press);
    g_signal_handler_disconnect(widget, c.release);
    g_object_weak_unref(G_OBJECT(widget), forgetView, nullptr);
  }
}

bool MouseFilter::installed() { return g_realizeHook != 0; }

}  // namespace zephra
