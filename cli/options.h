#pragma once

#include "scan/catalogue_sort.h"

// What the command line asks for.
struct Options {
  bool describe = false;
  const char* exportDirectory = nullptr;
  // Set by --export-groups: every icon and cursor group of every file.
  const char* groupDirectory = nullptr;
  // --png: every drawable entry as an RGBA PNG of what the window shows.
  const char* pngDirectory = nullptr;
  // Set by --sort: the catalogue is put in this order, after the area pass,
  // as the window's sort commands do.
  bool sort = false;
  SortOrder sortOrder = SortOrder::Unsorted;
  // Set by --unique: only the first entry of each set of equal images.
  bool unique = false;
  // --jobs: files scanned side by side; 1 scans them one after another on
  // the walking thread.
  int jobs = 1;
  bool help = false;
  bool version = false;
  int firstPath = 1;
};

// Options come before the paths; "--" ends them. False on anything unknown.
bool ParseOptions(int argc, char** argv, Options* options);

// The usage line on standard error; returns the exit status of a usage error.
int Usage();
void PrintHelp();
void PrintVersion();
