#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SampleExecutable {
  std::string name;
  std::vector<uint8_t> bytes;
};

// A handful of small executables that between them reach every branch of the
// scan: PE32 and PE32+ with all three kinds, named types and names, several
// languages; a PE tree that refers back to itself; NE files with and without
// an alignment shift and with types to skip; an MZ file with no new header.
// Used as starting points for mutation and fuzzing.
std::vector<SampleExecutable> SampleExecutables();
