#include "platform/mpv_library.h"

#include <memory>
#include <string>

#include "platform/media_player.h"
#include "platform/shared_library.h"

namespace zephra {

namespace {

// The library of the client API the program was built against: its major version is the
// shared object's.
std::string libraryName() { return sharedLibraryFileName("mpv", MPV_CLIENT_API_VERSION >> 16); }

template <typename Function>
void bind(void* library, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(sharedLibraryFunction(library, name));
  if (!slot) throw MediaPlayerError(std::string("the media player library lacks ") + name);
}

std::unique_ptr<MpvLibrary> load() {
  // Never closed: the engine's threads run library code until the process ends.
  std::string error;
  void* library = openSharedLibrary(libraryName(), error);
  if (!library) throw MediaPlayerError("cannot load the media player library: " + error);
  auto lib = std::make_unique<MpvLibrary>();
  bind(library, "mpv_create", lib->create);
  bind(library, "mpv_initialize", lib->initialize);
  bind(library, "mpv_terminate_destroy", lib->terminateDestroy);
  bind(library, "mpv_set_option_string", lib->setOptionString);
  bind(library, "mpv_command", lib->command);
  bind(library, "mpv_command_node", lib->commandNode);
  bind(library, "mpv_free_node_contents", lib->freeNodeContents);
  bind(library, "mpv_set_property", lib->setProperty);
  bind(library, "mpv_set_property_string", lib->setPropertyString);
  bind(library, "mpv_get_property", lib->getProperty);
  bind(library, "mpv_get_property_string", lib->getPropertyString);
  bind(library, "mpv_free", lib->free);
  bind(library, "mpv_observe_property", lib->observeProperty);
  bind(library, "mpv_request_log_messages", lib->requestLogMessages);
  bind(library, "mpv_set_wakeup_callback", lib->setWakeupCallback);
  bind(library, "mpv_wait_event", lib->waitEvent);
  bind(library, "mpv_error_string", lib->errorString);
  return lib;
}

std::unique_ptr<MpvLibrary> g_library;

}  // namespace

const MpvLibrary& mpvLibrary() {
  if (!g_library) g_library = load();  // a failed load is tried again at the next start
  return *g_library;
}

bool mpvLibraryLoaded() { return g_library != nullptr; }

}  // namespace zephra
