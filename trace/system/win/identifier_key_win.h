// The key that the 9x family XORs into thread and process ids, found through the thread
// information block; 0 on systems without one.
#pragma once

#include <cstdint>

namespace trace {

// The key, computed on the first call: first from the block's self pointer (accepted when
// the thread record below the block holds the process id), then from the dword at offset
// 0x30 of the block; 0 when neither is confirmed.
uint32_t IdentifierKey();

// True when the key was confirmed through the thread record below the information block;
// computes the key first if needed.
bool ThreadRecordBelow();

}  // namespace trace
