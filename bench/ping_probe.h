#pragma once

// Plays the window manager's part in a benchmark: asks a window again and
// again whether it is alive (_NET_WM_PING, as window managers do before they
// offer to kill a program) and keeps the longest time the window took to
// answer. The question goes through the X server to the program's own X
// connection, so an answer shows that its event loop ran. Uses an X
// connection of its own, on a thread of its own.
//
// The X server sends the answer only to the client that manages the root
// window's children (it is sent for substructure redirection), so the probe
// takes that part while it runs, on a display without a window manager: it
// maps and configures top-level windows as they ask.

#include "x_input.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

class PingProbe {
public:
  explicit PingProbe(xcb_window_t window) : window_(window) {
    const XDisplay display = ConnectToDisplay();
    connection_ = display.connection;
    root_ = display.root;
    if (connection_ == nullptr) return;
    protocols_ = atom("WM_PROTOCOLS");
    ping_ = atom("_NET_WM_PING");
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_generic_error_t* error = xcb_request_check(
        connection_, xcb_change_window_attributes_checked(connection_, root_, XCB_CW_EVENT_MASK, &mask));
    // Another window manager runs.
    if (error != nullptr) {
      std::free(error);
      return;
    }
    usable_ = protocols_ != 0 && ping_ != 0;
    if (usable_) thread_ = std::thread([this] { run(); });
  }
  ~PingProbe() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (connection_ != nullptr) xcb_disconnect(connection_);
  }
  PingProbe(const PingProbe&) = delete;
  PingProbe& operator=(const PingProbe&) = delete;

  [[nodiscard]] bool Usable() const { return usable_; }

  // The longest wait for an answer so far, seconds, a question still open included.
  [[nodiscard]] double LongestSilence() {
    std::lock_guard lock(mutex_);
    double longest = longest_;
    if (open_) longest = std::max(longest, secondsSince(sentAt_));
    return longest;
  }

private:
  using Clock = std::chrono::steady_clock;
  static double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
  }

  xcb_atom_t atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) return 0;
    const xcb_atom_t a = reply->atom;
    std::free(reply);
    return a;
  }

  void send() {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window_;
    event.type = protocols_;
    event.data.data32[0] = ping_;
    event.data.data32[1] = ++sequence_;
    event.data.data32[2] = window_;
    xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
    std::lock_guard lock(mutex_);
    open_ = true;
    sentAt_ = Clock::now();
  }

  void handle(const xcb_generic_event_t* e) {
    switch (e->response_type & 0x7f) {
      case XCB_CLIENT_MESSAGE: {
        const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e);
        if (m->type == protocols_ && m->data.data32[0] == ping_ && m->data.data32[1] == sequence_) {
          std::lock_guard lock(mutex_);
          longest_ = std::max(longest_, secondsSince(sentAt_));
          open_ = false;
        }
        break;
      }
      case XCB_MAP_REQUEST:
        xcb_map_window(connection_, reinterpret_cast<const xcb_map_request_event_t*>(e)->window);
        break;
      case XCB_CONFIGURE_REQUEST: {
        const auto* r = reinterpret_cast<const xcb_configure_request_event_t*>(e);
        std::uint32_t values[7];
        int n = 0;
        const std::uint16_t mask = r->value_mask;
        if (mask & XCB_CONFIG_WINDOW_X) values[n++] = static_cast<std::uint32_t>(r->x);
        if (mask & XCB_CONFIG_WINDOW_Y) values[n++] = static_cast<std::uint32_t>(r->y);
        if (mask & XCB_CONFIG_WINDOW_WIDTH) values[n++] = r->width;
        if (mask & XCB_CONFIG_WINDOW_HEIGHT) values[n++] = r->height;
        if (mask & XCB_CONFIG_WINDOW_BORDER_WIDTH) values[n++] = r->border_width;
        if (mask & XCB_CONFIG_WINDOW_SIBLING) values[n++] = r->sibling;
        if (mask & XCB_CONFIG_WINDOW_STACK_MODE) values[n++] = r->stack_mode;
        xcb_configure_window(connection_, r->window, mask, values);
        break;
      }
      default: break;
    }
  }

  void run() {
    while (!stop_) {
      if (!open_) send();
      while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
        handle(e);
        std::free(e);
      }
      xcb_flush(connection_);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  xcb_window_t window_;
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_atom_t protocols_ = 0;
  xcb_atom_t ping_ = 0;
  bool usable_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::atomic<bool> open_{false};
  Clock::time_point sentAt_{};
  std::uint32_t sequence_ = 0;
  double longest_ = 0.0;
};
