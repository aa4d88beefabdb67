#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/runtime/nil_object.h"

class QAction;
class QEventLoop;
class QMenuBar;
class QVBoxLayout;
class MenuBar;
class MenuItem;

// Window edges a control keeps its distance to when the window is resized.
// Locked left and right: the control stretches with the width; right only: it
// moves with the right edge; neither or left only: it keeps its place. The
// same holds vertically for top and bottom.
enum ControlLock : unsigned {
  LockNone = 0,
  LockLeft = 1u << 0,
  LockTop = 1u << 1,
  LockRight = 1u << 2,
  LockBottom = 1u << 3,
  LockAll = LockLeft | LockTop | LockRight | LockBottom,
};

// A control's box in its window's content area, in pixels from the top left.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The index of a control in its control array, kept on the widget itself so
// any widget (also one not made by this toolkit) can be an array element.
// -1: the control is addressed by its name alone.
void SetControlIndex(QWidget* control, int index);
int ControlIndex(const QWidget* control);

// Frame kinds a window can have.
enum WindowFrame : int {
  FrameDocument = 0,  // an ordinary top-level window
  FrameSheet = 8,     // a dialog shown attached to (and modal within) a parent
};

// A top-level window of the program.
//
// Creation is two-step, because virtual calls do not reach a subclass from a
// constructor: make the object, then call Construct(), which runs Layout(),
// CreateControls(), the controls' Open events in creation order (a control
// that implements OpensWithWindow, such as a 3D view, through its
// OpenWithWindow(); any other control that has an Open() signal gets it
// emitted), then AddMenuHandlers() and Event_Open(); last, a visible
// document window (the default, see SetVisible) is shown, unless the program
// was asked to quit meanwhile.
// Layout() sets the window properties (title, size, minimum size, frame,
// menu bar); CreateControls() adds the controls with AddControl().
//
// Controls lie in the content area (below the menu bar, if any); Width() and
// Height() are its size, and control bounds are relative to its top left.
//
// Handlers: bind a control's Qt signal to a method (connect); the toolkit's
// controls run their handlers through the event boundary (RunHandler), so an
// exception escaping a handler is reported and the program goes on.
class Window : public QWidget {
  Q_OBJECT

public:
  explicit Window(QWidget* parent = nullptr);
  ~Window() override;

  // Runs the creation sequence (see above). Call it once, after construction.
  void Construct();

  // --- properties -----------------------------------------------------------
  void SetTitle(const std::string& title);
  [[nodiscard]] std::string Title() const;
  // Size of the content area.
  void SetSize(int width, int height);
  [[nodiscard]] int Width() const;
  [[nodiscard]] int Height() const;
  // The content area cannot be made smaller than this (or larger than max).
  void SetMinSize(int minWidth, int minHeight);
  void SetMaxSize(int maxWidth, int maxHeight);
  [[nodiscard]] int MinWidth() const { return minWidth_; }
  [[nodiscard]] int MinHeight() const { return minHeight_; }
  void SetResizeable(bool resizeable);
  // FrameSheet makes this a dialog window that ShowModalWithin attaches to a
  // parent. Set it in Layout(), before the window is shown.
  void SetFrame(int frame);
  [[nodiscard]] int Frame() const { return frame_; }
  // Whether Construct() ends by showing the window (default true). A sheet is
  // never shown by Construct(): ShowModalWithin shows it. Once constructed,
  // SetVisible(true) is Show() and SetVisible(false) is Hide().
  void SetVisible(bool visible);
  [[nodiscard]] bool Visible() const { return isVisible(); }
  // When true, closing the window destroys it (deleteLater), so that the next
  // LiveWindow<T>() finds none and a new one is made. Default false: a closed
  // window is only hidden and keeps its controls.
  void SetDestroyOnClose(bool destroy);

  // The menu bar shown at the top of this window. Every window shows its own
  // copy of the shared model, with its own actions and handlers. Set it in
  // Layout() before the other properties.
  void SetMenuBar(std::shared_ptr<MenuBar> menuBar);
  [[nodiscard]] std::shared_ptr<MenuBar> GetMenuBar() const { return menuBar_; }
  // This window's action for the menu item of that name, or nullptr.
  [[nodiscard]] QAction* MenuAction(const std::string& itemName) const;
  // Installs this window's handler of the menu item of that name. Choosing the
  // item in this window runs the handler; when it returns false (or there is
  // none), the item's own MenuItem::Action() runs (a quit item quits).
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  // Chooses the item as the user would; returns whether something handled it.
  bool ChooseMenuItem(const std::string& itemName);

  // --- controls ---------------------------------------------------------------
  // Adds a control to the content area under its name (and the index it
  // carries, see SetControlIndex), places it at its bounds and records its
  // locks. The window takes ownership. Returns the control.
  template <class T>
  T* AddControl(T* control, const std::string& name, Bounds bounds, unsigned locks = LockNone) {
    addControlImpl(control, name, bounds, locks);
    return control;
  }
  // As above, setting the control's index first.
  template <class T>
  T* AddControl(T* control, const std::string& name, int index, Bounds bounds, unsigned locks = LockNone) {
    SetControlIndex(control, index);
    addControlImpl(control, name, bounds, locks);
    return control;
  }

