#include "scene/pd_timer.h"

#include "framework/runtime/nil_object.h"
#include "scene/pd3d_space.h"

void PDTimer::Event_Action() { Deref(MyPD3DSpace.data()).UpdateFrame(); }

void PDTimer::Constructor(PD3DSpace* space) {
  MyPD3DSpace = space;
  SetPeriod(40);
  SetEnabled(true);
  SetMode(0);
  ticker = 0;
}
