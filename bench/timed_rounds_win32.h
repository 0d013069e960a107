#pragma once
// What the benches run under Wine share: the "[--rounds N] DIRECTORY"
// command line and timed rounds reported as median and fastest.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

struct BenchArgs {
  int rounds = 5;
  const char* directory = nullptr;
};

// False, after the usage line, when the command line is not understood.
inline bool ParseBenchArgs(int argc, char** argv, const char* name, BenchArgs* args) {
  int i = 1;
  if (i + 1 < argc && strcmp(argv[i], "--rounds") == 0) {
    args->rounds = std::max(1, atoi(argv[i + 1]));
    i += 2;
  }
  if (i + 1 != argc) {
    fprintf(stderr, "usage: %s [--rounds N] DIRECTORY\n", name);
    return false;
  }
  args->directory = argv[i];
  return true;
}

// Milliseconds from a QueryPerformanceCounter reading to now.
inline double MillisecondsSince(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

struct RoundTimes {
  double median = 0;
  double fastest = 0;
};

// run() once to warm the caches, then rounds timed runs of it.
template <typename Run>
RoundTimes TimeRounds(int rounds, Run run) {
  run();
  std::vector<double> times;
  for (int r = 0; r < rounds; ++r) {
    LARGE_INTEGER from;
    QueryPerformanceCounter(&from);
    run();
    times.push_back(MillisecondsSince(from));
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times[0]};
}
