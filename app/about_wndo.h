#pragma once

#include <QPushButton>  // window.h needs it complete

#include "framework/ui/window.h"

#include <string>

// The About page: read from the program's resources once per run and kept.
std::string AboutVoltix();
// How often the page has been read from the resources this run.
int AboutVoltixReads();
// Forgets the kept page (at exit).
void ReleaseAboutVoltix();

// The About window: the About page in an HTML viewer.
class AboutWndo : public Window {
  Q_OBJECT

public:
  // The open About window, or a new one.
  static AboutWndo* Shared();

protected:
  AboutWndo() = default;
  void Layout() override;
  void CreateControls() override;
  virtual void _CreateControls0();
  void AddMenuHandlers() override;
  void Event_Open() override;
};
