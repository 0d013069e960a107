#pragma once

#include <string>

// An output folder is checked before anything is scanned: one clear error
// rather than a cannot-create line for every entry. True for no folder
// (nullptr); otherwise false, with the reason on standard error, unless
// folder is a folder a file can be made in.
bool OutputFolderUsable(const char* folder);

// folder as an absolute path, so that it still names the same folder after
// the current folder changes; empty for no folder, folder itself when the
// system cannot say.
std::string AbsoluteFolder(const char* folder);
