/* Imports userenv as the program once did: started beside a planted userenv.dll, it
   loads that one. The end-to-end suite runs it first, to show that the planting works
   and that the program's own run can fail. */
#include <windows.h>
#include <userenv.h>

int main(void) {
  DWORD size = 0;
  GetProfilesDirectoryW(NULL, &size);
  return 0;
}
