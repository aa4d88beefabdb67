#include "framework/ui/window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "framework/runtime/event_boundary.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/menus.h"
#include "framework/ui/opens_with_window.h"

namespace {
constexpr const char* kIndexProperty = "voltixControlIndex";
}  // namespace

void SetControlIndex(QWidget* control, int index) {
  if (control != nullptr) control->setProperty(kIndexProperty, index);
}

int ControlIndex(const QWidget* control) {
  if (control == nullptr) return -1;
  const QVariant v = control->property(kIndexProperty);
  return v.isValid() ? v.toInt() : -1;
}

std::vector<Window*>& Window::liveWindows() {
  static std::vector<Window*> windows;
  return windows;
}

Window::Window(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  content_ = new QWidget(this);
  layout_->addWidget(content_);
  content_->installEventFilter(this);
  liveWindows().push_back(this);
}

Window::~Window() {
  auto& list = liveWindows();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (modalLoop_ != nullptr) modalLoop_->quit();
}

void Window::Construct() {
  Layout();
  CreateControls();
  // Controls that have an Open event raise it now, in creation order.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    QWidget* w = controls_[i].widget;
    if (w == nullptr) continue;
    if (auto* opener = dynamic_cast<OpensWithWindow*>(w)) {
      RunVoidHandler([opener] { opener->OpenWithWindow(); });
    } else if (w->metaObject()->indexOfSignal("Open()") >= 0) {
      RunVoidHandler([w] { QMetaObject::invokeMethod(w, "Open", Qt::DirectConnection); });
    }
  }
  AddMenuHandlers();
  RunVoidHandler([this] { Event_Open(); });
  constructed_ = true;
  // A window whose opening asked the program to quit (a 3D view without
  // OpenGL) is not shown: the program ends before its event loop runs.
  if (visibleAtOpen_ && frame_ != FrameSheet && !QuitPending()) Show();
}

void Window::SetVisible(bool visible) {
  if (!constructed_) {
    visibleAtOpen_ = visible;
  } else if (visible) {
    Show();
  } else {
    Hide();
  }
}

// --- properties ---------------------------------------------------------------

