#include "trace/stack/entry_point_walk.h"

#include <optional>
#include <string>

#include "trace/pe/pe_image.h"
#include "trace/x86/x86_decoder.h"

namespace trace {

namespace {

// The destination of the indirect jump stub "jmp [pointer]" at address, or target itself.
uint32_t ThroughJumpStub(const AddressSpace& memory, uint32_t target) {
  uint8_t opcode[2];
  if (!memory.Read(target, opcode, 2) || opcode[0] != 0xFF || opcode[1] != 0x25) return target;
  const std::optional<uint32_t> pointer = memory.ReadDword(target + 2);
  if (!pointer) return target;
  return memory.ReadDword(*pointer).value_or(target);
}

}  // namespace

TEntryPointWalk WalkEntryPoint(const AddressSpace& memory, ModuleList& modules,
                               FunctionCache& cache, int module_index, CodePatcher& patcher) {
  TEntryPointWalk walk;
  if (module_index < 0 || static_cast<size_t>(module_index) >= modules.modules().size())
    return walk;
  // Copied: looking functions up may register modules and move the records.
  const TModuleRecord module = modules.modules()[static_cast<size_t>(module_index)];
  if (!module.map) return walk;
  const std::optional<PeHeaders> headers = ReadPeHeaders(memory, module.handle);
  if (!headers || headers->entry_point == 0) return walk;
  const uint32_t entry = module.handle + headers->entry_point;
  auto in_code = [&](uint32_t address) {
    return module.code_start <= address && address < module.code_end;
  };

  // Every step moves forward inside the code range, so the walk ends.
  for (uint32_t at = entry; in_code(at);) {
    X86Instruction instruction;
    if (!DecodeInstruction(memory, at, instruction) || instruction.next <= at) break;
    if (instruction.is_jump && !in_code(instruction.target)) break;
    if (instruction.is_call && instruction.target != 0) {
      const uint32_t target = ThroughJumpStub(memory, instruction.target);
      const int called = cache.FindFunction(target, {}, -1, false, false);
      if (called >= 0 &&
          cache.functions()[static_cast<size_t>(called)].name.find("@Halt0") != std::string::npos) {
        walk.call_address = at;
        walk.target = target;
        walk.stub = patcher.RedirectCall(at, target);
        walk.entry_function = cache.FindFunction(entry, "EntryPoint", module_index, false, true);
        if (walk.entry_function >= 0) {
          TKnownCall call;
          call.is_call = true;
          call.address = at;
          call.next = instruction.next;
          call.target = target;
          call.target_relative = instruction.target_relative;
          cache.AddKnownCall(walk.entry_function, call);
        }
        break;
      }
    }
    at = instruction.next;
  }
  return walk;
}

}  // namespace trace
