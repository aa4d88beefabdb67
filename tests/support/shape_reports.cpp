#include "shape_reports.h"

#include "framework/3d/shape_report.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstring>

void KeepShapeReport(const std::string& report);

namespace {
ShapeReportCatcher* current = nullptr;
QtMessageHandler next = nullptr;

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (context.category != nullptr && std::strcmp(context.category, shapeTextLog().categoryName()) == 0) {
    KeepShapeReport(message.toStdString());
  }
  if (next != nullptr) next(type, context, message);
}
}  // namespace

void KeepShapeReport(const std::string& report) {
  if (current != nullptr) {
    current->reports_.push_back(report);
  } else {
    ADD_FAILURE() << "a scene object was left without its shape: " << report;
  }
}

ShapeReportCatcher::ShapeReportCatcher() : outer_(current) { current = this; }
ShapeReportCatcher::~ShapeReportCatcher() { current = outer_; }

void FailTestsOnShapeReports() { next = qInstallMessageHandler(handle); }
