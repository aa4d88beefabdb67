#pragma once

#include <QString>

#include <memory>

class QOpenGLShaderProgram;

// A program of the two shaders; null, with the compiler's log in `log`, when
// the driver refuses them.
std::unique_ptr<QOpenGLShaderProgram> LinkedProgram(const char* vertex, const char* fragment, QString& log);
