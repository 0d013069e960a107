#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_loader.h"
#include "scan/catalogue.h"

// The caption of the Save All question about files already there.
inline constexpr char kSaveAllTitle[] = "Save All";

// What Save All keeps for the run, which the window's run holds: the next
// picker starts where the last one ended, with the same format chosen.
struct SaveAllChoice {
  char folder[MAX_PATH] = "";
  bool png = false;
};

// The Save All command: the system's folder picker, with a check box for
// PNG instead of each entry's own format, both seeded from and kept in
// choice; one question when files of the same names are there (replace
// them, keep them, or stop); then the entries at indices, loaded through
// cache, written in their order under a progress window with Cancel.
// Returns the status line's account, or an empty text when nothing was
// asked to be written.
std::string SaveAllImages(HWND owner, SaveAllChoice* choice, ImageCache& cache,
                          Catalogue* catalogue, const std::vector<int32_t>& indices);
