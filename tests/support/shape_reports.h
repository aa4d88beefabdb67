#pragma once

#include <string>
#include <vector>

// A scene object that reports a refused shape text fails the running test
// (the test executables' main installs the handler). A test that provokes such
// a report on purpose holds a catcher: while it lives, the reports are kept
// here instead.
class ShapeReportCatcher {
public:
  ShapeReportCatcher();
  ~ShapeReportCatcher();
  ShapeReportCatcher(const ShapeReportCatcher&) = delete;
  ShapeReportCatcher& operator=(const ShapeReportCatcher&) = delete;

  [[nodiscard]] const std::vector<std::string>& Reports() const { return reports_; }

private:
  friend void KeepShapeReport(const std::string& report);
  std::vector<std::string> reports_;
  ShapeReportCatcher* outer_;
};

// Installs the message handler that fails a test on a shape report; every
// other message goes on to the handler that was there before.
void FailTestsOnShapeReports();
