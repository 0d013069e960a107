// The file services see the real system folder: a 32-bit build on 64-bit
// Windows (or Wine's WOW64) is otherwise shown syswow64 in its place. The
// x86_64 build sees system32 anyway; the checks hold for both.
// clang-format off
#include <windows.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/file_services.h"

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;

// The COFF machine of the PE file, or 0 when it is none.
uint16_t Machine(FileHandle file) {
  if (file == kInvalidFile) return 0;
  uint8_t header[64] = {};
  uint8_t pe[6] = {};
  uint16_t machine = 0;
  if (ReadBytes(file, header, sizeof header) == sizeof header && header[0] == 'M' &&
      header[1] == 'Z') {
    uint32_t at = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 |
                  static_cast<uint32_t>(header[0x3F]) << 24;
    if (SeekFromStart(file, at) && ReadBytes(file, pe, sizeof pe) == sizeof pe && pe[0] == 'P' &&
        pe[1] == 'E' && pe[2] == 0 && pe[3] == 0) {
      machine = static_cast<uint16_t>(pe[4] | pe[5] << 8);
    }
  }
  CloseFile(file);
  return machine;
}

bool RunsOn64BitWindows() {
  BOOL wow = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow);
  return sizeof(void*) == 8 || wow;
}

TEST(FileServicesWin32, OpenEnterAndListReachTheRealSystemFolder) {
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
  std::string system = std::string(windows) + "\\system32";
  uint16_t expected = RunsOn64BitWindows() ? kMachineAmd64 : kMachineI386;

  EXPECT_EQ(Machine(OpenFileForReading((system + "\\kernel32.dll").c_str())), expected);

  char before[kPathBufferSize];
  ASSERT_TRUE(GetCurrentDir(before));
  ASSERT_TRUE(SetCurrentDir(system.c_str()));
  EXPECT_EQ(Machine(OpenFileForReading("kernel32.dll")), expected);
  DirEntry entry;
  DirListing* listing = ListFirst("*.*", &entry);
  ASSERT_NE(listing, nullptr);
  bool listed = false;
  do {
    listed = listed || lstrcmpiA(entry.name, "kernel32.dll") == 0;
  } while (ListNext(listing, &entry));
  ListClose(listing);
  EXPECT_TRUE(listed);
  ASSERT_TRUE(SetCurrentDir(before));

  // The switch is put back: the thread's own calls are redirected again.
  BOOL wow = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow);
  HANDLE direct = CreateFileA((system + "\\kernel32.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Machine(reinterpret_cast<FileHandle>(direct)), wow ? kMachineI386 : expected);
}

}  // namespace
