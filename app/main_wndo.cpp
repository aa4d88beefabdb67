#include "app/main_wndo.h"

#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/controls.h"
#include "scene/pd3d_space.h"
#include "scene/pd_box.h"
#include "scene/pd_round_arrow.h"
#include "sheets/sheet_window.h"

#include <QTimer>

void MainWndo::leaveBusy() {
  if (--busy_ == 0 && !deferred_.empty() && !deferredScheduled_) {
    deferredScheduled_ = true;
    QTimer::singleShot(0, this, [this] { runDeferred(); });
  }
}

MainWndo::MainWndo() = default;

MainWndo::~MainWndo() {
  if (Factories() == this) SetChargeFactories(nullptr);
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

bool MainWndo::deferIfBusy(std::function<void()> handler) {
  if (busy_ == 0 || Resetting) return false;
  deferred_.push_back(std::move(handler));
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
    batch[i]();
  }
}
