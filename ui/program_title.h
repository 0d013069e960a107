#pragma once

// The main window's title while the catalogue is empty, the first part of it
// otherwise, and the title of every message box.
inline constexpr char kProgramTitle[] = "Ravelin 1.5";
