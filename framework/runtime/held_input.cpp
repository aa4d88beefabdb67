#include "framework/runtime/held_input.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QWindow>

#include <xcb/xcb.h>

namespace {

bool held = false;

void releaseHeldInput() {
  if (!held) return;
  held = false;
  auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = gui != nullptr ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  // Elsewhere the toolkit delivers held input by itself.
  if (x11 == nullptr || x11->connection() == nullptr) return;
  for (QWindow* window : QGuiApplication::topLevelWindows()) {
    if (window->handle() == nullptr || window->type() == Qt::ForeignWindow) continue;
    // Sent with no event mask, the event goes to the client that made the
    // window: this program. The toolkit ignores client messages of format 8.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 8;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = XCB_ATOM_NONE;
    xcb_send_event(x11->connection(), 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(x11->connection());
    return;
  }
}

}  // namespace

void InputMayBeHeld() {
  held = true;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread()) return;
  static QPointer<QAbstractEventDispatcher> watched;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr || dispatcher == watched) return;
  watched = dispatcher;
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, releaseHeldInput);
}
