#include "app/form1_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "app/resources_win32.h"
#include "platform/win32_handles.h"

namespace corvantis {
namespace {

constexpr wchar_t kCaption[] = L"Corvantis";
constexpr wchar_t kText1Tooltip[] =
    L"自动刷新时间太短的话将导致你无法操作游戏窗口,建议20秒以上！";

// A fixed frame: nothing in the layout follows a resize, so the panel
// offers neither a sizing border nor a maximize box.
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Lets the dialog manager move the focus among the controls.
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
// Where the client area's top-left corner is first placed, and its size.
constexpr RECT kClientArea = {425, 210, 425 + 269, 210 + 299};
constexpr COLORREF kBackground = RGB(194, 225, 246);
constexpr UINT kTimerInterval = 1000;

enum class Kind { kLabel, kListBox, kButton, kTextBox, kCheckBox };

struct Bounds {
  int left;
  int top;
  int width;
  int height;
};

struct ControlLayout {
  Kind kind;
  ControlId id;
  const wchar_t* caption;  // or the initial text
  Bounds bounds;           // client-area pixels
  int tab_index;
};

// The panel's controls in pixels at 96 dpi. The handle lists are not
// windows: Panel keeps them in memory, which frees tab indices 0 and 2.
constexpr ControlLayout kLayout[] = {
    {Kind::kLabel, kLabel1, L"大厅个数：", {16, 8, 97, 17}, 5},
    {Kind::kLabel, kLabel2, L"游戏个数：", {152, 8, 81, 17}, 6},
    {Kind::kListBox, k大厅名称, L"", {24, 32, 97, 88}, 3},
    {Kind::kListBox, k游戏名称, L"", {160, 32, 97, 88}, 4},
    {Kind::kButton, kCommand1, L"手动刷新", {8, 136, 81, 33}, 1},
    {Kind::kButton, kCommand5, L"全部关闭", {176, 136, 89, 33}, 12},
    {Kind::kButton, kCommand2, L"自动刷新", {8, 176, 81, 33}, 8},
    {Kind::kTextBox, kText1, L"20", {96, 176, 33, 25}, 7},
    {Kind::kLabel, kLabel3, L"秒/次", {136, 176, 41, 25}, 9},
    {Kind::kCheckBox, kCheck1, L"窗口置顶", {176, 184, 89, 17}, 15},
    {Kind::kButton, kCommand3, L"新开一个大厅", {8, 216, 105, 33}, 10},
    {Kind::kButton, kCommand4, L"下载Ostrel", {136, 216, 121, 33}, 11},
    {Kind::kLabel,
     kLabel4,
     L"欢迎您提供宝贵的意见和建议--Velmora",
     {16, 264, 257, 17},
     13},
    {Kind::kLabel,
     kLabel5,
     L"合作与建议请联系QQ：80012345",
     {48, 280, 185, 17},
     14},
};

struct LineLayout {
  POINT from;
  POINT to;
  bool window_text_colour;  // otherwise black
};

// Line3 lies beyond the client area's right edge and is clipped away.
constexpr LineLayout kLines[] = {
    {{136, 0}, {136, 128}, false},
    {{0, 128}, {272, 128}, true},
    {{272, 0}, {272, 128}, true},
};

struct EventRoute {
  UINT message;
  UINT_PTR source;  // control id or timer id
  UINT code;        // notification code; 0 for timers
  void (Panel::*handler)();
};

// Every event the panel handles, and nothing else.
constexpr EventRoute kEventRoutes[] = {
    {WM_COMMAND, k大厅名称, LBN_SELCHANGE, &Panel::大厅名称_Click},
    {WM_COMMAND, k游戏名称, LBN_SELCHANGE, &Panel::游戏名称_Click},
    {WM_COMMAND, kCommand1, BN_CLICKED, &Panel::Command1_Click},
    {WM_COMMAND, kCommand2, BN_CLICKED, &Panel::Command2_Click},
    {WM_COMMAND, kCommand3, BN_CLICKED, &Panel::Command3_Click},
    {WM_COMMAND, kCommand4, BN_CLICKED, &Panel::Command4_Click},
    {WM_COMMAND, kCommand5, BN_CLICKED, &Panel::Command5_Click},
    {WM_COMMAND, kCheck1, BN_CLICKED, &Panel::Check1_Click},
    {WM_TIMER, kTimer1, 0, &Panel::Timer1_Timer},
    {WM_TIMER, kTimer2, 0, &Panel::Timer2_Timer},
    {WM_TIMER, kGuardWatch, 0, &Panel::GuardWatch_Timer},
};

struct KindStyle {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
};

KindStyle StyleOf(Kind kind) {
  switch (kind) {
    case Kind::kLabel:
      return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case Kind::kListBox:
      // Exactly the layout's height, not rounded down to whole entries.
      return {WC_LISTBOXW,
              LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case Kind::kButton:
      return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case Kind::kTextBox:
      return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case Kind::kCheckBox:
      return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
  }
  return {};
}

}  // namespace

Form1::Live::Live(HWND form, CompanionServices services, GuardStarter& guard)
    : 大厅名称(GetDlgItem(form, k大厅名称)),
      游戏名称(GetDlgItem(form, k游戏名称)),
      Label1(GetDlgItem(form, kLabel1)),
      Label2(GetDlgItem(form, kLabel2)),
      Command2(GetDlgItem(form, kCommand2)),
      Text1(GetDlgItem(form, kText1)),
      Check1(GetDlgItem(form, kCheck1)),
      Timer1(form, kTimer1, false, kTimerInterval),
      Timer2(form, kTimer2, true, kTimerInterval),
      GuardWatch(form, kGuardWatch, false, kGuardWatchMs),
      panel(services,
            PanelControls{大厅名称, 游戏名称, Label1, Label2, Command2, Text1,
                          Check1, Timer1, Timer2, GuardWatch},
            guard) {
  panel.SetWindowHandle(FromHwnd(form));
}

Form1::Form1(HINSTANCE instance, CompanionServices services,
             GuardStarter& guard)
    : instance_(instance),
      services_(services),
      guard_(guard),
      background_(CreateSolidBrush(kBackground)) {}

Form1::~Form1() {
  // Destroy the window while everything its messages reach still exists.
  window_.Reset();
}

bool Form1::Create() {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance_;
  window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_CORVANTIS));
  window_class.hIconSm = static_cast<HICON>(LoadImageW(
      instance_, MAKEINTRESOURCEW(IDI_CORVANTIS), IMAGE_ICON,
      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kForm1ClassName;
  if (!RegisterClassExW(&window_class)) return false;

  RECT frame = kClientArea;
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  CreateWindowExW(kExStyle, kForm1ClassName, kCaption, kStyle, frame.left,
                  frame.top, frame.right - frame.left, frame.bottom - frame.top,
                  nullptr, nullptr, instance_, this);
  return window_.Get() != nullptr;
}

WindowHandle Form1::Handle() const { return FromHwnd(window_.Get()); }

void Form1::LoadAndShow(int show_command) {
  // A box the Load handler opens comes up before the panel does.
  live_->panel.Form_Load();
  ShowWindow(window_.Get(), show_command);
  UpdateWindow(window_.Get());
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wparam,
                                   LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Form1*>(
        reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = UniqueWindow(window);
  }
  auto* self =
      reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_.Release();
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_ACTIVATE:
      if (OnActivate(wparam)) return 0;
      break;
    case WM_ERASEBKGND:
      OnEraseBackground(reinterpret_cast<HDC>(wparam));
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_WINDOWPOSCHANGED:
      OnWindowPosChanged(*reinterpret_cast<const WINDOWPOS*>(lparam));
      break;
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(reinterpret_cast<HDC>(wparam));
    case WM_COMMAND:
      OnEvent(message, LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_TIMER:
      OnEvent(message, wparam, 0);
      return 0;
    case WM_QUERYENDSESSION:
      OnQueryEndSession();
      return TRUE;
    case WM_ENDSESSION:
      OnEndSession(wparam != FALSE, (lparam & ENDSESSION_CLOSEAPP) != 0);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return DefWindowProcW(window_.Get(), message, wparam, lparam);
}

bool Form1::OnCreate() {
  const HWND form = window_.Get();
  std::array<const ControlLayout*, std::size(kLayout)> tab_order;
  std::transform(std::begin(kLayout), std::end(kLayout), tab_order.begin(),
                 [](const ControlLayout& control) { return &control; });
  std::sort(tab_order.begin(), tab_order.end(),
            [](const ControlLayout* a, const ControlLayout* b) {
              return a->tab_index < b->tab_index;
            });
  // The dialog manager tabs through the children in the order they were
  // created.
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (const ControlLayout* control : tab_order) {
    const KindStyle kind = StyleOf(control->kind);
    const HWND child = CreateWindowExW(
        kind.ex_style, kind.window_class, control->caption,
        WS_CHILD | WS_VISIBLE | kind.style, control->bounds.left,
        control->bounds.top, control->bounds.width, control->bounds.height,
        form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->id)),
        instance_, nullptr);
    if (!child) return false;
    SendMessageW(child, WM_SETFONT, font, FALSE);
  }
  SendDlgItemMessageW(form, kText1, EM_SETLIMITTEXT, 0, 0);  // no limit
  // Ticking it here raises no BN_CLICKED.
  CheckDlgButton(form, kCheck1, BST_CHECKED);
  CreateText1Tooltip();
  live_.emplace(form, services_, guard_);
  return true;
}

void Form1::CreateText1Tooltip() {
  // Without an owner: under Wine a topmost popup owned by the panel keeps
  // SetWindowPos(HWND_TOPMOST) from raising the panel. So it is destroyed
  // by hand with the panel.
  tooltip_.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 nullptr, nullptr, instance_, nullptr));
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_.Get();
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_.Get(), kText1));
  tool.lpszText = const_cast<wchar_t*>(kText1Tooltip);
  SendMessageW(tooltip_.Get(), TTM_ADDTOOLW, 0,
               reinterpret_cast<LPARAM>(&tool));
}

