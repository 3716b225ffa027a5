/* A userenv.dll as someone would plant it beside the program, in a folder that ordinary
   users can write: when loaded, it leaves the file "planted-dll-ran" in its own folder.
   It exports what the program once imported from userenv, so that a program importing
   it starts. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t mark[MAX_PATH + 32];
    const DWORD length = GetModuleFileNameW(self, mark, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      wchar_t* name = mark + length;
      while (name > mark && name[-1] != L'\\') {
        --name;
      }
      lstrcpyW(name, L"planted-dll-ran");
      HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
      if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
      }
    }
  }
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI GetProfilesDirectoryW(LPWSTR folder, LPDWORD size) {
  (void)folder;
  (void)size;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
