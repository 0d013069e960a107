// Writes the built sample executables into a folder, as starting inputs for
// the scan fuzzer.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/sample_fixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: ravelin_fuzz_seeds FOLDER\n");
    return 2;
  }
  std::filesystem::path folder(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  int written = 0;
  for (const SampleExecutable& s : SampleExecutables()) {
    std::ofstream out(folder / s.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
    if (!out) {
      fprintf(stderr, "cannot write %s\n", (folder / s.name).string().c_str());
      return 1;
    }
    ++written;
  }
  printf("%d seeds in %s\n", written, folder.string().c_str());
  return 0;
}
