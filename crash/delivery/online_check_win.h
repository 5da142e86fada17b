// Whether the system has a connection, as wininet.dll tells (when it can).
#pragma once

namespace crash {

// Loads wininet.dll by name and asks InternetGetConnectedState; false when the library or
// the export is missing. The library is freed again.
bool OnlineCheck();

}  // namespace crash
