#include "crash/delivery/smtp_send_win.h"

namespace crash {

bool SendMail(const MailSend&) {
  return false;
}

}  // namespace crash
