#pragma once

#include "framework/ui/application.h"

// The application object; nothing of its own beyond the framework's.
class Appl : public Application {
  Q_OBJECT

public:
  using Application::Application;
};

// The program's shut-down once its event loop has ended: the kept About
// page, the windows, the file type, the menu bar.
void ShutDownProgram();
