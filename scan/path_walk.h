#pragma once
#include <functional>

// Receives one file: its directory (absolute for files found in a tree) and
// its bare name. The texts live only for the call.
using FileOffer = std::function<void(const char* directory, const char* fileName)>;

// Offers path itself when it names no directory, split at its last
// separator. For a directory, offers its files in byte order of their names,
// then walks its subdirectories in that order, each with its whole subtree.
// Names beginning with "." are skipped, and so are file names shorter than
// 4 characters, links to directories and paths longer than 259 characters.
// The process's current directory is the same afterwards.
void WalkPath(const char* path, const FileOffer& offer);

struct DirEntry;
// The walk's rules for a listed entry: whether it walks into it (a
// subdirectory) or offers it (a file).
bool WalkEnters(const DirEntry& entry);
bool WalkOffers(const DirEntry& entry);
