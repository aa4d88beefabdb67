#include "sheets/sheet_window.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QStyle>

#include "framework/runtime/nil_object.h"

namespace {

// The sheets' controls were laid out for a 12-pixel system font. Where the
// platform's font is wider, a smaller size keeps every caption in its box.
constexpr int kSheetFontPixels = 12;
constexpr int kSmallestFontPixels = 9;

// Whether every caption of the layout fits its control's box in that font.
bool captionsFit(const SheetLayout& layout, const QFont& font) {
  const QFontMetrics metrics(font);
  QStyle* style = QApplication::style();
  const int mark = style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
  for (const SheetControl& c : layout.controls) {
    int needed = metrics.horizontalAdvance(QString::fromUtf8(c.text));
    int room = c.width;
    switch (c.kind) {
      case SheetControlKind::Label:
        // A box that starts left of the window shows only its visible part.
        if (c.left < 0 && c.align != SheetAlign::Right) room += c.left;
        break;
      case SheetControlKind::PushButton: needed += 8; break;
      case SheetControlKind::CheckBox:
      case SheetControlKind::RadioButton: needed += mark; break;
      default: continue;
    }
    if (needed > room) return false;
  }
  return true;
}

Bounds boundsOf(const SheetControl& c) { return {c.left, c.top, c.width, c.height}; }

TextAlign alignOf(SheetAlign a) {
  switch (a) {
    case SheetAlign::Center: return TextAlign::Center;
    case SheetAlign::Right: return TextAlign::Right;
    case SheetAlign::Left: break;
  }
  return TextAlign::Left;
}

}  // namespace

SheetWindow::SheetWindow(const SheetLayout& layout, int fontPixels, int focusIndex, std::string popupName)
    : layout_(layout), fontPixels_(fontPixels), focusIndex_(focusIndex), popupName_(std::move(popupName)) {}

void SheetWindow::Layout() {
  SetFrame(FrameSheet);
  SetTitle(layout_.title);
  SetSize(layout_.width, layout_.height);
  SetMinSize(64, 64);
  SetMaxSize(32000, 32000);
  SetResizeable(true);
  setFont(sheetFont(fontPixels_));
}

int SheetWindow::FittingFontPixels(std::span<const SheetLayout* const> layouts) {
  int size = kSheetFontPixels;
  for (; size > kSmallestFontPixels; --size) {
    bool fits = true;
    for (const SheetLayout* layout : layouts) fits = fits && captionsFit(*layout, sheetFont(size));
    if (fits) break;
  }
  return size;
}

QFont SheetWindow::sheetFont(int pixels) {
  QFont f = QApplication::font();
  f.setPixelSize(pixels);
  f.setBold(false);
  f.setItalic(false);
  f.setUnderline(false);
  return f;
}

void SheetWindow::CreateControls() { _CreateControls0(); }

void SheetWindow::_CreateControls0() {
  for (const SheetControl& c : layout_.controls) {
    QWidget* made = nullptr;
    switch (c.kind) {
      case SheetControlKind::Label: {
        StaticText* label = c.index >= 0 ? new SheetLabel(c.index) : new StaticText;
        AddControl(label, c.name, boundsOf(c));
        label->SetText(c.text);
        label->SetTextAlign(alignOf(c.align));
        made = label;
        break;
      }
      case SheetControlKind::EditField: {
        auto* field = AddControl(new SheetField(c.index), c.name, boundsOf(c));
        field->SetText(c.text);
        made = field;
        break;
      }
      case SheetControlKind::PushButton: {
        auto* button = AddControl(new PushButton, c.name, boundsOf(c));
        button->SetCaption(c.text);
        made = button;
        break;
      }
      case SheetControlKind::CheckBox: {
        auto* box = AddControl(new CheckBox, c.name, boundsOf(c));
        box->SetCaption(c.text);
        box->SetValue(c.value);
        made = box;
        break;
      }
      case SheetControlKind::PopupMenu: {
        auto* popup = AddControl(new PopupMenu, c.name, boundsOf(c));
        popup->SetItems(std::string(c.text));
        popup->SetListIndex(0);
        made = popup;
        break;
      }
      case SheetControlKind::RadioButton: {
        auto* radio = AddControl(new RadioButton, c.name, boundsOf(c));
        radio->SetCaption(c.text);
        radio->SetValue(c.value);
        made = radio;
        break;
      }
      case SheetControlKind::GroupBox: {
        auto* group = AddControl(new GroupBox, c.name, boundsOf(c));
        group->SetCaption(c.text);
        made = group;
        break;
      }
    }
    AttachAction(c.name, made);
  }
}

void SheetWindow::DoneAction() {
  doneFlag_ = true;
  Hide();
}

void SheetWindow::CancelAction() {
  doneFlag_ = false;
  Hide();
}

void SheetWindow::Event_Activate() {
  // The user starts typing over the whole X value of the position or centre.
  EditField& field = Deref(EF(focusIndex_));
  field.SetSelStart(0);
  field.SetSelLength(static_cast<int>(field.text().size()));
  field.SetFocus();
}

void SheetWindow::Event_Close() {
  // Closed from its title bar: the caller must not read a stale Done.
  doneFlag_ = false;
}

bool SheetWindow::HasField(int index) const { return EF(index) != nullptr; }

std::string SheetWindow::FieldText(int index) const { return Deref(EF(index)).Text(); }

void SheetWindow::SetFieldText(int index, const std::string& text) { Deref(EF(index)).SetText(text); }

bool SheetWindow::GridValue() const {
  const CheckBox* box = CBGrid();
  return box != nullptr && box->Value();
}

void SheetWindow::SetGridValue(bool value) {
  if (CheckBox* box = CBGrid()) box->SetValue(value);
}

int SheetWindow::PopupIndex() const {
  const PopupMenu* popup = Popup();
  return popup != nullptr ? popup->ListIndex() : -1;
}

void SheetWindow::SetPopupIndex(int index) {
  if (PopupMenu* popup = Popup()) popup->SetListIndex(index);
}

EditField* SheetWindow::EF(int index) const { return ControlAs<EditField>("EF", index); }

CheckBox* SheetWindow::CBGrid() const { return ControlAs<CheckBox>("CBGrid"); }

PopupMenu* SheetWindow::Popup() const { return popupName_.empty() ? nullptr : ControlAs<PopupMenu>(popupName_); }
