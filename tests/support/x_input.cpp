#include "x_input.h"

#include <xcb/xtest.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> own(T* reply) {
  return Reply<T>(reply, &std::free);
}

}  // namespace

XDisplay ConnectToDisplay() {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  xcb_screen_iterator_t it{};
  if (xcb_connection_has_error(connection) == 0) {
    it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
  }
  if (it.rem == 0) {
    xcb_disconnect(connection);
    return {};
  }
  return {connection, it.data->root};
}

XInput::XInput() {
  const XDisplay display = ConnectToDisplay();
  connection_ = display.connection;
  root_ = display.root;
  if (connection_ == nullptr) return;
  const auto version = own(xcb_test_get_version_reply(connection_, xcb_test_get_version(connection_, 2, 2), nullptr));
  usable_ = version != nullptr;
}

XInput::~XInput() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

void XInput::Click(QPoint global, std::uint8_t button) {
  Press(global, button);
  Release(button);
}

void XInput::Press(QPoint global, std::uint8_t button) {
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, static_cast<std::int16_t>(global.x()),
                      static_cast<std::int16_t>(global.y()), 0);
  xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  Sync();
}

void XInput::Release(std::uint8_t button) {
  xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  Sync();
}

void XInput::Key(std::uint32_t keysym) {
  const auto code = keycodeOf(keysym);
  if (!code) return;
  xcb_test_fake_input(connection_, XCB_KEY_PRESS, *code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection_, XCB_KEY_RELEASE, *code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  Sync();
}

void XInput::Focus(xcb_window_t window) {
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  Sync();
}

void XInput::Sync() {
  // A request with a reply: the server answers it after all earlier ones.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

std::optional<xcb_keycode_t> XInput::keycodeOf(std::uint32_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  const auto map = own(xcb_get_keyboard_mapping_reply(
      connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr));
  if (!map) return std::nullopt;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  const int perCode = map->keysyms_per_keycode;
  for (int k = 0; k < count; ++k) {
    for (int i = 0; i < perCode; ++i) {
      if (syms[k * perCode + i] == keysym) return static_cast<xcb_keycode_t>(setup->min_keycode + k);
    }
  }
  return std::nullopt;
}

void XInput::WatchMappedWindows() {
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  Sync();
}

std::optional<xcb_window_t> XInput::NextMappedWindow(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
      const auto event = own(raw);
      if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
      // Menus and tooltips are not windows of their own standing.
      if (map->override_redirect == 0) return map->window;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || xcb_connection_has_error(connection_) != 0) return std::nullopt;
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left.count()));
  }
}

std::optional<xcb_atom_t> XInput::existingAtom(const char* name) {
  const auto length = static_cast<std::uint16_t>(std::strlen(name));
  const auto atom = own(xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 1, length, name), nullptr));
  if (!atom || atom->atom == XCB_NONE) return std::nullopt;
  return atom->atom;
}

std::optional<std::uint32_t> XInput::WindowPid(xcb_window_t window) {
  const auto atom = existingAtom("_NET_WM_PID");
  if (!atom) return std::nullopt;
  const auto property = own(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, *atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
  if (!property || xcb_get_property_value_length(property.get()) != 4) return std::nullopt;
  std::uint32_t pid = 0;
  std::memcpy(&pid, xcb_get_property_value(property.get()), sizeof pid);
  return pid;
}

std::optional<std::string> XInput::WindowTitle(xcb_window_t window) {
  const auto name = existingAtom("_NET_WM_NAME");
  const auto utf8 = existingAtom("UTF8_STRING");
  if (!name || !utf8) return std::nullopt;
  // Titles longer than 4 KB are cut there.
  const auto property = own(
      xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, *name, *utf8, 0, 1024), nullptr));
  if (!property || property->type != *utf8) return std::nullopt;
  const auto length = static_cast<std::size_t>(xcb_get_property_value_length(property.get()));
  return std::string(static_cast<const char*>(xcb_get_property_value(property.get())), length);
}
