// A host that runs all day: rounds of listing, hashing and signing on the software token, the
// token pulled out and put back every so often, and what the process holds meanwhile.
#pragma once

#include <ostream>

namespace kelvo::bench {

inline constexpr long kRemovalEvery = 100;  // rounds between two removals

// Child mode: runs the rounds on the token of ZOLVEX_SOFTTOKEN_DIR, whose signer certificate
// the benchmarks' set-up stored, and prints one line: rounds, removals, then resident memory
// (KiB), open descriptors and token sessions, each after a tenth of the rounds and at the end.
int soakProbe(long rounds, std::ostream& out);

}  // namespace kelvo::bench
