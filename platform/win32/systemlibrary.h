// DLLs from System32 only, and the process-wide defences an elevated program owes the
// folders it works in.
//
// An elevated program that loads a DLL by name looks beside its executable first. A
// deployment tool may have copied it into a folder that ordinary users can write, where
// a planted DLL of a name the program imports would run as administrator or SYSTEM. So
// the program imports statically only DLLs that Windows always takes from System32 (the
// KnownDLLs, and comctl32 6, which the manifest binds to the side-by-side store), and
// loads any other (userenv) at run time from System32 by LoadSystemFunction.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Called first thing in the process. From then on a DLL loaded by name comes from
// System32 only (SetDefaultDllDirectories; on a Windows 7 without that update, at least
// never from the current folder), and where Windows has RedirectionGuard the process
// follows no junction that an ordinary user made. Each is done where the system offers
// it and silently left out where it does not (older Windows, Wine).
void HardenProcess();

// The function `name` of the system DLL `library` ("userenv.dll"), loaded from System32
// and kept loaded for the rest of the run; nullptr when either is missing.
FARPROC LoadSystemFunction(const wchar_t* library, const char* name);

// The same, as a pointer to a function of type `Function`.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(LoadSystemFunction(library, name)));
}

}  // namespace platform::win32
