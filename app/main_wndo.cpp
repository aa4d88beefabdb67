#include "app/main_wndo.h"

#include "app/wait_cursor.h"
#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/controls.h"
#include "scene/pd3d_space.h"
#include "scene/pd_box.h"
#include "scene/pd_round_arrow.h"
#include "sheets/charge_sheets.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

namespace {
// How long work runs before the wait cursor shows.
constexpr int kWaitCursorDelayMs = 200;
}  // namespace

MainWndo::MainWndo()
    : listed_([this]() -> ListBox& { return ControlRef<ListBox>("ObjectList"); }),
      waitCursor_(std::make_unique<WaitCursor>(this, kWaitCursorDelayMs)) {
  // Changes that came while busy and were not drawn since.
  gate_.SetOnIdle([this] {
    if (fieldPassPending_ || matrixPending_) scheduleRedraw();
    if (viewUpdatePending_) requestViewUpdate();
  });
}

MainWndo::~MainWndo() {
  if (Factories() == this) SetChargeFactories(nullptr);
}

MainWndo::WorkScope::WorkScope(MainWndo& w) : w_(w) { w_.waitCursor_->Begin(); }
MainWndo::WorkScope::~WorkScope() { w_.waitCursor_->End(); }

bool MainWndo::ShowsWaitCursor() const { return waitCursor_->Shown(); }

void MainWndo::requestViewUpdate() {
  viewUpdatePending_ = true;
  if (viewUpdateScheduled_) return;
  viewUpdateScheduled_ = true;
  QTimer::singleShot(0, this, [this] { flushViewUpdate(); });
}

void MainWndo::flushViewUpdate() {
  viewUpdateScheduled_ = false;
  // While busy the running work draws the view at its end, or leaving the
  // busy state asks again.
  if (!viewUpdatePending_ || Busy()) return;
  renderView();
}

void MainWndo::requestRedraw(Redraw what) {
  if (!fieldPassPending_ && !matrixPending_) redrawAsked_.start();
  (what == Redraw::FieldPass ? fieldPassPending_ : matrixPending_) = true;
  scheduleRedraw();
}

void MainWndo::scheduleRedraw(int delayMs) {
  if (redrawScheduled_) return;
  redrawScheduled_ = true;
  QTimer::singleShot(delayMs, this, [this] { flushRedraw(); });
}

void MainWndo::flushRedraw() {
  redrawScheduled_ = false;
  // While busy, leaving the busy state asks again.
  if (Busy()) return;
  // A click that asked for the redraw has not ended while its button is
  // down. A pass started meanwhile would hold its release back while the
  // control's own timers run: a slider clicked beside its handle would step
  // on by itself as if its button were held. A button held longer is a drag
  // or a held press, which is drawn as it goes.
  constexpr int kClickMs = 300;
  if (QGuiApplication::mouseButtons() != Qt::NoButton && redrawAsked_.isValid() &&
      redrawAsked_.elapsed() < kClickMs) {
    scheduleRedraw(10);
    return;
  }
  // A field pass draws the dot matrix too.
  if (fieldPassPending_) {
    CalcVoltix();
  } else if (matrixPending_) {
    UpdateMatrix();
  }
}

void MainWndo::renderView() {
  WorkScope work(*this);
  viewUpdatePending_ = false;
  // A frame gives the event loop no turn: show the cursor before one that
  // will likely take long, as the last did.
  if (lastFrameSeconds_ >= kWaitCursorDelayMs / 1000.0) waitCursor_->ShowNow();
  QElapsedTimer clock;
  clock.start();
  Deref(MyPDSpace()).Update();
  lastFrameSeconds_ = static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

MainWndo* MainWndo::Shared() {
  if (auto* live = Window::LiveWindow<MainWndo>()) return live;
  // The charge model reaches the sheets, and rebuilds edited objects through
  // the window's factories.
  InstallChargeSheets();
  auto* w = new MainWndo;
  SetChargeFactories(w);
  w->Construct();
  return w;
}

PD3DSpace* MainWndo::MyPDSpace() const { return ControlAs<PD3DSpace>("MyPDSpace"); }

std::int64_t MainWndo::PointChargesInScene(const ChargedObject* except) const {
  std::int64_t n = 0;
  for (const auto& co : ChrgObjList) {
    if (co.get() != except) n += static_cast<std::int64_t>(co->ChargeList.size());
  }
  return n;
}

void MainWndo::AddMenuHandlers() {
  AddMenuHandler("HelpAbout", [this] { return _HelpAbout_Action(); });
}

void MainWndo::Event_Open() {
  listed_.Clear();
  Matrix.clear();
}

void MainWndo::Event_Close() { Quit(0); }

bool MainWndo::deferIfBusy(std::function<void()> handler) {
  if (Resetting) return false;
  return gate_.DeferIfBusy(std::move(handler));
}
