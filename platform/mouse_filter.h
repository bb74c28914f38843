// Keeps every embedded web view of the process from seeing the right mouse button
// (so pages open no context menu and see no right clicks). Other buttons pass.
#pragma once

namespace zephra {

class MouseFilter {
 public:
  // Installs the filter for all web views of the process, present and future.
  // Returns false when it could not be installed.
  static bool install();
  // Removes it; harmless when it is not installed.
  static void remove();
  static bool installed();
};

}  // namespace zephra
