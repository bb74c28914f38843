// The server's presence on the desktop: a top-level window, never shown, carrying the fixed
// title the player looks for to learn that a server already runs. Per-OS implementation beside
// this header, with no window toolkit: the server links none.
#pragma once

#include <stdexcept>
#include <string>

namespace zephra {

class PresenceWindowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PresenceWindow {
 public:
  // Connects to the display named by `display` ($DISPLAY when empty) and creates the window.
  // PresenceWindowError when the display cannot be opened or the window not created.
  explicit PresenceWindow(const std::string& title, const std::string& display = {});
  ~PresenceWindow();
  PresenceWindow(PresenceWindow&& other) noexcept;
  PresenceWindow& operator=(PresenceWindow&& other) noexcept;
  PresenceWindow(const PresenceWindow&) = delete;
  PresenceWindow& operator=(const PresenceWindow&) = delete;

  unsigned long windowId() const { return m_window; }

 private:
  void release() noexcept;

  void* m_display = nullptr;  // Display*, kept open for the life of the window
  unsigned long m_window = 0;
};

}  // namespace zephra
