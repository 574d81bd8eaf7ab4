// ResetControls: every software-device control back to its start value.
#include "platform/d3d8/device_control.h"

namespace d3d8 {

void ResetPresentControls();

void ResetControls() {
  ResetPresentControls();
  SetCreationResultHook(nullptr);
  EnableCallLog(false);
  ClearCallLog();
  SetWorkerThreads(0);
}

}  // namespace d3d8
