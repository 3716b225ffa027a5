// win32 DLL search and RedirectionGuard: SetDefaultDllDirectories, LoadLibraryExW with
// LOAD_LIBRARY_SEARCH_SYSTEM32, SetProcessMitigationPolicy with
// ProcessRedirectionTrustPolicy. All three are looked up at run time: Windows 7 without
// KB2533623 lacks the first two, Windows before 10 lacks the policy, and Wine has only
// some of them.
#include "platform/win32/systemlibrary.h"

#include <string>

namespace platform::win32 {

namespace {

FARPROC Kernel32Function(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, name);
}

template <typename Function>
Function Kernel32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Kernel32Function(name)));
}

// Whether LoadLibraryExW takes the LOAD_LIBRARY_SEARCH_* flags: the same update brought
// those and SetDefaultDllDirectories.
bool SearchFlagsKnown() {
  return Kernel32Function("SetDefaultDllDirectories") != nullptr;
}

void TurnOnRedirectionGuard() {
  using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  const auto setPolicy = Kernel32<SetPolicy>("SetProcessMitigationPolicy");
  if (setPolicy == nullptr) {
    return;
  }
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
  policy.EnforceRedirectionTrust = 1;
  // Refused (ERROR_INVALID_PARAMETER) by a Windows that does not know the policy.
  setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

}  // namespace

void HardenProcess() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto setDirectories = Kernel32<SetDirectories>("SetDefaultDllDirectories");
  if (setDirectories == nullptr || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    // At least not the current folder, which is wherever the tool started the program.
    SetDllDirectoryW(L"");
  }
  TurnOnRedirectionGuard();
}

FARPROC LoadSystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = nullptr;
  if (SearchFlagsKnown()) {
    module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    // By its full path, and its own imports looked up from System32 too.
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
      return nullptr;
    }
    const std::wstring path = std::wstring(folder, length) + L"\\" + library;
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module == nullptr ? nullptr : GetProcAddress(module, name);
}

}  // namespace platform::win32
