#pragma once

#include "framework/ui/menus.h"

#include <memory>

// The menu bar: File (Quit), Edit (Undo, Cut, Copy, Paste, Clear), Help (About).
class MainMenu : public MenuBar {
public:
  MainMenu();
  // The shared menu bar, made on first use.
  static std::shared_ptr<MainMenu> Shared();
  // Drops the shared instance (at exit).
  static void Release();

  virtual void Untitled1();  // File
  virtual void Untitled2();  // Edit
  virtual void Untitled4();  // Help

private:
  // A new item given its name, AutoEnable, text and shortcut, in that order,
  // appended to the heading of that name.
  void addItem(const std::string& heading, std::shared_ptr<MenuItem> item, const std::string& name,
               const std::string& text, const std::string* shortcut);
  void addHeading(const std::string& name, const std::string& text);
};
