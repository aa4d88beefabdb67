#pragma once

#include <xcb/xcb.h>

#include <QPoint>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// A connection of its own to the display the tests run on, and the root
// window of its screen; a null connection where the display is out of reach
// (a connection that failed is closed).
struct XDisplay {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
};
XDisplay ConnectToDisplay();

// Input made by the X server itself (the XTest extension), as a real mouse
// and keyboard would make it: it reaches a program through its X connection
// and the toolkit's own event queue, not through a direct call into a widget.
// Also watches top-level windows being mapped. Uses a connection of its own
// to the display the tests run on.
class XInput {
public:
  XInput();
  ~XInput();
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  // Whether the display is reachable and has the XTest extension.
  [[nodiscard]] bool Usable() const { return usable_; }

  // Moves the pointer to the point (screen coordinates) and clicks the button.
  void Click(QPoint global, std::uint8_t button = 1);
  // The two halves of a click: the pointer moved and the button pressed, and
  // the button released.
  void Press(QPoint global, std::uint8_t button = 1);
  void Release(std::uint8_t button = 1);
  // Presses and releases the key that makes the keysym (0xff0d: Return).
  void Key(std::uint32_t keysym);
  // Gives the keyboard focus to the window.
  void Focus(xcb_window_t window);
  // Returns once the server has carried out every request sent so far.
  void Sync();

  // Reports each top-level window mapped from now on.
  void WatchMappedWindows();
  // Waits until a watched window is mapped, or the deadline passes; returns it.
  std::optional<xcb_window_t> NextMappedWindow(std::chrono::steady_clock::time_point deadline);
  // The process id a window's owner stated (_NET_WM_PID), if it still exists.
  std::optional<std::uint32_t> WindowPid(xcb_window_t window);
  // The title the window manager shows (_NET_WM_NAME), if the window has one.
  std::optional<std::string> WindowTitle(xcb_window_t window);

private:
  std::optional<xcb_keycode_t> keycodeOf(std::uint32_t keysym);
  // The atom of that name, if the server knows it already.
  std::optional<xcb_atom_t> existingAtom(const char* name);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  bool usable_ = false;
};
