#pragma once

#include "framework/3d/element3d.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "scene/pd3d_object.h"
#include "scene/pd3d_space.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A view whose clock the tests set, with its framework event handlers open.
class TestSpace : public PD3DSpace {
public:
  using PD3DSpace::Event_Close;
  using PD3DSpace::Event_MouseDown;
  using PD3DSpace::Event_MouseUp;
  std::int32_t now = 1000;
  std::int32_t dblTime = 30;

protected:
  std::int32_t CurrentTicks() override { return now; }
  std::int32_t DoubleClickTicks() override { return dblTime; }
};

// An opened view that is the current scene, as the main window has it: far
// plane 5000, field of view 50, frame timer stopped by the Open handler.
// Message boxes and shape texts are recorded.
class SceneTest : public ::testing::Test {
protected:
  void SetUp() override {
    previousSink_ = SetUserAlertSink({[this](const std::string& text) { messages.push_back(text); }, [] {}});
    previousObserver_ = SetShapeTextObserver(
        [this](const PD3DObject& object, const std::string& text) { texts[&object] = text; });
    view = std::make_unique<TestSpace>();
    view->resize(400, 300);
    view->Yon = 5000.0;
    view->FieldOfView = 50;
    QObject::connect(view.get(), &PD3DSpace::Open, view.get(), [v = view.get()] { v->StopAutoUpdate(); });
    view->OpenView();
    ASSERT_NE(view->Objects(), nullptr) << "no OpenGL renderer: run under a display (xvfb-run)";
  }

  void TearDown() override {
    view.reset();
    SetShapeTextObserver(previousObserver_);
    SetUserAlertSink(previousSink_);
  }

  Group3D& group() { return *view->Objects(); }
  int count() { return group().Count(); }
  Element3D* item(int i) { return group().Item(i).get(); }
  std::string textOf(const std::shared_ptr<PD3DObject>& obj) { return texts[obj.get()]; }

  std::unique_ptr<TestSpace> view;
  std::vector<std::string> messages;
  std::map<const PD3DObject*, std::string> texts;

private:
  UserAlertSink previousSink_;
  ShapeTextObserver previousObserver_;
};

#define EXPECT_VEC(v, x, y, z)                 \
  do {                                         \
    const Vector3D vec_ = (v);                 \
    EXPECT_NEAR(vec_.X, (x), 1e-9) << #v;      \
    EXPECT_NEAR(vec_.Y, (y), 1e-9) << #v;      \
    EXPECT_NEAR(vec_.Z, (z), 1e-9) << #v;      \
  } while (0)

// Compares a shape text with its expected lines: each line's leading tabs and
// blanks exactly, words exactly, numbers by value (so "-0" equals "0" and
// rounding in the last digit is allowed). `crAfterEach`: every line ends with
// a carriage return; otherwise one stands between lines and none at the end.
inline ::testing::AssertionResult ShapeTextIs(const std::string& actual, const std::vector<std::string>& expected,
                                              bool crAfterEach = true) {
  std::vector<std::string> lines;
  std::string current;
  for (char ch : actual) {
    if (ch == '\r') {
      lines.push_back(current);
      current.clear();
    } else {
      current += ch;
    }
  }
  if (crAfterEach) {
    if (!current.empty()) return ::testing::AssertionFailure() << "text does not end with CR: [" << current << "]";
  } else {
    lines.push_back(current);
  }
  if (lines.size() != expected.size())
    return ::testing::AssertionFailure() << lines.size() << " lines, expected " << expected.size();
  auto split = [](const std::string& s) {
    std::vector<std::string> words;
    std::string w;
    for (char ch : s) {
      if (ch == ' ') {
        words.push_back(w);
        w.clear();
      } else {
        w += ch;
      }
    }
    words.push_back(w);
    return words;
  };
  auto number = [](const std::string& s, double& out) {
    if (s.empty() || s[0] == ' ' || s[0] == '\t') return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
  };
  auto tabs = [](const std::string& s) { return s.find_first_not_of('\t') == std::string::npos ? s.size() : s.find_first_not_of('\t'); };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t ta = tabs(lines[i]);
    const std::size_t te = tabs(expected[i]);
    const auto a = split(lines[i].substr(ta));
    const auto e = split(expected[i].substr(te));
    bool same = ta == te && a.size() == e.size();
    for (std::size_t k = 0; same && k < a.size(); ++k) {
      double x = 0.0, y = 0.0;
      if (number(a[k], x) && number(e[k], y)) {
        same = std::abs(x - y) <= 1e-12 * std::max(1.0, std::abs(y));
      } else {
        same = a[k] == e[k];
      }
    }
    if (!same) return ::testing::AssertionFailure() << "line " << i + 1 << ": [" << lines[i] << "] expected [" << expected[i] << "]";
  }
  return ::testing::AssertionSuccess();
}
