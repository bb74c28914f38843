#include <gtk/gtk.h>
#include <wx/checkbox.h>

#include "platform/check_box_look.h"

namespace zephra {

void makeCheckBoxCompact(wxCheckBox* box) {
  GtkWidget* widget = box->GetHandle();
  if (!widget) return;
  // The mark is a node inside the button, out of reach of a provider on the button's own style
  // context: a screen-wide rule picks this button by name instead.
  static const bool installed = [] {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider,
                                    "#zephra-compact-check { padding: 0; min-height: 0; }"
                                    "#zephra-compact-check check { min-width: 10px; min-height: 10px;"
                                    " margin: 1px 4px 1px 1px; }",
                                    -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    return true;
  }();
  (void)installed;
  gtk_widget_set_name(widget, "zephra-compact-check");
  box->InvalidateBestSize();
}

}  // namespace zephra
