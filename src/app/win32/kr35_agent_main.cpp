// kr35-agent.exe: the mute agent in the notification area, without a console.
// kr35-agent [--simulate[=SCENARIO]] [--sim-trace=FILE] [--sim-state=FILE] [--no-notify]
//            [--duration=SECONDS]
// The icon's tooltip is the adapter's state; its menu turns the mirroring on
// and off, opens the download dialog and quits. A new-firmware notice is a
// balloon of the icon; clicking it opens the download dialog, closing it
// dismisses it. One agent runs per session; the uninstaller closes it by
// its window class.
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dialog_ids.h"
#include "app/download_options.h"
#include "app/firmware_notice.h"
#include "app/mute_agent.h"
#include "app/win32/program_arguments.h"
#include "history/history_location.h"
#include "services/platform_services.h"
#include "win32/utf16.h"

// After the seams, whose names the Windows macros would otherwise clash with.
#include "win32/windows_api.h"

#include <shellapi.h>

namespace {

using namespace kr35;

constexpr wchar_t kWindowClass[] = L"KR35AgentWindow";
constexpr wchar_t kSingleInstance[] = L"Local\\kr35-agent";
constexpr UINT kWakeMessage = WM_APP + 1;  // messages wait in the agent's queue
constexpr UINT kIconMessage = WM_APP + 2;  // the notification-area icon's events
constexpr UINT_PTR kRecheckTimer = 1;
constexpr UINT_PTR kDurationTimer = 2;
constexpr UINT kMirrorCommand = 1;
constexpr UINT kOpenCommand = 2;
constexpr UINT kQuitCommand = 3;

struct AgentArguments {
  bool notify = true;
  double durationSeconds = -1;
  DownloadOptions services;
};

AgentArguments ParseAgentArguments(const std::vector<std::string>& arguments, std::string& error) {
  AgentArguments parsed;
  std::vector<std::string> rest;
  for (const std::string& argument : arguments) {
    if (argument == "--no-notify") {
      parsed.notify = false;
    } else if (argument.rfind("--duration=", 0) == 0) {
      try {
        parsed.durationSeconds = std::stod(argument.substr(11));
      } catch (...) {
        error = "--duration needs a number of seconds";
      }
    } else {
      rest.push_back(argument);
    }
  }
  parsed.services = ParseDownloadOptions(rest);
  if (error.empty()) error = parsed.services.error;
  if (error.empty() && !parsed.services.parameter.empty()) {
    error = "unknown argument " + parsed.services.parameter;
  }
  if (error.empty() && !parsed.services.ignoredSwitches.empty()) {
    error = "unknown switch " + parsed.services.ignoredSwitches.front();
  }
  return parsed;
}

void SayProblem(const std::string& text) {
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
    return;  // a program without a console: the tooltip shows the state
  }
  const std::string line = "kr35-agent: " + text + "\n";
  DWORD written = 0;
  WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// kr35-download.exe from the agent's own folder.
void OpenDownloadDialog() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"kr35-download.exe";
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

template <std::size_t N>
void CopyText(wchar_t (&field)[N], const std::string& text) {
  const std::wstring wide = Utf16FromUtf8(text).substr(0, N - 1);
  wide.copy(field, wide.size());
  field[wide.size()] = L'\0';
}

class TrayAgent;

// The notice as the icon's balloon; one shows at a time.
class BalloonNotices final : public DesktopNotices {
 public:
  explicit BalloonNotices(TrayAgent& tray) : tray_(tray) {}
  std::uint32_t Show(const std::string& text, std::string& error) override;
  std::uint32_t Current() const { return current_; }

