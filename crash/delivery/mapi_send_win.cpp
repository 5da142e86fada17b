#include "crash/delivery/mapi_send_win.h"

#include <mapi.h>

#include <cstring>

#include "crash/delivery/delivery_log.h"
#include "crash/win/lock_probe_win.h"
#include "crash/win/thread_pause_win.h"

namespace crash {

bool MapiAvailable() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows Messaging Subsystem", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  char value[9] = {};
  DWORD size = sizeof value;
  DWORD type = 0;
  const LONG read =
      RegQueryValueExA(key, "MAPI", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return false;
  // The value as text, without its terminator when it has one.
  size_t length = size < sizeof value ? size : sizeof value;
  if (length > 0 && value[length - 1] == '\0') --length;
  return length == 1 && value[0] == '1';
}

MailResult MapiSend(const std::string& to, const std::string& subject, const std::string& body,
                    const std::string& attachment, HWND owner, bool silent) {
  if (HoldsSystemLock()) {
    DeliveryLog("mapi: a system lock is held, no MAPI");
    return MailResult::Failed;
  }
  if (!MapiAvailable()) {
    DeliveryLog("mapi: no MAPI registered (Windows Messaging Subsystem \"MAPI\" is not \"1\")");
    return MailResult::Failed;
  }
  // The texts are the message record's; MAPI takes them as writable C strings.
  std::string subject_text = subject, body_text = body, to_text = to, path = attachment;
  MapiRecipDesc recipient{};
  recipient.ulRecipClass = MAPI_TO;
  recipient.lpszName = to_text.data();
  MapiFileDesc file{};
  file.nPosition = static_cast<ULONG>(-1);
  file.lpszPathName = path.data();
  MapiMessage message{};
  message.lpszSubject = subject_text.data();
  message.lpszNoteText = body_text.data();
  if (!to.empty()) {
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
  }
  if (!attachment.empty()) {
    message.nFileCount = 1;
    message.lpFiles = &file;
  }
  const FLAGS flags = silent && !to.empty() ? 0 : MAPI_LOGON_UI | MAPI_DIALOG;

  // Loaded by name and kept: a mail program may leave threads of its own behind.
  const HMODULE mapi = LoadLibraryA("mapi32.dll");
  const auto send = mapi ? reinterpret_cast<LPMAPISENDMAIL>(
                               reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")))
                         : nullptr;
  if (!send) {
    DeliveryLog("mapi: mapi32.dll has no MAPISendMail");
    return MailResult::Failed;
  }

  const bool topmost = owner && (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (topmost) SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ResumeOtherThreads(false);
  const ULONG status = send(0, reinterpret_cast<ULONG_PTR>(owner), &message, flags, 0);
  PauseOtherThreads(false);
  if (topmost) SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  DeliveryLog("mapi: MAPISendMail gave " + std::to_string(status));
  if (status == SUCCESS_SUCCESS) return MailResult::Sent;
  if (status == MAPI_USER_ABORT) return MailResult::Cancelled;
  return MailResult::Failed;
}

}  // namespace crash
