// The framework's thread objects: a thread whose start parameter is a TThread is listed
// with the object's class name, and the body (Execute) of its class is made to run inside
// the body wrapper by replacing the class's virtual-table slot of Execute.
#pragma once

#include <cstdint>
#include <string>

namespace crash {

// Most classes the chain walk climbs before it gives up.
inline constexpr int kMaxClassChainSteps = 15;

// When object is a framework thread object (its class chain, read through guarded reads,
// reaches fw::TObject through fw::TThread with single inheritance): true, with the name of
// its own class (without namespaces).
bool IdentifyThreadObject(uint32_t object, std::string& class_name);

// Makes the body of the object's class run inside the body wrapper (to be called once the
// object is complete, and never for a plain TThread): under the
// "HookTThread" mutex the class's Execute slot is checked and replaced by the wrapper, its
// own body kept for the wrapper. False when the class can't be wrapped (unreadable, no
// room left for another class, the slot not writable).
bool WrapThreadBody(uint32_t object);

// Restores the Execute slots of every class wrapped so far (shut-down).
void UnwrapThreadBodies();

}  // namespace crash