bool Form1::OnActivate(WPARAM wparam) {
  // Like a dialog box, the panel gives the focus back to the control that
  // had it when the user left.
  if (LOWORD(wparam) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    saved_focus_ = IsChild(window_.Get(), focus) ? focus : nullptr;
    return false;
  }
  if (HIWORD(wparam) || !saved_focus_ || !IsWindow(saved_focus_)) {
    return false;
  }
  SetFocus(saved_focus_);
  return true;
}

void Form1::OnEraseBackground(HDC dc) const {
  RECT client;
  GetClientRect(window_.Get(), &client);
  FillRect(dc, &client, background_.Get());
}

void Form1::OnPaint() const {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window_.Get(), &paint);
  const HGDIOBJ old_pen = SelectObject(dc, GetStockObject(DC_PEN));
  for (const LineLayout& line : kLines) {
    SetDCPenColor(dc, line.window_text_colour ? GetSysColor(COLOR_WINDOWTEXT)
                                              : RGB(0, 0, 0));
    MoveToEx(dc, line.from.x, line.from.y, nullptr);
    LineTo(dc, line.to.x, line.to.y);
  }
  SelectObject(dc, old_pen);
  EndPaint(window_.Get(), &paint);
}

void Form1::OnWindowPosChanged(const WINDOWPOS& position) const {
  // Nothing owns the tooltip, so raising the panel (each stay-on-top tick
  // does) would cover a tip that is showing: raise the tip along with it.
  if (position.flags & SWP_NOZORDER || !IsWindowVisible(tooltip_.Get())) {
    return;
  }
  SetWindowPos(tooltip_.Get(), HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT Form1::OnColorStatic(HDC dc) const {
  // Labels and the check box lie flush on the panel's background.
  SetBkColor(dc, kBackground);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(background_.Get());
}

void Form1::OnEvent(UINT message, UINT_PTR source, UINT code) {
  const auto route = std::find_if(
      std::begin(kEventRoutes), std::end(kEventRoutes),
      [&](const EventRoute& candidate) {
        return candidate.message == message && candidate.source == source &&
               candidate.code == code;
      });
  if (route != std::end(kEventRoutes) && live_) {
    (live_->panel.*(route->handler))();
  }
}

void Form1::OnQueryEndSession() {
  // Every tracked window comes back while the session can still show it;
  // the answer is always yes.
  if (live_) live_->panel.Form_Unload();
}

void Form1::OnEndSession(bool ending, bool close_only) {
  if (!live_) return;
  if (!ending) {
    live_->panel.ResumeAfterCancelledEnd();
    return;
  }
  live_->panel.Form_Unload();
  // The session goes on, and an installer waits for the panel to close:
  // a panel left up, unloaded, would do nothing more.
  if (close_only) window_.Reset();
}

void Form1::OnDestroy() {
  // Absent only when creating the controls failed.
  if (live_) live_->panel.Form_Unload();
  tooltip_.Reset();
  PostQuitMessage(0);
}

}  // namespace corvantis
