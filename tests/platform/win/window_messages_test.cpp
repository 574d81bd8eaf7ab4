// The window layer's message semantics: queue order, filters, what SDL input turns into, and
// what closing a window sends.
#include <vector>

#include "platform/win/win_test_env.h"

namespace {
using zelk4::test::HeadlessWin;

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;
LRESULT createAnswer = 0;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.push_back({message, wParam, lParam});
  if (message == WM_CREATE) return createAnswer;
  return DefWindowProcA(window, message, wParam, lParam);
}

class WinMessages : public HeadlessWin {
 protected:
  void SetUp() override {
    HeadlessWin::SetUp();
    seen.clear();
    createAnswer = 0;
  }
  HWND MakeWindow(const char* className = "TestClass", DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    return CreateWindowExA(0, className, "Test", style, 0, 0, 646, 506, nullptr, nullptr, nullptr, nullptr);
  }
  static std::vector<UINT> Drain(HWND filter = nullptr) {
    std::vector<UINT> taken;
    MSG msg;
    while (PeekMessageA(&msg, filter, 0, 0, PM_REMOVE)) taken.push_back(msg.message);
    return taken;
  }
};

TEST_F(WinMessages, PostedMessagesAndQuitComeOutInPostingOrder) {
  HWND w = MakeWindow();
  Drain();
  PostMessageA(w, WM_USER, 1, 0);
  PostQuitMessage(7);
  PostQuitMessage(8);  // a second quit is queued too, not merged
  PostMessageA(w, WM_USER + 1, 2, 0);

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER);  // looking leaves it in place
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(msg.hwnd, w);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_QUIT, WM_USER + 1}));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // empty: answers at once
}

TEST_F(WinMessages, FiltersPickByWindowAndRangeAndLeaveTheRest) {
  HWND a = MakeWindow("ClassA");
  HWND b = MakeWindow("ClassB");
  Drain();
  PostMessageA(a, WM_USER, 0, 0);
  PostMessageA(b, WM_USER + 1, 0, 0);
  PostMessageA(a, WM_KEYDOWN, VK_SPACE, 0);

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER}));
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&msg), WM_USER, 0, 0));  // not a window
}

TEST_F(WinMessages, KeysArriveAsVirtualKeyMessagesForTheirWindow) {
  HWND w = MakeWindow();
  Drain();
  zelk4::test::PushKey(w, SDLK_ESCAPE, true);
  zelk4::test::PushKey(w, SDLK_SPACE, true);
  zelk4::test::PushKey(w, SDLK_RETURN, true);
  zelk4::test::PushKey(w, SDLK_q, true);
  zelk4::test::PushKey(w, SDLK_F5, true);
  zelk4::test::PushKey(w, SDLK_7, false);
  zelk4::test::PushKey(w, SDLK_F4, true, KMOD_LALT);
  zelk4::test::PushKey(w, SDLK_UNDO, true);  // no virtual key: dropped

  std::vector<Seen> taken;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    EXPECT_EQ(msg.hwnd, w);
    taken.push_back({msg.message, msg.wParam, msg.lParam});
  }
  ASSERT_EQ(taken.size(), 7u);
  const WPARAM keys[] = {VK_ESCAPE, VK_SPACE, VK_RETURN, 'Q', VK_F1 + 4, '7', VK_F4};
  for (size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i].wParam, keys[i]) << i;
  EXPECT_EQ(taken[0].message, WM_KEYDOWN);
  EXPECT_EQ(taken[0].lParam & 0xFFFF, 1);           // repeat count
  EXPECT_EQ(taken[0].lParam & (LPARAM{3} << 30), 0);  // was up, is going down
  EXPECT_EQ(taken[5].message, WM_KEYUP);
  EXPECT_EQ(taken[5].lParam & (LPARAM{3} << 30), LPARAM{3} << 30);
  EXPECT_EQ(taken[6].message, WM_SYSKEYDOWN);
}

