#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextBrowser>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/ui/window.h"

class QToolButton;

// The program's controls: thin Qt widgets with the program's vocabulary.
//
// Common rules:
// - Every change event is a Qt signal named after the event (Action,
//   TextChange, ValueChanged, Change, Up, Down). Connect a handler to it; the
//   control runs it through the event boundary.
// - A value set by code raises the change event exactly as a user's change
//   does. Setting the value a control already has raises nothing.
// - Texts are std::string (UTF-8).
// - Index()/SetIndex(): the control's index in its control array (-1: none).
//   A control array element class is a subclass whose constructor takes the
//   index and calls SetIndex(index).
// - Enabled: QWidget::setEnabled / isEnabled; SetEnabled / Enabled here too.

// Shared helpers of the toolkit's controls.
template <class Base>
class ControlMixin : public Base {
public:
  using Base::Base;
  [[nodiscard]] int Index() const { return ControlIndex(this); }
  void SetIndex(int index) { SetControlIndex(this, index); }
  [[nodiscard]] bool Enabled() const { return this->isEnabled(); }
  void SetEnabled(bool enabled) { this->setEnabled(enabled); }
  void SetFocus() { this->setFocus(Qt::OtherFocusReason); }
};

// Push button. Action: the button was pressed (by click, by its key, or by
// click() from code).
class PushButton : public ControlMixin<QPushButton> {
  Q_OBJECT
public:
  explicit PushButton(const std::string& caption = {}, QWidget* parent = nullptr);
  void SetCaption(const std::string& caption);
  [[nodiscard]] std::string Caption() const;
  // Return/Enter presses the default button, Escape the cancel button, of
  // the window the button lies in (set these after AddControl).
  void SetDefault(bool isDefault);
  [[nodiscard]] bool Default() const;
  void SetCancel(bool isCancel);
  [[nodiscard]] bool Cancel() const;
signals:
  void Action();
};

// Check box. Action: Value changed, by the user or by code.
class CheckBox : public ControlMixin<QCheckBox> {
  Q_OBJECT
public:
  explicit CheckBox(const std::string& caption = {}, QWidget* parent = nullptr);
  void SetCaption(const std::string& caption);
  [[nodiscard]] bool Value() const { return isChecked(); }
  void SetValue(bool value);
signals:
  void Action();
};

// Radio button. Radio buttons lying in the same parent exclude each other.
// Action: the button became chosen (user click or SetValue(true)). Unlike a
// plain Qt radio button, SetValue(false) always clears the button.
class RadioButton : public ControlMixin<QRadioButton> {
  Q_OBJECT
public:
  explicit RadioButton(const std::string& caption = {}, QWidget* parent = nullptr);
  void SetCaption(const std::string& caption);
  [[nodiscard]] bool Value() const { return isChecked(); }
  void SetValue(bool value);
signals:
  void Action();
};

// Single-line edit field. TextChange: the text changed, typed or set by code.
class EditField : public ControlMixin<QLineEdit> {
  Q_OBJECT
public:
  explicit EditField(const std::string& text = {}, QWidget* parent = nullptr);
  [[nodiscard]] std::string Text() const;
  void SetText(const std::string& text);
  // Selection start and length, in characters.
  [[nodiscard]] int SelStart() const;
  void SetSelStart(int start);
  [[nodiscard]] int SelLength() const;
  void SetSelLength(int length);
signals:
  void TextChange();
};

enum class TextAlign { Default, Left, Center, Right };

// Static text label, single line.
class StaticText : public ControlMixin<QLabel> {
  Q_OBJECT
public:
  explicit StaticText(const std::string& text = {}, QWidget* parent = nullptr);
  [[nodiscard]] std::string Text() const;
  void SetText(const std::string& text);
  void SetTextAlign(TextAlign align);
  // Point size; 0 keeps the toolkit's default size.
  void SetTextSize(int points);
};

// Popup menu (a drop-down list of items). Change: ListIndex changed, by the
// user or by code.
class PopupMenu : public ControlMixin<QComboBox> {
  Q_OBJECT
public:
  explicit PopupMenu(QWidget* parent = nullptr);
  // Replaces the items by the lines of the text ('\n' separated; a final
  // empty line is dropped). The first item becomes chosen.
  void SetItems(const std::string& lines);
  void SetItems(const std::vector<std::string>& items);
  void AddRow(const std::string& text);
  [[nodiscard]] int ListCount() const { return count(); }
  [[nodiscard]] std::string List(int index) const;
  // Index of the chosen item; -1 for none.
  [[nodiscard]] int ListIndex() const { return currentIndex(); }
  void SetListIndex(int index);
signals:
  void Change();
};

