#include "framework/ui/controls.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <limits>

#include "framework/runtime/event_boundary.h"

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }

Window* windowOf(QWidget* w) {
  for (QWidget* p = w; p != nullptr; p = p->parentWidget()) {
    if (auto* win = dynamic_cast<Window*>(p)) return win;
  }
  return nullptr;
}
}  // namespace

// --- PushButton ---------------------------------------------------------------------

PushButton::PushButton(const std::string& caption, QWidget* parent) {
  setParent(parent);
  setText(qs(caption));
  // Return and Escape are the window's business (Window::keyPressEvent).
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, [this] { RunVoidHandler([this] { emit Action(); }); });
}

void PushButton::SetCaption(const std::string& caption) { setText(qs(caption)); }
std::string PushButton::Caption() const { return text().toStdString(); }

void PushButton::SetDefault(bool isDefault) {
  Window* w = windowOf(this);
  if (w != nullptr) {
    if (isDefault) {
      w->SetDefaultButton(this);
    } else if (w->DefaultButton() == this) {
      w->SetDefaultButton(nullptr);
    }
  }
  setDefault(isDefault);
}

bool PushButton::Default() const {
  Window* w = windowOf(const_cast<PushButton*>(this));
  return w != nullptr && w->DefaultButton() == this;
}

void PushButton::SetCancel(bool isCancel) {
  Window* w = windowOf(this);
  if (w == nullptr) return;
  if (isCancel) {
    w->SetCancelButton(this);
  } else if (w->CancelButton() == this) {
    w->SetCancelButton(nullptr);
  }
}

bool PushButton::Cancel() const {
  Window* w = windowOf(const_cast<PushButton*>(this));
  return w != nullptr && w->CancelButton() == this;
}

// --- CheckBox -------------------------------------------------------------------------

CheckBox::CheckBox(const std::string& caption, QWidget* parent) {
  setParent(parent);
  setText(qs(caption));
  connect(this, &QCheckBox::toggled, this, [this] { RunVoidHandler([this] { emit Action(); }); });
}

void CheckBox::SetCaption(const std::string& caption) { setText(qs(caption)); }
void CheckBox::SetValue(bool value) { setChecked(value); }

// --- RadioButton ------------------------------------------------------------------------

RadioButton::RadioButton(const std::string& caption, QWidget* parent) {
  setParent(parent);
  setText(qs(caption));
  connect(this, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RunVoidHandler([this] { emit Action(); });
  });
}

void RadioButton::SetCaption(const std::string& caption) { setText(qs(caption)); }

void RadioButton::SetValue(bool value) {
  if (value) {
    setChecked(true);
    return;
  }
  if (!isChecked()) return;
  // An exclusive radio button refuses to be cleared directly.
  setAutoExclusive(false);
  setChecked(false);
  setAutoExclusive(true);
}

// --- EditField ----------------------------------------------------------------------------

EditField::EditField(const std::string& text, QWidget* parent) {
  setParent(parent);
  // The toolkit would cut texts at 32,767 characters; ours have no limit.
  setMaxLength(std::numeric_limits<int>::max());
  setText(qs(text));
  connect(this, &QLineEdit::textChanged, this, [this] { RunVoidHandler([this] { emit TextChange(); }); });
}

std::string EditField::Text() const { return text().toStdString(); }
void EditField::SetText(const std::string& text) { setText(qs(text)); }

int EditField::SelStart() const {
  return hasSelectedText() ? selectionStart() : cursorPosition();
}

void EditField::SetSelStart(int start) {
  start = std::clamp(start, 0, static_cast<int>(text().size()));
  deselect();
  setCursorPosition(start);
}

int EditField::SelLength() const { return hasSelectedText() ? selectionLength() : 0; }

void EditField::SetSelLength(int length) {
  const int start = SelStart();
  length = std::clamp(length, 0, static_cast<int>(text().size()) - start);
  if (length == 0) {
    deselect();
    setCursorPosition(start);
  } else {
    setSelection(start, length);
  }
}

// --- StaticText ------------------------------------------------------------------------------

