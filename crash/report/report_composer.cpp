#include "crash/report/report_composer.h"

#include <map>
#include <memory>

#include "framework/exception.h"

namespace crash {

namespace {

struct ProgressDeleter {
  void operator()(trace::TProgress* progress) const { trace::FreeProgress(progress); }
};
using ProgressHolder = std::unique_ptr<trace::TProgress, ProgressDeleter>;

// One composition: the exception address as the crashed thread's trace corrects it and the
// start of the function that holds it.
class Composition {
 public:
  Composition(const ActiveSettings& settings, const ComposeRequest& request, ReportSystem& system)
      : settings_(settings),
        request_(request),
        system_(system),
        exception_address_(request.address) {}

  // The exception lines and the thread sections.
  std::string ExceptionPart() {
    ProgressHolder progress(trace::NewProgress(system_.Progress()));
    const uint32_t main = system_.MainThreadId();
    const uint32_t crashed = request_.thread_id;
    std::vector<uint32_t> threads;
    if (settings_.ListAllThreads) {
      threads = system_.Threads();
      for (uint32_t id : threads) {
        if (Context(id)) AddArea(progress.get(), Context(id));
      }
    } else {
      AddArea(progress.get(), Context(crashed));
      if (crashed != main) AddArea(progress.get(), Context(main));
    }

    std::string part = ExceptionLines(request_.frozen, settings_.FrozenText, request_.exception);
    if (!request_.frozen) {
      const bool external =
          request_.exception != nullptr && request_.exception->InheritsFrom("EExternal");
      part += Section(crashed, true, external, true, progress.get());
      trace::NextProgressArea(progress.get());
    }
    if (request_.frozen || crashed != main) {
      part += Section(main, false, false, false, progress.get());
      trace::NextProgressArea(progress.get());
    }
    for (uint32_t id : threads) {
      if ((!request_.frozen && id == crashed) || id == main) continue;
      const bool untraced =
          (request_.watchdog_thread_id != 0 && id == request_.watchdog_thread_id) ||
          (request_.handling_thread_id != 0 && id == request_.handling_thread_id);
      if (!untraced) part += Section(id, false, false, false, progress.get());
      trace::NextProgressArea(progress.get());
    }
    return part;
  }

  // The listing around the exception; empty without a producer or an address.
  std::string Disassembly() const {
    if (settings_.DisasmProducer == nullptr || exception_address_ == 0) return {};
    const uint32_t start = function_start_ != 0 ? function_start_ : exception_address_;
    return DisassemblySection(settings_.DisasmProducer(
        start, exception_address_, settings_.DisasmLines, settings_.DisasmOption));
  }

 private:
  // A thread's context, asked of the system once per composition: the threads are paused,
  // and the progress weights and the trace see the same registers.
  const std::optional<ThreadContextFacts>& Context(uint32_t thread_id) {
    auto found = contexts_.find(thread_id);
    if (found == contexts_.end()) {
      found = contexts_.emplace(thread_id, system_.ThreadContext(thread_id)).first;
    }
    return found->second;
  }

  static void AddArea(trace::TProgress* progress,
                      const std::optional<ThreadContextFacts>& context) {
    int64_t weight = 0;
    if (context && context->stack_top > context->stack_pointer) {
      weight = int64_t{context->stack_top - context->stack_pointer} * 100;
    }
    trace::AddProgressArea(progress, weight);
  }

  std::string Section(uint32_t thread_id, bool exception_thread, bool external, bool allow_hidden,
                      trace::TProgress* progress) {
    const ThreadTitle title =
        MakeThreadTitle(thread_id, allow_hidden, system_.LookUpThread(thread_id));
    if (title.text.empty()) return {};
    std::string creator_title;
    if (title.creation_address != 0) {
      creator_title =
          MakeThreadTitle(title.creator_id, true, system_.LookUpThread(title.creator_id)).text;
    }

    std::optional<std::string> trace;
    if (const std::optional<ThreadContextFacts> context = Context(thread_id)) {
      StackTraceCall call;
      call.hide_items_without_lines = settings_.StackTraceOptionA;
      call.relative_addresses = settings_.StackTraceOptionB;
      call.current_address = exception_thread ? exception_address_ : context->instruction_pointer;
      call.exception_thread = exception_thread;
      call.external_exception = exception_thread && external;
      call.stack_begin = exception_thread && request_.stack_frame != 0 ? request_.stack_frame
                                                                       : context->stack_pointer;
      call.stack_end = context->stack_top;
      call.thread_start = title.creation_address;
      call.calling_thread = context->calling_thread;
      if (exception_thread && request_.exception && !request_.exception->stack_copy.empty() &&
          request_.stack_frame == request_.exception->stack_copy_base) {
        call.stack_copy_base = request_.exception->stack_copy_base;
        call.stack_copy = request_.exception->stack_copy;
        call.stack_end = call.stack_copy_base + static_cast<uint32_t>(call.stack_copy.size());
      }
      StackTraceAnswer answer = system_.TraceStack(call, progress);
      if (exception_thread) {
        // A trace that found nothing keeps the address the caller gave.
        if (answer.exception_address != 0) exception_address_ = answer.exception_address;
        function_start_ = answer.function_entry;
      }
      trace = std::move(answer.text);
    }
    return ThreadSection(title, exception_thread, exception_address_, trace, creator_title);
  }

  const ActiveSettings& settings_;
  const ComposeRequest& request_;
  ReportSystem& system_;
  uint32_t exception_address_;
  uint32_t function_start_ = 0;
  std::map<uint32_t, std::optional<ThreadContextFacts>> contexts_;
};

}  // namespace

std::string ComposeReport(const ActiveSettings& settings, const ComposeRequest& request,
                          ReportSystem& system) {
  std::string report;
  try {
    Composition composition(settings, request, system);
    std::string part = composition.ExceptionPart();
    const std::string header =
        ReportHeader(system.Header(), settings.ReportCommandLine, settings.VersionVariable);
    report = header + part;
    if (settings.ListModules)
      report += std::string(kCrLf) + std::string(kCrLf) + ModulesSection(system.Modules());
    report += composition.Disassembly();
  } catch (const fw::EExternal& fault) {
    try {
      report += CompositionFailureText(fault.Address());
    } catch (...) {
    }
  } catch (...) {
    try {
      report += CompositionFailureText(std::nullopt);
    } catch (...) {
    }
  }
  return report;
}

}  // namespace crash
