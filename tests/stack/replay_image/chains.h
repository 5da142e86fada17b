// The call chains of the replay tests' program: each scenario ends in a function that would
// fault, reached through calls that an -O2 build without frame pointers keeps as calls.
#pragma once

#define CHAIN_STEP __attribute__((noinline, noipa))

namespace chains {

extern volatile int sink;

int Fault(int x);
int Deep2(int x);
int Deep3(int x);
int Deep5(int x);
int Deep7(int x);
int Deep4(int x);
int Deep6(int x);
int Deep8(int x);

}  // namespace chains
