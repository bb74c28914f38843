// Lets every browser the program makes share one WebKit web process.
//
// WebKit starts a web process of its own for each view unless the view is created "related" to
// an existing one, which wx 3.2 cannot ask for: its GTK backend makes the view itself, with
// webkit_web_view_new(). While a SharedWebProcessScope is alive, a view constructed on this
// thread is made related to a live view made under such a scope before (the first one becomes
// the anchor), so all of them share that view's web process, settings and content manager.
#pragma once

namespace zephra {

class SharedWebProcessScope {
 public:
  SharedWebProcessScope();
  ~SharedWebProcessScope();
  SharedWebProcessScope(const SharedWebProcessScope&) = delete;
  SharedWebProcessScope& operator=(const SharedWebProcessScope&) = delete;
};

}  // namespace zephra
