// The way the programs imported hid.dll before they loaded it from System32:
// statically. Started from a folder with a planted hid.dll, this program
// loads the planted one; the planted-DLL check runs it to show that it sees a
// planted DLL when one is loaded.
#include "hid/win32/windows_headers.h"

int main() {
  GUID guid;
  HidD_GetHidGuid(&guid);
  return 0;
}
