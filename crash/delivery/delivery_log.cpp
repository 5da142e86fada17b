#include "crash/delivery/delivery_log.h"

#include <atomic>

namespace crash {
namespace {

std::atomic<DeliveryLogFn> g_sink{nullptr};

}  // namespace

DeliveryLogFn SetDeliveryLog(DeliveryLogFn sink) {
  return g_sink.exchange(sink);
}

void DeliveryLog(std::string_view line) {
  if (const DeliveryLogFn sink = g_sink.load()) sink(line);
}

}  // namespace crash
