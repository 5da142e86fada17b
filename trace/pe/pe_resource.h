// Finding a resource of a PE image by type and name through its resource directory, read
// through an address space in which the image lies at its module base. Names compare as
// FindResourceA compares them (ignoring case); the first language found is taken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "trace/pe/address_space.h"

namespace trace {

// Largest resource that is read, in bytes.
inline constexpr uint32_t kMaxResourceSize = 64u << 20;

// The data of the resource named name of the type named type; none when the image has no
// such resource or its directory is damaged.
std::optional<std::string> FindResourceData(const AddressSpace& space, uint32_t module,
                                            std::string_view type, std::string_view name);

}  // namespace trace
