#pragma once
#include <windows.h>

#include <cstdint>

#include "scan/catalogue.h"

// The open command: lets the user pick executables in the system's open
// dialog, refills the catalogue from them and returns the new entry count,
// or -1 when the dialog was cancelled (then the catalogue, its fill count
// and the name pools are as they were). owner owns the dialog, the error
// boxes and the progress window.
int32_t OpenExecutableFiles(HWND owner, Catalogue* catalogue);