StaticText::StaticText(const std::string& text, QWidget* parent) {
  setParent(parent);
  setText(qs(text));
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

std::string StaticText::Text() const { return text().toStdString(); }
void StaticText::SetText(const std::string& text) { setText(qs(text)); }

void StaticText::SetTextAlign(TextAlign align) {
  Qt::Alignment h = Qt::AlignLeft;
  if (align == TextAlign::Center) h = Qt::AlignHCenter;
  if (align == TextAlign::Right) h = Qt::AlignRight;
  setAlignment(h | Qt::AlignVCenter);
}

void StaticText::SetTextSize(int points) {
  if (points <= 0) return;
  QFont f = font();
  f.setPointSize(points);
  setFont(f);
}

// --- PopupMenu ----------------------------------------------------------------------------------

PopupMenu::PopupMenu(QWidget* parent) {
  setParent(parent);
  connect(this, &QComboBox::currentIndexChanged, this, [this] { RunVoidHandler([this] { emit Change(); }); });
}

void PopupMenu::SetItems(const std::string& lines) {
  std::vector<std::string> items;
  std::string::size_type start = 0;
  while (start <= lines.size()) {
    auto end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    std::string line = lines.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    items.push_back(line);
    start = end + 1;
  }
  if (!items.empty() && items.back().empty()) items.pop_back();
  SetItems(items);
}

void PopupMenu::SetItems(const std::vector<std::string>& items) {
  // Building the list is not a user's choice: no Change until it is done.
  {
    const QSignalBlocker block(this);
    clear();
    for (const auto& item : items) addItem(qs(item));
    setCurrentIndex(-1);
  }
  if (!items.empty()) setCurrentIndex(0);
}

void PopupMenu::AddRow(const std::string& text) { addItem(qs(text)); }

std::string PopupMenu::List(int index) const { return itemText(index).toStdString(); }

void PopupMenu::SetListIndex(int index) {
  if (index < -1 || index >= count()) return;
  setCurrentIndex(index);
}

// --- Slider ----------------------------------------------------------------------------------------

Slider::Slider(QWidget* parent) : ControlMixin<QSlider>(Qt::Horizontal, parent) {
  connect(this, &QSlider::valueChanged, this, [this] { RunVoidHandler([this] { emit ValueChanged(); }); });
}

void Slider::SetRange(int minimumValue, int maximumValue) { setRange(minimumValue, maximumValue); }
void Slider::SetValue(int value) { setValue(value); }
void Slider::SetLineStep(int step) { setSingleStep(step); }
void Slider::SetPageStep(int step) { setPageStep(step); }
void Slider::SetLiveScroll(bool live) { setTracking(live); }

// --- Separator ---------------------------------------------------------------------------------------

Separator::Separator(QWidget* parent) {
  setParent(parent);
  setFrameShape(QFrame::HLine);
  setFrameShadow(QFrame::Sunken);
}

void Separator::resizeEvent(QResizeEvent* event) {
  setFrameShape(event->size().width() >= event->size().height() ? QFrame::HLine : QFrame::VLine);
  QFrame::resizeEvent(event);
}

// --- GroupBox ---------------------------------------------------------------------------------------------

GroupBox::GroupBox(const std::string& caption, QWidget* parent) {
  setParent(parent);
  setTitle(qs(caption));
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GroupBox::SetCaption(const std::string& caption) { setTitle(qs(caption)); }

bool GroupBox::event(QEvent* event) {
  // Whenever it is (re)parented or shown, go behind the sibling controls.
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) lower();
  return QGroupBox::event(event);
}

// --- LittleArrows -----------------------------------------------------------------------------------------

LittleArrows::LittleArrows(QWidget* parent) {
  setParent(parent);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, [this] { RunVoidHandler([this] { emit Up(); }); });
  connect(down_, &QToolButton::clicked, this, [this] { RunVoidHandler([this] { emit Down(); }); });
}

void LittleArrows::ClickUp() { up_->click(); }
void LittleArrows::ClickDown() { down_->click(); }

