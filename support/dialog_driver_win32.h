#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The open dialog's title, and the folder of Wine's own DLLs of this
// build's bitness, which the GUI tests open.
inline constexpr char kOpenDialogTitle[] = "Open the executable file(s)";
#ifdef _WIN64
inline constexpr char kWineSystemDlls[] = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
#else
inline constexpr char kWineSystemDlls[] = "Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows";
#endif

// Drives the modal dialogs and message boxes that a command opens, from a
// thread timer: modal loops dispatch WM_TIMER, so the steps run while the
// command under test waits in its dialog. Each step waits for a visible,
// enabled dialog (class #32770) of this thread with exactly its title and
// then acts on it. After the timeout a watchdog cancels every dialog still
// open, nested ones included, so a step that never matches fails the test
// instead of hanging it.
//
// A driver told to cancel other dialogs also takes any dialog that is not
// the next step's, nor the one last acted on while it closes, as
// unexpected: it is noted and cancelled at once. Its watchdog then also
// cancels a dialog that stays open after the last step.
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
  enum class Others { Wait, Cancel };
  explicit DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs = 20000,
                        Others others = Others::Wait);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // True when every step ran before the watchdog fired.
  bool finished() const;
  bool timedOut() const;
  // The dialogs cancelled as unexpected: title, then any message text.
  const std::vector<std::string>& unexpected() const;
};

// Actions. An open or save dialog without a file name box is left as it
// is and answers false.
bool SetFileNameAndAccept(HWND dialog, const std::string& text);
void PressButton(HWND dialog, int id);  // BM_CLICK
std::string MessageBoxText(HWND box);   // the box's message

// Pumps this thread's waiting messages the way the program's loop does,
// accelerators first when given.
void PumpMessages(HWND acceleratorTarget = nullptr, HACCEL accelerators = nullptr);

// Pumps this thread's messages until done() is true or timeoutMs have
// passed; whether done() was true.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A plain visible top-level window to own a command's windows, as the main
// window would; the progress bar's class is registered first.
HWND CreateOwnerWindow(int x, int y, int width, int height);

// Sends a key to window as a key press would arrive, with Ctrl held down
// when ctrl is set, through the accelerator table like the program's loop.
void PressKey(HWND window, HACCEL accelerators, WPARAM key, bool ctrl = false);
