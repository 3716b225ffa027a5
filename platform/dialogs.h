// Message boxes, the beep and the application-wide mouse pointer.
//
// The message service (messages/) talks to these through the Dialogs interface so that
// tests can put a recording double in place of the real boxes. (ShowMessageBox is not
// called MessageBox because windows.h makes that name a macro.)
//
// win32: MessageBoxW without an owner window, MessageBeep(MB_OK), and a process-wide
//        pointer value that the program's windows show (0 default arrow, 11 hourglass).
// posix: a stand-in on the terminal; platform/posix/dialogs.cpp says how a box is drawn
//        and answered, the README how a script reads what the boxes showed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/scopedoverride.h"

namespace platform {

// Message box flags, with their Windows values; combine by adding.
inline constexpr unsigned kMbOk = 0;
inline constexpr unsigned kMbYesNoCancel = 3;
inline constexpr unsigned kMbYesNo = 4;
inline constexpr unsigned kMbIconHand = 16;
inline constexpr unsigned kMbIconQuestion = 32;
inline constexpr unsigned kMbIconExclamation = 48;
inline constexpr unsigned kMbIconAsterisk = 64;
inline constexpr unsigned kMbDefButton1 = 0;
inline constexpr unsigned kMbDefButton2 = 256;
inline constexpr unsigned kMbDefButton3 = 512;
inline constexpr unsigned kMbSystemModal = 4096;
inline constexpr unsigned kMbSetForeground = 65536;

// Masks to take a flags value apart.
inline constexpr unsigned kMbTypeMask = 0x0F;
inline constexpr unsigned kMbIconMask = 0xF0;
inline constexpr unsigned kMbDefaultMask = 0xF00;

// Buttons a box answers with.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Application mouse pointer values.
inline constexpr std::int16_t kPointerDefault = 0;
inline constexpr std::int16_t kPointerBusy = 11;

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows a modal box with `prompt` as its text and `caption` as its title; returns the
  // button the operator pressed. Raises RuntimeError when no box can be shown.
  virtual int ShowMessageBox(const std::string& prompt, const std::string& caption,
                             unsigned flags) = 0;
  // The default beep.
  virtual void Beep() = 0;
  virtual std::int16_t MousePointer() = 0;
  virtual void SetMousePointer(std::int16_t pointer) = 0;
};

// The back-end's own dialogs (platform/win32/dialogs.cpp, platform/posix/dialogs.cpp),
// one for the whole process.
Dialogs& BackendDialogs();

// The dialogs in use: BackendDialogs() unless a test installed others.
Dialogs& CurrentDialogs();

// Puts `dialogs` in place for as long as the guard lives (for tests).
class ScopedDialogs : public ScopedOverride<Dialogs*> {
 public:
  explicit ScopedDialogs(Dialogs& dialogs);
};

}  // namespace platform
