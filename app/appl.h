#pragma once

#include "framework/ui/application.h"

// The application object: the framework's, named "Voltix".
class Appl : public Application {
  Q_OBJECT

public:
  Appl(int& argc, char** argv);
};

// The program's shut-down once its event loop has ended: the kept About
// page, the windows, the file type, the menu bar.
void ShutDownProgram();
