// The base of framework objects and the event type every notification uses.
#pragma once

#include <functional>

namespace fw {

// The base of everything that can be the sender of an event.
class TObject {
 public:
  virtual ~TObject() = default;
};

// An event handler: takes the object that raised the event.
using TNotifyEvent = std::function<void(TObject* sender)>;

}  // namespace fw
