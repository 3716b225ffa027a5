// Message boxes, the beep and the application-wide mouse pointer.
//
// The message service (messages/) talks to these through the Dialogs interface so that
// tests can put a recording double in place of the real boxes. (ShowMessageBox is not
// called MessageBox because windows.h makes that name a macro.)
//
// win32: MessageBoxW without an owner window, MessageBeep(MB_OK), and a process-wide
//        pointer value that the program's windows show (0 default arrow, 11 hourglass).
// posix: the box is drawn on the terminal (platform/posix/terminal.h) and answered with
//        a line of input; the beep is the terminal bell; the pointer is only a value.
//        Drawing: "┌─ [kind] caption", then every line of the prompt as it stands
//        (trailing spaces included) after "│ ", then "└─" and the buttons, the default
//        one as [>label<]; other control characters and bytes that are not UTF-8 are
//        shown escaped as \xHH (platform/posix/printable.h). Answers: y/n/c, 是/否/取消,
//        yes/no/cancel (ASCII in any case), and o/ok/确定 or y/是/yes for the only button
//        of an OK box; Enter and end of input take the default button; anything else is
//        asked again. For scripts, when ZELFIX_BOX_TRANSCRIPT names a file, each box
//        appends one line to it once answered, a JSON object in UTF-8:
//          {"caption":"...","prompt":"...","flags":65828,"answer":7}
//        The texts are exact: quote and backslash are escaped, CR, LF and tab as \r \n
//        \t, other control characters (also DEL and U+0080 to U+009F) as \u00XX, and a
//        byte that is not part of valid UTF-8 (a folder name may hold one) as the lone
//        surrogate \udcXX, XX being the byte. Any JSON parser reads every line; the
//        original bytes come back by encoding the text as UTF-8 with each U+DC80 to
//        U+DCFF turned back into its byte, in Python:
//          json.loads(line)["prompt"].encode("utf-8", "surrogateescape")
#pragma once

#include <cstdint>
#include <string>

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

// Puts `dialogs` in place for as long as the guard lives (for tests). Guards nest; each
// puts back what was in place before it.
class ScopedDialogs {
 public:
  explicit ScopedDialogs(Dialogs& dialogs);
  ~ScopedDialogs();
  ScopedDialogs(const ScopedDialogs&) = delete;
  ScopedDialogs& operator=(const ScopedDialogs&) = delete;

 private:
  Dialogs* previous_;
};

}  // namespace platform