// Horizontal slider. ValueChanged: Value changed; with LiveScroll on,
// continuously while dragged, with it off only when the user lets go. A value
// set by code raises it at once. Open: raised once by the window's Construct.
class Slider : public ControlMixin<QSlider> {
  Q_OBJECT
public:
  explicit Slider(QWidget* parent = nullptr);
  [[nodiscard]] int Minimum() const { return minimum(); }
  [[nodiscard]] int Maximum() const { return maximum(); }
  void SetRange(int minimumValue, int maximumValue);
  [[nodiscard]] int Value() const { return value(); }
  void SetValue(int value);
  [[nodiscard]] int LineStep() const { return singleStep(); }
  void SetLineStep(int step);
  [[nodiscard]] int PageStep() const { return pageStep(); }
  void SetPageStep(int step);
  [[nodiscard]] bool LiveScroll() const { return hasTracking(); }
  void SetLiveScroll(bool live);
signals:
  void ValueChanged();
  void Open();
};

// A thin line; horizontal when wider than high, vertical otherwise.
class Separator : public ControlMixin<QFrame> {
  Q_OBJECT
public:
  explicit Separator(QWidget* parent = nullptr);
protected:
  void resizeEvent(QResizeEvent* event) override;
};

// A titled frame. It lies behind the window's other controls and lets mouse
// clicks through, so controls it frames (siblings, not children) stay usable.
class GroupBox : public ControlMixin<QGroupBox> {
  Q_OBJECT
public:
  explicit GroupBox(const std::string& caption = {}, QWidget* parent = nullptr);
  void SetCaption(const std::string& caption);
protected:
  bool event(QEvent* event) override;
};

// Two small stacked arrow buttons. Up and Down: the upper or lower arrow was
// pressed (repeating while held).
class LittleArrows : public ControlMixin<QWidget> {
  Q_OBJECT
public:
  explicit LittleArrows(QWidget* parent = nullptr);
  // Presses an arrow as the user would.
  void ClickUp();
  void ClickDown();
  [[nodiscard]] QToolButton* UpButton() const { return up_; }
  [[nodiscard]] QToolButton* DownButton() const { return down_; }
signals:
  void Up();
  void Down();
protected:
  void resizeEvent(QResizeEvent* event) override;
private:
  QToolButton* up_;
  QToolButton* down_;
};

// List box of one column, single selection.
//
// CellClick(row, column, x, y): the user pressed the mouse on an existing row
// (x, y relative to the cell). It runs before the list's own handling of the
// press; returning false lets the list go on (the row becomes selected),
// returning true keeps the list from handling the press. A press below the
// last row raises nothing.
class ListBox : public ControlMixin<QListWidget> {
  Q_OBJECT
public:
  explicit ListBox(QWidget* parent = nullptr);
  // Inserts a row before `row`; row == RowCount() appends. The indent is kept
  // for the caller's use and has no effect on a one-column list.
  void InsertRow(int row, const std::string& text, int indent = 0);
  void AddRow(const std::string& text);
  void RemoveRow(int row);
  void DeleteAllRows();
  [[nodiscard]] int RowCount() const { return count(); }
  [[nodiscard]] std::string Cell(int row, int column = 0) const;
  [[nodiscard]] bool Selected(int row) const;
  // Selecting a row clears the selection of every other row.
  void SetSelected(int row, bool selected);
  // The selected row, or -1.
  [[nodiscard]] int ListIndex() const;

  // Raised for the user's choice of a row, so that the highlighted row is
  // always the one the handler was told of: a click on a row, before the
  // list selects it (x, y: the point in the cell); a key that moved the
  // selection to another row (arrows, Page Up/Down, Home, End, Space, typed
  // letters), once it has moved (x, y: 0). A handler returning true keeps
  // the selection as it was. The user cannot clear the selection or move it
  // otherwise: a click on no row, a control-click on the selected row and a
  // drag across rows leave it where it is.
  std::function<bool(int row, int column, int x, int y)> CellClick;

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  [[nodiscard]] QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const override;

private:
  // Runs CellClick at the event boundary; whether it handled the choice.
  bool raiseCellClick(int row, int x, int y);
};

// Read-only HTML viewer.
class HTMLViewer : public ControlMixin<QTextBrowser> {
  Q_OBJECT
public:
  explicit HTMLViewer(QWidget* parent = nullptr);
  // Shows the HTML text; relative links resolve against baseFile's folder
  // when one is given.
  void LoadPage(const std::string& html, const std::optional<std::string>& baseFile = std::nullopt);
  // Edit actions on the viewer's selection. The page is read-only: Cut only
  // copies the selection, Paste and Clear leave the page as it is.
  void Copy() { copy(); }
  void Cut() { copy(); }
  void Paste() {}
  void Clear() {}
  // Binds the four edit actions to the window's menu items of these names.
  void BindEditMenuItems(Window& window, const std::string& cutItem, const std::string& copyItem,
                         const std::string& pasteItem, const std::string& clearItem);
};
