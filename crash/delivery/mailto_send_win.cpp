#include "crash/delivery/mailto_send_win.h"

#include <windows.h>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mailto_link.h"

namespace crash {

std::string MailtoCommand() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return {};
  }
  char value[MAX_PATH] = {};
  DWORD size = sizeof value - 1;  // room for a terminator the value may lack
  DWORD type = 0;
  const LONG read =
      RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  value[size < sizeof value ? size : sizeof value - 1] = '\0';
  char expanded[MAX_PATH] = {};
  const DWORD length = ExpandEnvironmentStringsA(value, expanded, sizeof expanded);
  if (length == 0 || length > sizeof expanded) return {};
  return expanded;
}

bool MailtoSend(const std::string& to, const std::string& subject, const std::string& body) {
  const std::string command = MailtoCommand();
  if (command.empty()) {
    DeliveryLog("mailto: no mail program registered for mailto");
    return false;
  }
  std::string line = MailtoCommandLine(command, MailtoLink(to, subject, body));
  if (static_cast<LONG>(GetVersion()) >= 0) CutCommandLine(line);  // the NT family
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    DeliveryLog("mailto: the mail program could not be started (error " +
                std::to_string(GetLastError()) + ")");
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  DeliveryLog("mailto: started " + command);
  return true;
}

}  // namespace crash
