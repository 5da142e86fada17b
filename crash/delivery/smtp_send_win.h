// One mail with the bug report over SMTP: straight to the recipient's mail exchanger or
// through a configured server, with AUTH LOGIN when an account is given.
#pragma once

#include "crash/delivery/mail_send.h"

namespace crash {

// Blocking; true when the server accepted the mail and the session closed properly.
bool SendMail(const MailSend& mail);

}  // namespace crash
