// ResetControls: every software-device control back to its start value.
#include "platform/d3d8/device_control.h"

namespace zelk4::d3d8 {

void ResetPresentControls();

void ResetControls() {
  ResetPresentControls();
  SetCreateDeviceFailureHook(nullptr);
  EnableCallLog(false);
  ClearCallLog();
  SetWorkerThreads(0);
}

}  // namespace zelk4::d3d8
