#pragma once

#include <QKeySequence>

#include <memory>
#include <string>
#include <vector>

// Menu model: a tree of items that windows show in their menu bars
// (Window::SetMenuBar). A heading is an item with children; an item whose
// Text is "-" is a separator. Build the whole tree before a window shows it.
class MenuItem {
public:
  MenuItem() = default;
  MenuItem(std::string name, std::string text, std::string shortcut = {});
  virtual ~MenuItem() = default;

  std::string Name;
  std::string Text;  // "&" marks the mnemonic letter
  // "Cmd+Q", "Ctrl+Shift+S", ...: "Cmd" stands for the platform's command
  // modifier (Ctrl here). Empty: no shortcut.
  std::string KeyboardShortcut;
  bool AutoEnable = true;

  void Append(std::shared_ptr<MenuItem> item);
  // The direct child of that name, or nullptr.
  [[nodiscard]] std::shared_ptr<MenuItem> Child(const std::string& name) const;
  // The item of that name anywhere below this one, or nullptr.
  [[nodiscard]] std::shared_ptr<MenuItem> Find(const std::string& name) const;
  [[nodiscard]] const std::vector<std::shared_ptr<MenuItem>>& Children() const { return children_; }
  [[nodiscard]] int Count() const { return static_cast<int>(children_.size()); }
  [[nodiscard]] bool IsSeparator() const { return Text == "-"; }

  // The item's own action when no window handler took the choice; returns
  // whether it did something. A plain item does nothing.
  virtual bool Action() { return false; }

private:
  std::vector<std::shared_ptr<MenuItem>> children_;
};

// Quits the application when chosen.
class QuitMenuItem : public MenuItem {
public:
  using MenuItem::MenuItem;
  bool Action() override;
};

// The root of a menu tree: its children are the headings.
class MenuBar : public MenuItem {
public:
  using MenuItem::MenuItem;
};

// The key sequence of a shortcut text ("Cmd+Q" -> Ctrl+Q); empty for none.
QKeySequence ToKeySequence(const std::string& shortcut);
