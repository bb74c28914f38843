#include "platform/web_process_gtk.h"

#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include <glib-object.h>

namespace zephra {

namespace {

using Constructor = GObject* (*)(GType, guint, GObjectConstructParam*);

Constructor g_webKitConstructor = nullptr;
GParamSpec* g_relatedViewProperty = nullptr;
int g_scopeDepth = 0;
// Views made under a scope and still alive, oldest first: the oldest is the anchor.
std::vector<GObject*> g_views;

void forgetView(gpointer, GObject* finalized) {
  g_views.erase(std::remove(g_views.begin(), g_views.end(), finalized), g_views.end());
}

// The class constructor of WebKitWebView while a scope is open: adds "related-view" when the
// caller named none.
GObject* constructRelated(GType type, guint count, GObjectConstructParam* params) {
  if (g_scopeDepth == 0 || g_views.empty()) {
    GObject* view = g_webKitConstructor(type, count, params);
    if (g_scopeDepth > 0 && view) {
      g_object_weak_ref(view, forgetView, nullptr);
      g_views.push_back(view);
    }
    return view;
  }
  std::vector<GObjectConstructParam> withRelated(params, params + count);
  GValue anchor = G_VALUE_INIT;
  g_value_init(&anchor, G_PARAM_SPEC_VALUE_TYPE(g_relatedViewProperty));
  g_value_set_object(&anchor, g_views.front());
  bool named = false;
  for (GObjectConstructParam& param : withRelated) {
    if (param.pspec != g_relatedViewProperty) continue;
    if (!g_value_get_object(param.value)) param.value = &anchor;
    named = true;
  }
  if (!named) withRelated.push_back({g_relatedViewProperty, &anchor});
  GObject* view = g_webKitConstructor(type, static_cast<guint>(withRelated.size()), withRelated.data());
  g_value_unset(&anchor);
  if (view) {
    g_object_weak_ref(view, forgetView, nullptr);
    g_views.push_back(view);
  }
  return view;
}

// WebKit's view type, reached through the library wx has loaded (no WebKit headers needed).
GType webKitViewType() {
  using TypeGetter = GType (*)();
  const auto getType = reinterpret_cast<TypeGetter>(dlsym(RTLD_DEFAULT, "webkit_web_view_get_type"));
  return getType ? getType() : 0;
}

// Once per process. Without WebKit or its "related-view" property nothing changes: each view
// then simply runs in a web process of its own.
void installConstructor() {
  static bool tried = false;
  if (tried) return;
  tried = true;
  const GType type = webKitViewType();
  if (!type) return;
  auto* viewClass = static_cast<GObjectClass*>(g_type_class_ref(type));
  GParamSpec* related = g_object_class_find_property(viewClass, "related-view");
  if (!related || !(related->flags & G_PARAM_CONSTRUCT_ONLY) ||
      !g_type_is_a(G_PARAM_SPEC_VALUE_TYPE(related), type))
    return;  // the class stays referenced: it lives as long as the process anyway
  g_relatedViewProperty = related;
  g_webKitConstructor = viewClass->constructor;
  viewClass->constructor = constructRelated;
}

}  // namespace

SharedWebProcessScope::SharedWebProcessScope() {
  installConstructor();
  ++g_scopeDepth;
}

SharedWebProcessScope::~SharedWebProcessScope() { --g_scopeDepth; }

}  // namespace zephra