  // The control of that name that carries no index, or nullptr.
  [[nodiscard]] QWidget* Control(const std::string& name) const;
  // The element of the control array of that name with that index, or nullptr.
  [[nodiscard]] QWidget* Control(const std::string& name, int index) const;
  // Typed look-ups: nullptr when absent or of another class.
  template <class T>
  [[nodiscard]] T* ControlAs(const std::string& name) const {
    return dynamic_cast<T*>(Control(name));
  }
  template <class T>
  [[nodiscard]] T* ControlAs(const std::string& name, int index) const {
    return dynamic_cast<T*>(Control(name, index));
  }
  // Typed look-ups that go on through nil: NilObjectException when absent.
  template <class T>
  [[nodiscard]] T& ControlRef(const std::string& name) const {
    return Deref(ControlAs<T>(name));
  }
  template <class T>
  [[nodiscard]] T& ControlRef(const std::string& name, int index) const {
    return Deref(ControlAs<T>(name, index));
  }
  // Controls in creation order.
  [[nodiscard]] int ControlCount() const { return static_cast<int>(controls_.size()); }
  [[nodiscard]] QWidget* ControlAt(int i) const;
  // Moves or resizes a control; its locks now count from this box.
  void SetControlBounds(QWidget* control, Bounds bounds);
  void SetControlLocks(QWidget* control, unsigned locks);

  // The area the controls lie in.
  [[nodiscard]] QWidget* ContentArea() const { return content_; }

  // --- showing ----------------------------------------------------------------
  // Shows the window modeless and brings it to the front.
  void Show();
  // Shows the window as a sheet attached to `parent`, modal within it, and
  // returns only once the window is hidden (Hide(), or the user closed it).
  // The handlers of the sheet and of other windows run during the wait.
  void ShowModalWithin(QWidget* parent);
  // Hides the window; a waiting ShowModalWithin returns.
  void Hide();
  [[nodiscard]] bool IsShownModally() const { return modalLoop_ != nullptr; }

  // The default button is pressed by Return/Enter, the cancel button by
  // Escape, when a control of this window has the focus and does not use the
  // key itself. nullptr removes the flag. (PushButton::SetDefault/SetCancel
  // call these.)
  void SetDefaultButton(QPushButton* button);
  void SetCancelButton(QPushButton* button);
  [[nodiscard]] QPushButton* DefaultButton() const { return defaultButton_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancelButton_; }

  // The live (not destroyed) top-level window of the class, or nullptr. A
  // hidden window is live; a window destroyed on close is not.
  template <class T>
  [[nodiscard]] static T* LiveWindow() {
    for (Window* w : liveWindows()) {
      if (auto* t = dynamic_cast<T*>(w)) return t;
    }
    return nullptr;
  }

protected:
  // The creation steps, in order (see Construct()).
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void AddMenuHandlers() {}
  virtual void Event_Open() {}
  // The user closed the window (or close() was called). The window is then
  // hidden, or destroyed with SetDestroyOnClose(true).
  virtual void Event_Close() {}
  // The window became the active window.
  virtual void Event_Activate() {}
  // The window stopped being the active window.
  virtual void Event_Deactivate() {}

  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct Entry {
    QPointer<QWidget> widget;
    std::string name;
    Bounds bounds;     // at the reference size below
    int refWidth = 0;  // content size the bounds were given at
    int refHeight = 0;
    unsigned locks = LockNone;
  };

  void addControlImpl(QWidget* control, const std::string& name, Bounds bounds, unsigned locks);
  void applyLocks();
  void buildMenus();
  void addMenuItems(QWidget* menu, const std::shared_ptr<MenuItem>& item, bool isBar);
  [[nodiscard]] Entry* entryOf(QWidget* control);
  static std::vector<Window*>& liveWindows();

  QVBoxLayout* layout_ = nullptr;
  QWidget* content_ = nullptr;
  QMenuBar* qmenuBar_ = nullptr;
  std::shared_ptr<MenuBar> menuBar_;
  std::map<std::string, QAction*> menuActions_;
  std::map<std::string, std::shared_ptr<MenuItem>> menuItems_;
  std::map<std::string, std::function<bool()>> menuHandlers_;
  std::vector<Entry> controls_;
  int designWidth_ = 0;
  int designHeight_ = 0;
  int minWidth_ = 0;
  int minHeight_ = 0;
  int maxWidth_ = QWIDGETSIZE_MAX;
  int maxHeight_ = QWIDGETSIZE_MAX;
  int frame_ = FrameDocument;
  bool visibleAtOpen_ = true;
  bool constructed_ = false;
  QEventLoop* modalLoop_ = nullptr;
  QPointer<QPushButton> defaultButton_;
  QPointer<QPushButton> cancelButton_;
};