void LittleArrows::resizeEvent(QResizeEvent* event) {
  const int w = event->size().width();
  const int h = event->size().height();
  up_->setGeometry(0, 0, w, h / 2);
  down_->setGeometry(0, h / 2, w, h - h / 2);
  QWidget::resizeEvent(event);
}

// --- ListBox ------------------------------------------------------------------------------------------------

ListBox::ListBox(QWidget* parent) {
  setParent(parent);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setDragEnabled(false);
}

void ListBox::InsertRow(int row, const std::string& text, int /*indent*/) {
  row = std::clamp(row, 0, count());
  insertItem(row, qs(text));
}

void ListBox::AddRow(const std::string& text) { addItem(qs(text)); }

void ListBox::RemoveRow(int row) {
  if (row < 0 || row >= count()) return;
  delete takeItem(row);
}

void ListBox::DeleteAllRows() { clear(); }

std::string ListBox::Cell(int row, int /*column*/) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr ? it->text().toStdString() : std::string{};
}

bool ListBox::Selected(int row) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr && it->isSelected();
}

void ListBox::SetSelected(int row, bool selected) {
  QListWidgetItem* it = item(row);
  if (it == nullptr) return;
  const QModelIndex index = indexFromItem(it);
  if (selected) {
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  } else {
    selectionModel()->select(index, QItemSelectionModel::Deselect);
  }
}

int ListBox::ListIndex() const {
  const auto rows = selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

bool ListBox::raiseCellClick(int row, int x, int y) {
  if (!CellClick) return false;
  // Copy: the handler may replace itself.
  auto handler = CellClick;
  return RunHandler([&] { return handler(row, 0, x, y); }, false);
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const QModelIndex index = indexAt(pos);
  if (index.isValid()) {
    const QRect cell = visualRect(index);
    if (raiseCellClick(index.row(), pos.x() - cell.x(), pos.y() - cell.y())) {
      event->accept();
      return;
    }
  }
  QListWidget::mousePressEvent(event);
}

void ListBox::keyPressEvent(QKeyEvent* event) {
  // Which row a key selects is the view's own reckoning (moves, pages, typed
  // letters): let it move, then tell the handler, and put the selection back
  // if the handler keeps it.
  const int before = ListIndex();
  QListWidget::keyPressEvent(event);
  const int after = ListIndex();
  if (after < 0 || after == before) return;
  if (raiseCellClick(after, 0, 0)) {
    if (before >= 0) {
      SetSelected(before, true);
    } else {
      clearSelection();
    }
  }
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const {
  const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
  // Code (no event) may do anything; the user only chooses rows.
  if (event == nullptr) return command;
  // A press chooses; a release or a drag elsewhere must not choose again.
  const bool pressLater = event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease;
  if (!index.isValid() || command.testFlag(QItemSelectionModel::Deselect) || pressLater) {
    return QItemSelectionModel::NoUpdate;
  }
  return command;
}

// --- HTMLViewer -----------------------------------------------------------------------------------------------

HTMLViewer::HTMLViewer(QWidget* parent) {
  setParent(parent);
  setReadOnly(true);
  setOpenExternalLinks(true);
}

void HTMLViewer::LoadPage(const std::string& html, const std::optional<std::string>& baseFile) {
  if (baseFile) {
    const QFileInfo info(qs(*baseFile));
    document()->setBaseUrl(QUrl::fromLocalFile(info.absoluteDir().absolutePath() + "/"));
  } else {
    document()->setBaseUrl(QUrl());
  }
  setHtml(qs(html));
}

void HTMLViewer::BindEditMenuItems(Window& window, const std::string& cutItem, const std::string& copyItem,
                                   const std::string& pasteItem, const std::string& clearItem) {
  QPointer<HTMLViewer> self(this);
  auto bind = [&](const std::string& item, void (HTMLViewer::*action)()) {
    if (item.empty()) return;
    window.AddMenuHandler(item, [self, action] {
      if (self == nullptr) return false;
      (self->*action)();
      return true;
    });
  };
  bind(cutItem, &HTMLViewer::Cut);
  bind(copyItem, &HTMLViewer::Copy);
  bind(pasteItem, &HTMLViewer::Paste);
  bind(clearItem, &HTMLViewer::Clear);
}
