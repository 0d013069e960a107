#pragma once

#include "ravelin_version.h"

// The main window's title while the catalogue is empty, the first part of it
// otherwise, and the title of every message box.
inline constexpr char kProgramTitle[] = "Ravelin " RAVELIN_VERSION_SHORT;
