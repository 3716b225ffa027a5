// win32 dialogs.
//
// Implements: MessageBoxW without an owner window, with the caller's flags as given and
// the caption as title; MessageBeep(MB_OK); the application pointer of pointer.h.
// Does not implement: help buttons or help context, and any transcript of the boxes (the
// Windows program reads no environment variables of its own).
#include "platform/dialogs.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/pointer.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

class Win32Dialogs : public Dialogs {
 public:
  int ShowMessageBox(const std::string& prompt, const std::string& caption,
                     unsigned flags) override {
    const int answer = MessageBoxW(nullptr, win32::Widen(prompt).c_str(),
                                   win32::Widen(caption).c_str(), static_cast<UINT>(flags));
    if (answer == 0) {
      throw RuntimeError(kPlatformErrorNumber,
                         "无法显示消息框（错误 " + std::to_string(GetLastError()) + "）");
    }
    return answer;
  }

  void Beep() override { MessageBeep(MB_OK); }

  std::int16_t MousePointer() override { return win32::ApplicationPointer(); }

  void SetMousePointer(std::int16_t pointer) override { win32::SetApplicationPointer(pointer); }
};

}  // namespace

Dialogs& BackendDialogs() {
  static Win32Dialogs dialogs;
  return dialogs;
}

}  // namespace platform