TEST_F(WinMessages, TranslatedKeyGivesItsCharacterNext) {
  HWND w = MakeWindow();
  Drain();
  PostMessageA(w, WM_KEYDOWN, 'A', 1);
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CHAR);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER}));

  PostMessageA(w, WM_KEYDOWN, VK_F1, 1);  // no character
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg));
  EXPECT_TRUE(Drain().empty());
  msg.message = WM_USER;
  EXPECT_FALSE(TranslateMessage(&msg));
}

TEST_F(WinMessages, CreationSendsCreateAndSizesTheClientArea) {
  HWND w = MakeWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, WM_NCCREATE);
  EXPECT_EQ(seen[1].message, WM_CREATE);
  RECT client{};
  ASSERT_TRUE(GetClientRect(w, &client));
  EXPECT_EQ(client.right, 640);  // the caption's allowance of 6 by 26 is not client area
  EXPECT_EQ(client.bottom, 480);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetTopWindow(nullptr), w);

  HWND popup = MakeWindow("Popup", WS_POPUP);
  ASSERT_TRUE(GetClientRect(popup, &client));
  EXPECT_EQ(client.right, 646);
  // A new outer size keeps the caption's allowance out of the client area.
  ASSERT_TRUE(MoveWindow(w, 0, 0, 1286, 746, TRUE));
  ASSERT_TRUE(GetClientRect(w, &client));
  EXPECT_EQ(client.right, 1280);
  EXPECT_EQ(client.bottom, 720);
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_TRUE(ShowWindow(popup, SW_SHOW) == FALSE && IsWindowVisible(popup));

  WNDCLASSEXA again{};
  again.cbSize = sizeof again;
  again.lpfnWndProc = RecordingProc;
  again.lpszClassName = "TestClass";
  EXPECT_EQ(RegisterClassExA(&again), 0);  // the name is taken
  again.lpszClassName = "Other";
  again.cbSize = 40;
  EXPECT_EQ(RegisterClassExA(&again), 0);  // a structure of the wrong size
  EXPECT_EQ(CreateWindowExA(0, "Unknown", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);

  createAnswer = -1;  // a procedure refusing WM_CREATE refuses the window
  EXPECT_EQ(MakeWindow("Refused"), nullptr);
  EXPECT_EQ(GetTopWindow(nullptr), popup);
}

TEST_F(WinMessages, CloseButtonDestroysTheWindowThroughDefaultProcessing) {
  HWND w = MakeWindow();
  Drain();
  seen.clear();
  zelk4::test::PushCloseButton(w);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CLOSE);
  DispatchMessageA(&msg);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, WM_CLOSE);
  EXPECT_EQ(seen[1].message, WM_DESTROY);  // sent from inside the default processing
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(zelk4::win::SdlWindowOf(w), nullptr);
  EXPECT_EQ(GetTopWindow(nullptr), nullptr);
  EXPECT_EQ(DispatchMessageA(&msg), 0);  // a dead window's messages go nowhere
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_FALSE(DestroyWindow(w));
}

TEST_F(WinMessages, MouseMovementAsksForTheCursorBeforeTheMoveIsQueued) {
  HWND w = MakeWindow();
  Drain();
  seen.clear();
  SetCursor(nullptr);
  zelk4::test::PushMouseMotion(w, 12, 34);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, WM_SETCURSOR);
  EXPECT_EQ(seen[0].lParam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  // The default processing put the class cursor back.
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(msg.message, WM_MOUSEMOVE);
  EXPECT_EQ(msg.lParam, MAKELPARAM(12, 34));
}

TEST_F(WinMessages, CursorAndDisplayCount) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  EXPECT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), "ID_CURSOR"), nullptr);  // no resources
  EXPECT_EQ(SetCursor(nullptr), arrow);
  EXPECT_EQ(SetCursor(arrow), nullptr);
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
}
}  // namespace
