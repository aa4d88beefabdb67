#pragma once

#include "framework/ui/application.h"

// The application object; nothing of its own beyond the framework's.
class Appl : public Application {
  Q_OBJECT

public:
  using Application::Application;
};
