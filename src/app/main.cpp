// The demo program. It takes no arguments and reads no configuration: Data.rar in the working
// directory, 640x480 full screen, Escape or the close button to end.
#include "app/app.h"

int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
