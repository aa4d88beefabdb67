#include "framework/ui/menus.h"

#include <QString>

#include "framework/runtime/runtime.h"

MenuItem::MenuItem(std::string name, std::string text, std::string shortcut)
    : Name(std::move(name)), Text(std::move(text)), KeyboardShortcut(std::move(shortcut)) {}

void MenuItem::Append(std::shared_ptr<MenuItem> item) {
  if (item) children_.push_back(std::move(item));
}

std::shared_ptr<MenuItem> MenuItem::Child(const std::string& name) const {
  for (const auto& c : children_) {
    if (c->Name == name) return c;
  }
  return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::Find(const std::string& name) const {
  for (const auto& c : children_) {
    if (c->Name == name) return c;
    if (auto found = c->Find(name)) return found;
  }
  return nullptr;
}

bool QuitMenuItem::Action() {
  Quit(0);
  return true;
}

QKeySequence ToKeySequence(const std::string& shortcut) {
  if (shortcut.empty()) return {};
  QString text = QString::fromStdString(shortcut);
  // "Cmd" is the command modifier; Qt's "Ctrl" is that modifier on every
  // platform (Command on macOS, Control elsewhere).
  text.replace("Cmd", "Ctrl", Qt::CaseInsensitive);
  text.replace("Command", "Ctrl", Qt::CaseInsensitive);
  text.replace("Option", "Alt", Qt::CaseInsensitive);
  return QKeySequence::fromString(text, QKeySequence::PortableText);
}
