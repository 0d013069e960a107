#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Plays the user in the modal windows a command opens on this thread: the
// open dialog and the message boxes. A thread timer drives it, since modal
// loops dispatch WM_TIMER. Each step waits for the visible, enabled dialog
// (class #32770) with its exact title; any other dialog that comes up is an
// unexpected window: it is noted and cancelled. A watchdog cancels whatever
// is open after 20 s, so a step that never matches fails instead of hanging.
struct RobotStep {
  // Navigate types a folder and presses Open: the dialog moves there and
  // stays open for the next step.
  enum class Kind { Pick, Navigate, Cancel, Answer };
  Kind kind;
  // Pick, Navigate: what is typed into the file name box before Open is
  // pressed.
  std::string typed;
  // Answer: the message box button pressed.
  int button = IDOK;

  static RobotStep PickFiles(std::string typed) { return {Kind::Pick, std::move(typed), 0}; }
  static RobotStep GoTo(std::string folder) { return {Kind::Navigate, std::move(folder), 0}; }
  static RobotStep CancelDialog() { return {Kind::Cancel, {}, 0}; }
  static RobotStep AnswerBox(int button) { return {Kind::Answer, {}, button}; }
};

// What the robot saw, in the order it saw it.
struct RobotReport {
  // Per open dialog: the folder it showed and its file type choices.
  std::vector<std::string> dialogFolders;
  std::vector<std::vector<std::string>> dialogFilters;
  std::vector<int> dialogFilterSelections;
  // Per message box: its text and whether the owner window owned it.
  std::vector<std::string> boxTexts;
  std::vector<bool> boxOwnedByOwner;
  // Anything that went wrong: unexpected windows, missing controls, the
  // watchdog.
  std::vector<std::string> failures;
  size_t stepsDone = 0;
};

// This thread's top-level window of the class, with the title unless it is
// null. Other processes under the same Wine server may show windows of the
// same class, so a system-wide FindWindow is not enough.
HWND FindThreadWindow(const char* className, const char* title);

// A plain visible top-level window to own the command's windows, as the
// main window would; the progress bar's class is registered first.
HWND CreateOwnerWindow(int x, int y, int width, int height);

inline constexpr char kOpenDialogTitle[] = "Open the executable file(s)";
inline constexpr char kBoxTitle[] = "Ravelin 1.5";

class DialogRobot {
 public:
  DialogRobot(HWND owner, std::vector<RobotStep> steps);
  ~DialogRobot();
  DialogRobot(const DialogRobot&) = delete;
  DialogRobot& operator=(const DialogRobot&) = delete;

  const RobotReport& report() const;
  // Every step played and nothing went wrong.
  bool clean() const;
  std::string Describe() const;
};
