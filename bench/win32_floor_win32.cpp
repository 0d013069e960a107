// The floor for the window's directory search under Wine: the same walk (the
// current directory's listing of "*.*", files first as listed, then each
// subdirectory; dot names, links and file names under 4 characters skipped)
// doing per file only what telling its format needs: CreateFileA as the scan
// opens, the 64-byte MZ header, the 4-byte signature where its e_lfanew
// points, CloseHandle. Under Wine every file call may cost a trip to the
// server, so this, not a native walk, is what the search is measured against.
//
// usage: win32_floor [--rounds N] DIRECTORY
// One untimed walk warms the caches; then N timed walks. Prints the files
// opened, the PE/NE signatures seen and the median and the fastest
// milliseconds of a walk.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "timed_rounds_win32.h"

namespace {

long filesOpened = 0;
long signaturesSeen = 0;

void ProbeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  ++filesOpened;
  unsigned char mz[64];
  DWORD got = 0;
  if (ReadFile(file, mz, sizeof mz, &got, nullptr) && got == sizeof mz && mz[0] == 'M' &&
      mz[1] == 'Z') {
    LONG at = static_cast<LONG>(
        static_cast<uint32_t>(mz[60]) | (static_cast<uint32_t>(mz[61]) << 8) |
        (static_cast<uint32_t>(mz[62]) << 16) | (static_cast<uint32_t>(mz[63]) << 24));
    unsigned char sig[4];
    if (SetFilePointer(file, at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
        ReadFile(file, sig, sizeof sig, &got, nullptr) && got == sizeof sig &&
        ((sig[0] == 'P' && sig[1] == 'E') || (sig[0] == 'N' && sig[1] == 'E'))) {
      ++signaturesSeen;
    }
  }
  CloseHandle(file);
}

void Walk(const std::string& directory) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((directory + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> subdirectories;
  do {
    if (data.cFileName[0] == '.') continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        subdirectories.emplace_back(data.cFileName);
      }
    } else if (strlen(data.cFileName) >= 4) {
      ProbeFile(directory + "\\" + data.cFileName);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  for (const std::string& name : subdirectories) Walk(directory + "\\" + name);
}

}  // namespace

int main(int argc, char** argv) {
  BenchArgs args;
  if (!ParseBenchArgs(argc, argv, "win32_floor", &args)) return 2;
  std::string start = args.directory;
  while (start.size() > 3 && (start.back() == '\\' || start.back() == '/')) start.pop_back();
  const RoundTimes t = TimeRounds(args.rounds, [&] {
    filesOpened = 0;
    signaturesSeen = 0;
    Walk(start);
  });
  printf("%ld files opened, %ld PE/NE signatures, median %.1f ms, fastest %.1f ms of %d walks\n",
         filesOpened, signaturesSeen, t.median, t.fastest, args.rounds);
  return 0;
}
