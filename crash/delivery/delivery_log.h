// Where the ways of delivery tell what each step of theirs gave: a tool or a test that
// wants to see a mail set-up at work sets a sink; the reporter itself sets none.
#pragma once

#include <string_view>

namespace crash {

using DeliveryLogFn = void (*)(std::string_view line);

// Sets the sink (nullptr: none); returns the previous one.
DeliveryLogFn SetDeliveryLog(DeliveryLogFn sink);
// Hands one line (no line end) to the sink, when there is one.
void DeliveryLog(std::string_view line);

}  // namespace crash
