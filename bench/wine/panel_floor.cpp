// panel_floor: the least any panel must do at start, for desktop_bench to
// set Corvantis's start-up time and memory against. It loads what the
// panel needs (common controls 6 through its manifest, shell32), registers
// a window class with the panel's icon, creates the panel's window and its
// controls with the same classes, styles and sizes, the text box's
// tooltip and the stay-on-top timer, starts the updater beside it, shows
// the window and pumps messages. Nothing else: no tracked windows, no
// restore of earlier panels' windows, no event handling beyond painting
// and the timer. Its caption is "Panel floor".
#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/resources_win32.h"

namespace {

constexpr COLORREF kBackground = RGB(194, 225, 246);
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr UINT_PTR kStayOnTopTimer = 2;

struct Control {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
  const wchar_t* text;
  RECT bounds;  // left, top, width, height
};

constexpr DWORD kList =
    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr int kText1 = 7;

// The panel's fourteen windowed controls; Text1 is entry kText1.
const Control kControls[] = {
    {WC_BUTTONW, kButton, 0, L"手动刷新", {8, 136, 81, 33}},
    {WC_LISTBOXW, kList, WS_EX_CLIENTEDGE, L"", {24, 32, 97, 88}},
    {WC_LISTBOXW, kList, WS_EX_CLIENTEDGE, L"", {160, 32, 97, 88}},
    {WC_STATICW, kLabel, 0, L"大厅个数：", {16, 8, 97, 17}},
    {WC_STATICW, kLabel, 0, L"游戏个数：", {152, 8, 81, 17}},
    {WC_BUTTONW, kButton, 0, L"全部关闭", {176, 136, 89, 33}},
    {WC_BUTTONW, kButton, 0, L"自动刷新", {8, 176, 81, 33}},
    {WC_EDITW,
     ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE,
     L"20",
     {96, 176, 33, 25}},
    {WC_STATICW, kLabel, 0, L"秒/次", {136, 176, 41, 25}},
    {WC_BUTTONW,
     BS_AUTOCHECKBOX | WS_TABSTOP,
     0,
     L"窗口置顶",
     {176, 184, 89, 17}},
    {WC_BUTTONW, kButton, 0, L"新开一个大厅", {8, 216, 105, 33}},
    {WC_BUTTONW, kButton, 0, L"下载Ostrel", {136, 216, 121, 33}},
    {WC_STATICW,
     kLabel,
     0,
     L"欢迎您提供宝贵的意见和建议--Velmora",
     {16, 264, 257, 17}},
    {WC_STATICW,
     kLabel,
     0,
     L"合作与建议请联系QQ：80012345",
     {48, 280, 185, 17}},
};

HBRUSH g_background = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, g_background);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      MoveToEx(dc, 136, 0, nullptr);
      LineTo(dc, 136, 128);
      MoveToEx(dc, 0, 128, nullptr);
      LineTo(dc, 272, 128);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wparam), kBackground);
      return reinterpret_cast<LRESULT>(g_background);
    case WM_TIMER:
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void CreateControls(HWND window, HINSTANCE instance) {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  HWND text1 = nullptr;
  for (const Control& control : kControls) {
    const HWND child = CreateWindowExW(
        control.ex_style, control.window_class, control.text,
        WS_CHILD | WS_VISIBLE | control.style, control.bounds.left,
        control.bounds.top, control.bounds.right, control.bounds.bottom, window,
        nullptr, instance, nullptr);
    SendMessageW(child, WM_SETFONT, font, FALSE);
    if (&control == &kControls[kText1]) text1 = child;
  }
  const HWND tooltip = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
      nullptr, instance, nullptr);
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(text1);
  tool.lpszText = const_cast<wchar_t*>(
      L"自动刷新时间太短的话将导致你无法操作游戏窗口,建议20秒以上！");
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The updater beside the program, hidden, as every panel starts it.
void StartUpdater(HWND window) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring updater(path, length);
  updater.resize(updater.find_last_of(L'\\'));
  updater += L"\\自动升级.exe";
  if (GetFileAttributesW(updater.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  ShellExecuteW(window, L"open", updater.c_str(), L"25-131228-Corvantis", L"",
                SW_HIDE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  const INITCOMMONCONTROLSEX classes = {sizeof classes,
                                        ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);
  g_background = CreateSolidBrush(kBackground);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_CORVANTIS));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = L"PanelFloor";
  RegisterClassExW(&window_class);
  RECT frame = {425, 210, 425 + 269, 210 + 299};
  AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_CONTROLPARENT);
  const HWND window = CreateWindowExW(
      WS_EX_CONTROLPARENT, window_class.lpszClassName, L"Panel floor", kStyle,
      frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
      nullptr, nullptr, instance, nullptr);
  CreateControls(window, instance);
  SetTimer(window, kStayOnTopTimer, 1000, nullptr);
  StartUpdater(window);
  ShowWindow(window, show_command);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
