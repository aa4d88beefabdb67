#include "framework/3d/gl_program.h"

#include <QOpenGLShaderProgram>

std::unique_ptr<QOpenGLShaderProgram> LinkedProgram(const char* vertex, const char* fragment, QString& log) {
  auto program = std::make_unique<QOpenGLShaderProgram>();
  if (program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
      program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) && program->link())
    return program;
  log = program->log().trimmed();
  return nullptr;
}
