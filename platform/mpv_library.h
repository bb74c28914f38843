// libmpv, loaded when the first player engine starts instead of with the program: the directory
// view does not wait for the ~120 libraries the engine pulls in.
#pragma once

#include <mpv/client.h>

namespace zephra {

struct MpvLibrary {
  decltype(&mpv_create) create;
  decltype(&mpv_initialize) initialize;
  decltype(&mpv_terminate_destroy) terminateDestroy;
  decltype(&mpv_set_option_string) setOptionString;
  decltype(&mpv_command) command;
  decltype(&mpv_command_node) commandNode;
  decltype(&mpv_free_node_contents) freeNodeContents;
  decltype(&mpv_set_property) setProperty;
  decltype(&mpv_set_property_string) setPropertyString;
  decltype(&mpv_get_property) getProperty;
  decltype(&mpv_get_property_string) getPropertyString;
  decltype(&mpv_free) free;
  decltype(&mpv_observe_property) observeProperty;
  decltype(&mpv_request_log_messages) requestLogMessages;
  decltype(&mpv_set_wakeup_callback) setWakeupCallback;
  decltype(&mpv_wait_event) waitEvent;
  decltype(&mpv_error_string) errorString;
};

// Loads the library on first call; throws MediaPlayerError with the loader's message when it
// is missing or lacks a function.
const MpvLibrary& mpvLibrary();
// True once mpvLibrary() has loaded it.
bool mpvLibraryLoaded();

}  // namespace zephra
