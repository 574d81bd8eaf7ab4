// Spine tests start each case from the program's initial state: no window, the null engine,
// the part table as built, the frame timer unset, and a clean display-less window layer.
#pragma once

#include "app/app.h"
#include "app/engine_seams.h"
#include "platform/win/win_test_env.h"

namespace zelk4::test {

class AppSpine : public HeadlessWin {
 protected:
  void SetUp() override {
    HeadlessWin::SetUp();
    savedRow_ = partTable[0];
    savedLoader_ = partLoader;
    ResetSpine();
  }
  void TearDown() override {
    partTable[0] = savedRow_;
    partLoader = savedLoader_;
    ResetSpine();
    HeadlessWin::TearDown();
  }

 private:
  static void ResetSpine() {
    engine = DefaultEngineCalls();
    mainWindow = nullptr;
    mainAccelerators = nullptr;
    currentPart = 0;
    quitRequested = 0;
    ResetFrameTimer();
  }
  PartEntry savedRow_{};
  void (*savedLoader_)() = nullptr;
};

}  // namespace zelk4::test
