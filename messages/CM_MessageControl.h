// The message service: one title for every box and for the window's caption, message
// templates, and the message boxes through which the operator is told everything.
//
// Callers pass their message as the first text and an empty second text: when the
// second text is blank, the first is shown (the "two-text" rule).
#pragma once

#include <cstdint>
#include <string>

// windows.h turns FormatMessage into a macro; our name must stay ours.
#ifdef FormatMessage
#undef FormatMessage
#endif

namespace messages {

// The stored title: empty until SetMessageTitle; readers get a copy.
std::string MessageTitle();
void SetMessageTitle(std::string title);

// Fills a template: every "%1" is replaced by value1, then in that result every "%2" by
// value2, and so on to "%5"; last, every "<cr2>" becomes two line breaks (CR LF CR LF).
// Matching ignores letter case; text just inserted is not searched again by the same
// step.
std::string FormatMessage(std::string messageTemplate, std::string value1, std::string value2,
                          std::string value3, std::string value4, std::string value5);

#ifdef _WIN32
// When windows.h comes after this header, its macro renames calls to FormatMessage into
// FormatMessageW (or FormatMessageA); these names lead them back here.
inline constexpr auto& FormatMessageW = FormatMessage;
inline constexpr auto& FormatMessageA = FormatMessage;
#endif

// A box of the kind "E" (error), "W" (warning) or "I" (information) - also "S" and "N"
// - with the stored title as caption. Beeps first; a text whose trimmed form is narrower
// than the title in ANSI bytes is trimmed and widened with spaces to the title's width;
// then ten spaces follow. System-modal. Kinds are matched case-sensitively; any other
// kind shows its text without an icon. The heading is not shown.
//
// Every box, questions included, shows the default mouse pointer while it is open and
// puts the earlier pointer back afterwards, also when it raises. Errors of the platform
// or of AnsiLength (a title or text beyond 32767 bytes) pass to the caller, and no box is
// shown.
void ShowMessage(std::string kind, std::string heading, std::string text);
void ShowError(std::string heading, std::string text);
void ShowWarning(std::string heading, std::string text);
void ShowInformation(std::string heading, std::string text);

// A Yes/No question (Yes/No/Cancel with `cancel`), brought to the foreground, without a
// beep; the text is followed by five spaces and never widened. `defaultButton` 1 to 3
// picks the default, 0 or a number past the last button makes the last button the
// default, a negative number the first. Returns the pressed button's code (6 Yes, 7 No,
// 2 Cancel).
std::int16_t AskQuestion(std::string heading, std::string text, bool cancel,
                         std::int16_t defaultButton);

}  // namespace messages
