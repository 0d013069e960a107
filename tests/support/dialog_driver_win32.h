#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Drives the modal dialogs and message boxes that a command opens, from a
// thread timer: modal loops dispatch WM_TIMER, so the steps run while the
// command under test waits in its dialog. Each step waits for a visible,
// enabled dialog (class #32770) of this thread with exactly its title and
// then acts on it. After the timeout a watchdog cancels every dialog still
// open, nested ones included, so a step that never matches fails the test
// instead of hanging it.
struct DialogStep {
  // Exact; empty matches any title (the system's own prompts vary).
  std::string title;
  std::function<void(HWND dialog)> act;
  // A file dialog has the file-name box cmb13. Steps with a loose title
  // must say which they want, or they could take the dialog that is still
  // closing behind the prompt.
  enum class Kind { Any, FileDialog, Other };
  Kind kind = Kind::Any;
};

class DialogDriver {
 public:
  explicit DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs = 20000);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // True when every step ran before the watchdog fired.
  bool finished() const;
  bool timedOut() const;
};

// Actions.
void SetFileNameAndAccept(HWND dialog, const std::string& text);  // open/save dialogs
void PressButton(HWND dialog, int id);                             // BM_CLICK
std::string MessageBoxText(HWND box);                              // the box's message

// Pumps this thread's waiting messages the way the program's loop does,
// accelerators first when given.
void PumpMessages(HWND acceleratorTarget = nullptr, HACCEL accelerators = nullptr);

// Sends a key to window as a key press would arrive, with Ctrl held down
// when ctrl is set, through the accelerator table like the program's loop.
void PressKey(HWND window, HACCEL accelerators, WPARAM key, bool ctrl = false);
