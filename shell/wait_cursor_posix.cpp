// The native build has no cursor to change: its programs are command-line
// tools and tests.
#include "shell/wait_cursor.h"

void SetWaitCursor(bool) {}
