// ResetControls: every software-device control back to its start value; drawing suspension.
#include "platform/d3d8/device_control.h"

namespace zelk4::d3d8 {

namespace {
bool drawingSuspended = false;
}

void SetDrawingSuspended(bool suspended) { drawingSuspended = suspended; }

bool DrawingSuspended() { return drawingSuspended; }

void ResetPresentControls();

void ResetControls() {
  ResetPresentControls();
  SetCreationResultHook(nullptr);
  EnableCallLog(false);
  ClearCallLog();
  SetDrawingSuspended(false);
  SetWorkerThreads(0);
}

}  // namespace zelk4::d3d8
