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
#include <QTimer>

void MainWndo::leaveBusy() {
  if (--busy_ != 0) return;
  if (!deferred_.empty() && !deferredScheduled_) {
    deferredScheduled_ = true;
    QTimer::singleShot(0, this, [this] { runDeferred(); });
  }
  // A camera change that came while busy and was not drawn since.
  if (viewUpdatePending_) requestViewUpdate();
}

namespace {
// How long work runs before the wait cursor shows.
constexpr int kWaitCursorDelayMs = 200;
}  // namespace

MainWndo::MainWndo() : waitCursor_(std::make_unique<WaitCursor>(this, kWaitCursorDelayMs)) {}

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
  ChrgObjList.clear();
  SurfaceList.clear();
  Matrix.clear();
}

void MainWndo::Event_Close() { Quit(0); }

bool MainWndo::deferIfBusy(std::function<void()> handler, Merge merge) {
  if (busy_ == 0 || Resetting) return false;
  if (merge != Merge::No && !deferred_.empty() && deferred_.back().merge == merge) return true;
  deferred_.push_back({std::move(handler), merge});
  return true;
}

void MainWndo::runDeferred() {
  deferredScheduled_ = false;
  // Each handler may itself defer more; take the current batch only.
  auto batch = std::move(deferred_);
  deferred_.clear();
  for (std::size_t i = 0; i < batch.size(); ++i) {
    if (busy_ > 0) {
      // Something started running again: keep the rest for later, in order.
      deferred_.insert(deferred_.begin(), batch.begin() + static_cast<std::ptrdiff_t>(i), batch.end());
      return;
    }
    batch[i].handler();
  }
}
