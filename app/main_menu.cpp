#include "app/main_menu.h"

#include "framework/runtime/nil_object.h"

namespace {
std::shared_ptr<MainMenu>& SharedMenu() {
  static std::shared_ptr<MainMenu> menu;
  return menu;
}
}  // namespace

MainMenu::MainMenu() {
  Untitled1();
  Untitled2();
  Untitled4();
}

std::shared_ptr<MainMenu> MainMenu::Shared() {
  auto& menu = SharedMenu();
  if (!menu) menu = std::make_shared<MainMenu>();
  return menu;
}

void MainMenu::Release() { SharedMenu().reset(); }

void MainMenu::addHeading(const std::string& name, const std::string& text) {
  auto heading = std::make_shared<MenuItem>();
  heading->Name = name;
  heading->AutoEnable = true;
  heading->Text = text;
  heading->KeyboardShortcut = "";
  Append(heading);
}

void MainMenu::addItem(const std::string& heading, std::shared_ptr<MenuItem> item, const std::string& name,
                       const std::string& text, const std::string* shortcut) {
  item->Name = name;
  item->AutoEnable = true;
  item->Text = text;
  if (shortcut != nullptr) item->KeyboardShortcut = *shortcut;
  Deref(Child(heading)).Append(std::move(item));
}

void MainMenu::Untitled1() {
  addHeading("FileMenu", "&File");
  const std::string quit = "Cmd+Q";
  addItem("FileMenu", std::make_shared<QuitMenuItem>(), "FileQuit", "Quit", &quit);
}

void MainMenu::Untitled2() {
  addHeading("EditMenu", "&Edit");
  const std::string undo = "Cmd+Z", cut = "Cmd+X", copy = "Cmd+C", paste = "Cmd+V", none;
  addItem("EditMenu", std::make_shared<MenuItem>(), "EditUndo", "Undo", &undo);
  addItem("EditMenu", std::make_shared<MenuItem>(), "UntitledMenu0", "-", nullptr);
  addItem("EditMenu", std::make_shared<MenuItem>(), "EditCut", "Cut", &cut);
  addItem("EditMenu", std::make_shared<MenuItem>(), "EditCopy", "Copy", &copy);
  addItem("EditMenu", std::make_shared<MenuItem>(), "EditPaste", "Paste", &paste);
  addItem("EditMenu", std::make_shared<MenuItem>(), "EditClear", "Clear", &none);
}

void MainMenu::Untitled4() {
  addHeading("HelpMenu", "Help");
  const std::string none;
  addItem("HelpMenu", std::make_shared<MenuItem>(), "HelpAbout", "AboutVoltix...", &none);
}
