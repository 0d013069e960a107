// The help command (F1) under Wine, run in a probe process of its own
// placed in a fresh folder: with no Ravelin.chm beside the program, and
// with the help control switched off, it must show nothing at all; with
// the file there, Wine's help control opens its viewer on it, which shows
// that the path is the one the command builds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

constexpr DWORD kProbeTimeoutMs = 60000;
constexpr DWORD kCommandNotSeen = 0x100;

// Build paths come from CMake as Unix paths; Wine reaches them on Z:.
std::string FromBuild(const char* path) {
  std::string out = path;
  if (!out.empty() && out[0] == '/') out = "Z:" + out;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

const std::string kProbe = FromBuild(RAVELIN_HELP_PROBE_EXE);
const std::string kHelpFile = FromBuild(RAVELIN_HELP_FILE);

// Copies the probe into dir under the given name and runs it there;
// returns its exit code, or ~0 when it could not be run or did not end in
// time.
DWORD RunProbe(const TempDir& dir, const std::string& name = "Ravelin.exe", int presses = 1,
               const char* mode = "") {
  const std::string exe = dir.Join(name);
  if (!CopyFileA(kProbe.c_str(), exe.c_str(), FALSE)) return ~DWORD{0};
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + exe + "\" " + std::to_string(presses) + " " + mode;
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.path().c_str(), &startup, &process)) {
    return ~DWORD{0};
  }
  DWORD code = ~DWORD{0};
  if (WaitForSingleObject(process.hProcess, kProbeTimeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

bool HaveHelpFile() { return GetFileAttributesA(kHelpFile.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Wine loads no DLL that the registry disables for a program of a given
// name; the key names only this test's copy of the probe and goes again
// at the end.
class HelpControlDisabledFor {
 public:
  explicit HelpControlDisabledFor(const std::string& exeName)
      : appKey_("Software\\Wine\\AppDefaults\\" + exeName) {
    HKEY key = nullptr;
    const std::string overrides = appKey_ + "\\DllOverrides";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      const char disabled[] = "";
      ok_ = RegSetValueExA(key, "hhctrl.ocx", 0, REG_SZ, reinterpret_cast<const BYTE*>(disabled),
                           sizeof disabled) == ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  ~HelpControlDisabledFor() {
    RegDeleteKeyA(HKEY_CURRENT_USER, (appKey_ + "\\DllOverrides").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, appKey_.c_str());
  }
  bool ok() const { return ok_; }

 private:
  std::string appKey_;
  bool ok_ = false;
};

}  // namespace

TEST(HelpCommand, WithoutTheHelpFileShowsNothing) {
  TempDir dir;
  // 0: the command reached the main window and no window appeared.
  EXPECT_EQ(RunProbe(dir), 0u);
}

TEST(HelpCommand, WithTheHelpFileBesideTheProgramOpensIt) {
  if (!HaveHelpFile()) GTEST_SKIP() << "Ravelin.chm was not built (no chmcmd)";
  TempDir dir;
  ASSERT_TRUE(CopyFileA(kHelpFile.c_str(), dir.Join("Ravelin.chm").c_str(), FALSE));
  const DWORD code = RunProbe(dir);
  EXPECT_EQ(code & kCommandNotSeen, 0u) << code;
  EXPECT_GE(code & 0xFF, 1u) << "the help viewer did not open";
  // F1 again while the viewer is open brings it forward: each new request
  // would cost the help control another copy of the file.
  EXPECT_EQ(RunProbe(dir, "Ravelin.exe", 6), code);
  // Closed, the viewer is kept and shown again: Wine's help control leaks
  // GDI objects and memory for every viewer it makes.
  EXPECT_EQ(RunProbe(dir, "Ravelin.exe", 6, "close"), code);
}

TEST(HelpCommand, WithoutTheHelpControlShowsNothing) {
  if (!HaveHelpFile()) GTEST_SKIP() << "Ravelin.chm was not built (no chmcmd)";
  TempDir dir;
  // The file is there, so only the missing control keeps the viewer away
  // (the case above shows that it opens otherwise).
  ASSERT_TRUE(CopyFileA(kHelpFile.c_str(), dir.Join("Ravelin.chm").c_str(), FALSE));
  const std::string name = "RavelinWithoutHelpControl.exe";
  HelpControlDisabledFor disabled(name);
  ASSERT_TRUE(disabled.ok());
  EXPECT_EQ(RunProbe(dir, name), 0u);
}