 private:
  TrayAgent& tray_;
  std::uint32_t current_ = 0;
};

class TrayAgent {
 public:
  TrayAgent(HINSTANCE instance, PlatformServices& services, const AgentArguments& arguments)
      : instance_(instance), balloons_(*this), host_([this] { Wake(); }) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &TrayAgent::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kWindowClass, L"KR35 Agent", 0, 0, 0, 0, 0, nullptr, nullptr,
                              instance, this);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    AgentSettings settings;
    settings.notices = arguments.notify ? &balloons_ : nullptr;
    if (const auto directory = StateDirectory(); !directory.empty()) {
      settings.dismissedFile = directory / "agent-dismissed";
    }
    settings.programVersion = KR35_VERSION;
    settings.openDownloadDialog = OpenDownloadDialog;
    settings.sayProblem = SayProblem;
    settings.sayState = [this](const std::string&) { UpdateIcon(NIM_MODIFY); };
    DialogEnvironment environment{services.Hid(), services.Notifications(), services.Mixer(),
                                  services.ExchangeTiming()};
    environment.clock = &services.ExchangeClock();
    agent_ = std::make_unique<MuteAgent>(host_, environment, std::move(settings));
    UpdateIcon(NIM_ADD);
    if (arguments.durationSeconds >= 0) {
      SetTimer(window_, kDurationTimer, static_cast<UINT>(arguments.durationSeconds * 1000),
               nullptr);
    }
    agent_->OnDialogInit();
    AfterMessages();
  }
  ~TrayAgent() {
    UpdateIcon(NIM_DELETE);
    agent_.reset();
    DestroyWindow(window_);
  }

  bool Created() const { return window_ != nullptr; }

  void ShowBalloon(const std::string& text) {
    NOTIFYICONDATAW data = IconData();
    data.uFlags = NIF_INFO;
    CopyText(data.szInfoTitle, kNewFirmwareTitle);
    CopyText(data.szInfo, text);
    data.dwInfoFlags = NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &data);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TrayAgent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->agent_) return self->Handle(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
  }

  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case kWakeMessage:
        host_.Queue().DispatchFor(*agent_, std::chrono::milliseconds(0));
        AfterMessages();
        return 0;
      case WM_TIMER:
        if (wParam == kDurationTimer) PostQuitMessage(0);
        AfterMessages();
        return 0;
      case kIconMessage:
        OnIconEvent(static_cast<UINT>(lParam));
        return 0;
      case WM_COMMAND:
        OnMenu(LOWORD(wParam));
        return 0;
      case WM_CLOSE:
      case WM_ENDSESSION:
        PostQuitMessage(0);
        return 0;
      default:
        if (message == taskbarCreated_) UpdateIcon(NIM_ADD);  // the shell restarted
        return DefWindowProcW(window, message, wParam, lParam);
    }
  }

  void OnIconEvent(UINT event) {
    switch (event) {
      case WM_RBUTTONUP:
      case WM_CONTEXTMENU:
        ShowMenu();
        break;
      case NIN_BALLOONUSERCLICK:
        host_.Post({WM_NOTICE_ACTION, balloons_.Current(), 0});
        break;
      case NIN_BALLOONTIMEOUT:  // closed by the user, or gone unread
        host_.Post({WM_NOTICE_CLOSED, balloons_.Current(), 1});
        break;
      default:
        break;
    }
  }

  void ShowMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (agent_->Mirroring() ? MF_CHECKED : 0), kMirrorCommand,
                L"Mirror the mute button");
    AppendMenuW(menu, MF_STRING, kOpenCommand, Utf16FromUtf8(kOpenDownloadUtilityLabel).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kQuitCommand, L"Quit");
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(window_);  // so the menu closes when clicked away
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
    DestroyMenu(menu);
  }

  void OnMenu(UINT command) {
    if (command == kMirrorCommand) agent_->SetMirroring(!agent_->Mirroring());
    if (command == kOpenCommand) OpenDownloadDialog();
    if (command == kQuitCommand) PostQuitMessage(0);
  }

  // After messages were handled: look again at an adapter the agent stepped
  // back from, and wake up for that only while it is stepped back.
  void AfterMessages() {
    agent_->Recheck();
    if (const auto limit = agent_->WaitLimit()) {
      SetTimer(window_, kRecheckTimer, static_cast<UINT>(limit->count()), nullptr);
    } else {
      KillTimer(window_, kRecheckTimer);
    }
  }

  void Wake() { PostMessageW(window_, kWakeMessage, 0, 0); }

  NOTIFYICONDATAW IconData() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = 1;
    return data;
  }

  void UpdateIcon(DWORD action) {
    if (window_ == nullptr) return;
    NOTIFYICONDATAW data = IconData();
    if (action != NIM_DELETE) {
      data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
      data.uCallbackMessage = kIconMessage;
      data.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kIconId));
      CopyText(data.szTip, agent_ ? agent_->StateText() : std::string("KR35"));
    }
    Shell_NotifyIconW(action, &data);
  }

  HINSTANCE instance_;
  HWND window_ = nullptr;
  UINT taskbarCreated_ = 0;
  BalloonNotices balloons_;
  WindowlessHost host_;
  std::unique_ptr<MuteAgent> agent_;
};

std::uint32_t BalloonNotices::Show(const std::string& text, std::string&) {
  tray_.ShowBalloon(text);
  return ++current_;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::string commandLine = Utf8FromUtf16(GetCommandLineW());
  std::string error;
  const AgentArguments arguments =
      ParseAgentArguments(SplitCommandLine(ArgumentsAfterProgramName(commandLine)), error);
  if (!error.empty()) {
    SayProblem(error);
    return 2;
  }
  // One agent per session: a second one ends at once.
  HANDLE single = CreateMutexW(nullptr, FALSE, kSingleInstance);
  if (single != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(single);
    return 0;
  }
  ServiceOptions serviceOptions;
  serviceOptions.simulate = arguments.services.simulate;
  serviceOptions.scenarioPath = arguments.services.scenarioPath;
  serviceOptions.tracePath = arguments.services.tracePath;
  serviceOptions.statePath = arguments.services.statePath;
  serviceOptions.program = "kr35-agent";
  std::unique_ptr<PlatformServices> services = PlatformServices::Create(serviceOptions, error);
  if (!services) {
    SayProblem(error);
    return 2;
  }
  int status = 0;
  {
    TrayAgent tray(instance, *services, arguments);
    if (!tray.Created()) {
      SayProblem("the agent's window cannot be created");
      status = 2;
    } else {
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  if (!services->Save(error)) SayProblem(error);
  if (single != nullptr) CloseHandle(single);
  return status;
}
