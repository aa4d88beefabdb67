#include "app/appl.h"

#include "app/about_wndo.h"
#include "app/file_types.h"
#include "app/main_menu.h"
#include "app/main_wndo.h"

void ShutDownProgram() {
  ReleaseAboutVoltix();
  delete AboutWndo::LiveWindow<AboutWndo>();
  delete MainWndo::LiveWindow<MainWndo>();
  FileTypes::Release();
  MainMenu::Release();
}
