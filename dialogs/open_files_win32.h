#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/open_files.h"
#include "scan/catalogue.h"
#include "scan/directory_search.h"

// The open command: lets the user pick executables in the system's open
// dialog, refills the catalogue from them and returns the new entry count,
// or -1 when the dialog was cancelled (then the catalogue, its fill count
// and the name pools are as they were). owner owns the dialog, the error
// boxes and the progress window.
int32_t OpenExecutableFiles(HWND owner, Catalogue* catalogue);

// Files and folders dropped on a window or named on the command line,
// loaded as LoadDroppedPaths says: the open command's error box and
// progress window, and the search dialog for each folder, walked with
// search. -1 for an empty list.
int32_t OpenDroppedPaths(HWND owner, SearchState& search, const std::vector<DroppedPath>& paths,
                         Catalogue* catalogue);

// Tells folders from files (a path that is not there counts as a file,
// which then cannot be opened).
std::vector<DroppedPath> ClassifyPaths(const std::vector<std::string>& paths);
