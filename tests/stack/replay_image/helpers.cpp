// The even levels of the Deep chain: a second unit in the chains' program.
#include "chains.h"

namespace chains {

CHAIN_STEP int Deep8(int x) {
  return Fault(x + 8) ^ sink;  // site: Deep8>Fault
}
CHAIN_STEP int Deep6(int x) {
  return Deep7(x + 6) ^ sink;  // site: Deep6>Deep7
}
CHAIN_STEP int Deep4(int x) {
  return Deep5(x + 4) ^ sink;  // site: Deep4>Deep5
}
CHAIN_STEP int Deep2(int x) {
  return Deep3(x + 2) ^ sink;  // site: Deep2>Deep3
}

}  // namespace chains
