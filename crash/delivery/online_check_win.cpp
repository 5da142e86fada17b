#include "crash/delivery/online_check_win.h"

#include <windows.h>

namespace crash {

bool OnlineCheck() {
  const HMODULE wininet = LoadLibraryA("wininet.dll");
  if (!wininet) return false;
  using ConnectedStateFn = BOOL(WINAPI*)(DWORD*, DWORD);
  const auto connected = reinterpret_cast<ConnectedStateFn>(
      reinterpret_cast<void*>(GetProcAddress(wininet, "InternetGetConnectedState")));
  bool online = false;
  if (connected) {
    DWORD flags = 0;
    online = connected(&flags, 0) != FALSE;
  }
  FreeLibrary(wininet);
  return online;
}

}  // namespace crash
