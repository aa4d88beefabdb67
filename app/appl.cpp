#include "app/appl.h"

#include "app/about_wndo.h"
#include "app/file_types.h"
#include "app/main_menu.h"
#include "app/main_wndo.h"

Appl::Appl(int& argc, char** argv) : Application(argc, argv) {
  // Message boxes take their title from it; left unset it is the executable's
  // lower-case name. The display name would serve too, but on X11 the toolkit
  // adds a display name to the title of every window ("Voltix Window — Voltix").
  setApplicationName(QStringLiteral("Voltix"));
}

void ShutDownProgram() {
  ReleaseAboutVoltix();
  delete AboutWndo::LiveWindow<AboutWndo>();
  delete MainWndo::LiveWindow<MainWndo>();
  FileTypes::Release();
  MainMenu::Release();
}
