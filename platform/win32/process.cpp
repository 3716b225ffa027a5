// win32 process set-up (process.h): DLLs from System32 only and RedirectionGuard
// (platform/win32/systemlibrary.h), then SetErrorMode, keeping whatever bits the process
// already has; unattended, a console control handler and a hidden window that hear of
// interruptions.
#include "platform/process.h"

#include <windows.h>

#include <atomic>

#include "platform/win32/handles.h"
#include "platform/win32/systemlibrary.h"

namespace platform {

namespace {

std::atomic<bool> stopRequested{false};

// How long an ending console or session waits for the run: what Windows gives a console
// program at shutdown. The process normally ends long before, with the run.
constexpr DWORD kEndingGraceMilliseconds = 20000;

BOOL WINAPI OnConsoleControl(DWORD event) {
  stopRequested = true;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    return TRUE;  // handled: the run stops by itself
  }
  // The console closes, or the session ends: the system ends the process once this
  // returns, so it returns only if the run has not ended the process first.
  Sleep(kEndingGraceMilliseconds);
  return TRUE;
}

LRESULT CALLBACK SessionWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      stopRequested = true;
      return TRUE;  // the session may end; the run stops before it does
    case WM_ENDSESSION:
      if (wParam) {
        // Once this returns the process may be ended at any moment.
        stopRequested = true;
        Sleep(kEndingGraceMilliseconds);
      }
      return 0;
    case WM_CLOSE:
      stopRequested = true;
      return 0;  // not destroyed: it must still hear of the session's end
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// Creates the hidden window and serves its messages until the process ends.
DWORD WINAPI SessionWindowThread(void*) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = SessionWindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"zelfix session";
  if (RegisterClassW(&windowClass) == 0) {
    return 1;
  }
  // Top-level (not message-only): only those get the session's messages. Never shown.
  if (CreateWindowExW(0, windowClass.lpszClassName, L"zelfix", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                      nullptr, windowClass.hInstance, nullptr) == nullptr) {
    return 1;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

void PrepareProcess(bool unattended) {
  win32::HardenProcess();
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX |
               (unattended ? SEM_NOGPFAULTERRORBOX : 0));
  if (!unattended) {
    return;
  }
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // At the default place in the order of shutdown, and ended without a "this app is
  // preventing shutdown" question once its time is up: nobody may be there to answer.
  SetProcessShutdownParameters(0x280, SHUTDOWN_NORETRY);
  // Without the thread the run still hears the console's events; nothing else is lost.
  const win32::KernelHandle thread(
      CreateThread(nullptr, 0, SessionWindowThread, nullptr, 0, nullptr));
}

bool StopRequested() {
  return stopRequested;
}

}  // namespace platform
