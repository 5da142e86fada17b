// The component classes every window description may name.
#pragma once

namespace fw {

// Registers TLabel, TButton and TImage with the class registry.
void RegisterStandardComponents();

}  // namespace fw
