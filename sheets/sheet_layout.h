#pragma once

#include <initializer_list>
#include <vector>

// One control of a sheet as it is created: kind, name, index (-1 for a control
// addressed by name alone), caption or initial text, and its box in the
// window's content area.
enum class SheetControlKind { Label, EditField, PushButton, CheckBox, PopupMenu, RadioButton, GroupBox };
enum class SheetAlign { Left, Center, Right };

struct SheetControl {
  SheetControlKind kind;
  const char* name;
  int index;
  const char* text;  // caption, initial text, or a popup's items separated by '\n'
  int left, top, width, height;
  SheetAlign align = SheetAlign::Left;
  bool value = false;  // a check box ticked, a radio button chosen
};

struct SheetLayout {
  const char* title;
  int width, height;
  std::vector<SheetControl> controls;  // creation order
};