void Window::SetTitle(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

std::string Window::Title() const { return windowTitle().toStdString(); }

void Window::SetSize(int width, int height) {
  designWidth_ = width;
  designHeight_ = height;
  const int bar = qmenuBar_ != nullptr ? qmenuBar_->sizeHint().height() : 0;
  resize(width, height + bar);
  // Before the window is laid out the content area may not have its size yet;
  // the locks count from this size.
  if (!content_->testAttribute(Qt::WA_WState_Visible)) {
    content_->resize(width, height);
  }
}

int Window::Width() const {
  return content_->testAttribute(Qt::WA_Resized) || isVisible() ? content_->width() : designWidth_;
}

int Window::Height() const {
  return content_->testAttribute(Qt::WA_Resized) || isVisible() ? content_->height() : designHeight_;
}

void Window::SetMinSize(int minWidth, int minHeight) {
  minWidth_ = minWidth;
  minHeight_ = minHeight;
  content_->setMinimumSize(minWidth, minHeight);
  const int bar = qmenuBar_ != nullptr ? qmenuBar_->sizeHint().height() : 0;
  setMinimumSize(minWidth, minHeight + bar);
}

void Window::SetMaxSize(int maxWidth, int maxHeight) {
  maxWidth = std::min(maxWidth, QWIDGETSIZE_MAX);
  maxHeight = std::min(maxHeight, QWIDGETSIZE_MAX);
  maxWidth_ = maxWidth;
  maxHeight_ = maxHeight;
  content_->setMaximumSize(maxWidth, maxHeight);
  const int bar = qmenuBar_ != nullptr ? qmenuBar_->sizeHint().height() : 0;
  setMaximumSize(maxWidth, std::min(maxHeight + bar, QWIDGETSIZE_MAX));
}

void Window::SetResizeable(bool resizeable) {
  if (resizeable) {
    SetMinSize(minWidth_, minHeight_);
    SetMaxSize(maxWidth_, maxHeight_);
  } else {
    setFixedSize(size());
  }
}

void Window::SetFrame(int frame) {
  frame_ = frame;
  if (frame == FrameSheet) {
    setWindowFlags(Qt::Dialog);
  } else {
    setWindowFlags(Qt::Window);
  }
}

void Window::SetDestroyOnClose(bool destroy) { setAttribute(Qt::WA_DeleteOnClose, destroy); }

// --- menus ----------------------------------------------------------------------

void Window::SetMenuBar(std::shared_ptr<MenuBar> menuBar) {
  menuBar_ = std::move(menuBar);
  buildMenus();
  // Keep the content area's size and limits; the bar adds to the window.
  if (designWidth_ > 0 || designHeight_ > 0) SetSize(designWidth_, designHeight_);
  if (minWidth_ > 0 || minHeight_ > 0) SetMinSize(minWidth_, minHeight_);
}

void Window::buildMenus() {
  if (qmenuBar_ != nullptr) {
    layout_->setMenuBar(nullptr);
    delete qmenuBar_;
    qmenuBar_ = nullptr;
  }
  menuActions_.clear();
  menuItems_.clear();
  if (!menuBar_) return;
  qmenuBar_ = new QMenuBar(this);
  // The bar belongs to this window even where the platform has a global one.
  qmenuBar_->setNativeMenuBar(false);
  layout_->setMenuBar(qmenuBar_);
  for (const auto& heading : menuBar_->Children()) addMenuItems(qmenuBar_, heading, true);
}

void Window::addMenuItems(QWidget* menu, const std::shared_ptr<MenuItem>& item, bool isBar) {
  QAction* action = nullptr;
  if (item->Count() > 0) {
    QMenu* sub = isBar ? static_cast<QMenuBar*>(menu)->addMenu(QString::fromStdString(item->Text))
                       : static_cast<QMenu*>(menu)->addMenu(QString::fromStdString(item->Text));
    action = sub->menuAction();
    for (const auto& child : item->Children()) addMenuItems(sub, child, false);
  } else if (item->IsSeparator()) {
    action = isBar ? static_cast<QMenuBar*>(menu)->addSeparator() : static_cast<QMenu*>(menu)->addSeparator();
  } else {
    action = isBar ? static_cast<QMenuBar*>(menu)->addAction(QString::fromStdString(item->Text))
                   : static_cast<QMenu*>(menu)->addAction(QString::fromStdString(item->Text));
    action->setShortcut(ToKeySequence(item->KeyboardShortcut));
    action->setShortcutContext(Qt::WindowShortcut);
    const std::string name = item->Name;
    connect(action, &QAction::triggered, this, [this, name] { ChooseMenuItem(name); });
  }
  if (!item->Name.empty()) {
    menuActions_[item->Name] = action;
    menuItems_[item->Name] = item;
  }
}

QAction* Window::MenuAction(const std::string& itemName) const {
  auto it = menuActions_.find(itemName);
  return it == menuActions_.end() ? nullptr : it->second;
}

void Window::AddMenuHandler(const std::string& itemName, std::function<bool()> handler) {
  menuHandlers_[itemName] = std::move(handler);
}

bool Window::ChooseMenuItem(const std::string& itemName) {
  return RunHandler(
      [&]() -> bool {
        auto h = menuHandlers_.find(itemName);
        if (h != menuHandlers_.end() && h->second) {
          // Copy: the handler may replace itself.
          auto handler = h->second;
          if (handler()) return true;
        }
        auto it = menuItems_.find(itemName);
        if (it != menuItems_.end() && it->second) return it->second->Action();
        return false;
      },
      false);
}

// --- controls ---------------------------------------------------------------------

void Window::addControlImpl(QWidget* control, const std::string& name, Bounds bounds, unsigned locks) {
  if (control == nullptr) return;
  control->setParent(content_);
  control->setObjectName(QString::fromStdString(name));
  Entry e;
  e.widget = control;
  e.name = name;
  e.bounds = bounds;
  e.refWidth = Width();
  e.refHeight = Height();
  e.locks = locks;
  controls_.push_back(e);
  control->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  applyLocks();
  control->show();
}

QWidget* Window::Control(const std::string& name) const {
  for (const Entry& e : controls_) {
    if (e.widget != nullptr && e.name == name && ControlIndex(e.widget) == -1) return e.widget;
  }
  return nullptr;
}

QWidget* Window::Control(const std::string& name, int index) const {
  for (const Entry& e : controls_) {
    if (e.widget != nullptr && e.name == name && ControlIndex(e.widget) == index) return e.widget;
  }
  return nullptr;
}

QWidget* Window::ControlAt(int i) const {
  if (i < 0 || i >= ControlCount()) return nullptr;
  return controls_[static_cast<std::size_t>(i)].widget;
}

Window::Entry* Window::entryOf(QWidget* control) {
  for (Entry& e : controls_) {
    if (e.widget == control) return &e;
  }
  return nullptr;
}

void Window::SetControlBounds(QWidget* control, Bounds bounds) {
  Entry* e = entryOf(control);
  if (e == nullptr) return;
  e->bounds = bounds;
  e->refWidth = Width();
  e->refHeight = Height();
  applyLocks();
}

void Window::SetControlLocks(QWidget* control, unsigned locks) {
  Entry* e = entryOf(control);
  if (e == nullptr) return;
  // The current box becomes the reference for the new locks.
  const QRect g = control->geometry();
  e->bounds = {g.x(), g.y(), g.width(), g.height()};
  e->refWidth = Width();
  e->refHeight = Height();
  e->locks = locks;
}

void Window::applyLocks() {
  const int w = Width();
  const int h = Height();
  for (const Entry& e : controls_) {
    if (e.widget == nullptr) continue;
    const int dx = w - e.refWidth;
    const int dy = h - e.refHeight;
    int left = e.bounds.left;
    int top = e.bounds.top;
    int width = e.bounds.width;
    int height = e.bounds.height;
    if ((e.locks & LockRight) != 0) {
      if ((e.locks & LockLeft) != 0) {
        width += dx;
      } else {
        left += dx;
      }
    }
    if ((e.locks & LockBottom) != 0) {
      if ((e.locks & LockTop) != 0) {
        height += dy;
      } else {
        top += dy;
      }
    }
    e.widget->setGeometry(left, top, std::max(0, width), std::max(0, height));
  }
}

// --- showing ----------------------------------------------------------------------

void Window::Show() {
  show();
  raise();
  activateWindow();
}

void Window::ShowModalWithin(QWidget* parent) {
  if (modalLoop_ != nullptr) {
    // Already waiting in an outer call: bring it forward only.
    raise();
    activateWindow();
    return;
  }
  QWidget* top = parent != nullptr ? parent->window() : nullptr;
  if (isVisible()) hide();
  if (top != nullptr && top != this && parentWidget() != top) {
    const Qt::WindowFlags flags = windowFlags() | Qt::Dialog;
    setParent(top, flags);
  }
  setWindowModality(top != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  if (top != nullptr) {
    // Attached to the parent: centred over it, just below its title.
    const QRect pg = top->geometry();
    move(pg.x() + (pg.width() - width()) / 2, pg.y());
  }
  QEventLoop loop;
  modalLoop_ = &loop;
  QPointer<Window> self(this);
  show();
  raise();
  activateWindow();
  {
    DispatchScope scope;
    loop.exec(QEventLoop::DialogExec);
  }
  if (self != nullptr) self->modalLoop_ = nullptr;
  // Give the activation back to the parent: without a window manager Qt would
  // keep the hidden sheet as the active window, and its next showing would
  // then raise no activation (its focus field would not be selected).
  if (top != nullptr && top->isVisible()) top->activateWindow();
}

void Window::Hide() { hide(); }

void Window::SetDefaultButton(QPushButton* button) {
  if (defaultButton_ != nullptr && defaultButton_ != button) defaultButton_->setDefault(false);
  defaultButton_ = button;
  if (button != nullptr) button->setDefault(true);
}

void Window::SetCancelButton(QPushButton* button) { cancelButton_ = button; }

// --- events -------------------------------------------------------------------------

bool Window::event(QEvent* event) {
  const bool result = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate) {
    RunVoidHandler([this] { Event_Activate(); });
  } else if (event->type() == QEvent::WindowDeactivate) {
    RunVoidHandler([this] { Event_Deactivate(); });
  }
  return result;
}

void Window::closeEvent(QCloseEvent* event) {
  RunVoidHandler([this] { Event_Close(); });
  event->accept();
  if (testAttribute(Qt::WA_DeleteOnClose)) {
    // Gone for LiveWindow() from now on, though Qt deletes it a little later.
    auto& list = liveWindows();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void Window::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous() && modalLoop_ != nullptr) modalLoop_->quit();
}

void Window::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::NoModifier) {
    QPushButton* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      target = defaultButton_;
    } else if (event->key() == Qt::Key_Escape) {
      target = cancelButton_;
    }
    if (target != nullptr && target->isVisible() && target->isEnabled()) {
      target->click();
      event->accept();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

bool Window::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::Resize) applyLocks();
  return QWidget::eventFilter(watched, event);
}
