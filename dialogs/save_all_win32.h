#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scan/catalogue.h"

// The caption of the Save All question about files already there.
inline constexpr char kSaveAllTitle[] = "Save All";

// The Save All command: the system's folder picker, with a check box for
// PNG instead of each entry's own format; one question when files of the
// same names are there (replace them, keep them, or stop); then the entries
// at indices written in their order under a progress window with Cancel.
// Returns the status line's account, or an empty text when nothing was
// asked to be written.
std::string SaveAllImages(HWND owner, Catalogue* catalogue, const std::vector<int32_t>& indices);
