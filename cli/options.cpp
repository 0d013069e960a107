#include "cli/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ravelin_version.h"

namespace {

void PrintUsage(FILE* out) {
  fprintf(out,
          "usage: ravelin-scan [--describe] [--export DIR] [--export-groups DIR] "
          "[--sort large|small|none] [--unique] [--jobs N] [--] PATH...\n");
}

constexpr char kVersionText[] = "ravelin-scan (Ravelin) " RAVELIN_VERSION_SHORT "\n";

// The most files scanned side by side: past it, more threads only crowd
// the disk's queue.
constexpr long kMaxJobs = 64;

bool ParseJobs(const char* text, int* jobs) {
  char* end = nullptr;
  long n = strtol(text, &end, 10);
  if (end == text || *end != '\0' || n < 1 || n > kMaxJobs) return false;
  *jobs = static_cast<int>(n);
  return true;
}

bool ParseSortOrder(const char* name, SortOrder* sortOrder) {
  if (strcmp(name, "large") == 0) {
    *sortOrder = SortOrder::LargeToSmall;
  } else if (strcmp(name, "small") == 0) {
    *sortOrder = SortOrder::SmallToLarge;
  } else if (strcmp(name, "none") == 0) {
    *sortOrder = SortOrder::Unsorted;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int Usage() {
  PrintUsage(stderr);
  return 2;
}

void PrintHelp() {
  PrintUsage(stdout);
  fputs(
      "Lists the bitmaps, icons and cursors inside Windows executables (NE and PE), one line\n"
      "per entry on standard output: index, kind, offset, size, sequence, area, path.\n"
      "Files that add nothing are named on standard error with the reason.\n"
      "\n"
      "  --describe            add width, height, bitCount, colorCount, bitsSize, unusable\n"
      "  --export DIR          write entry i as DIR/i.bmp, i.ico or i.cur (also --save-all)\n"
      "  --export-groups DIR   write every icon and cursor group as one .ico or .cur\n"
      "  --png DIR             write every drawable entry as DIR/i.png (RGBA)\n"
      "  --sort large|small|none  order the entries by area before printing\n"
      "  --unique              list only the first entry of each set of equal images\n"
      "  --jobs N              scan N files at a time (1 to 64; default: the number of\n"
      "                        processors); the output is the same for every N\n"
      "  --help                print this help and exit\n"
      "  --version             print the name and version and exit\n"
      "\n"
      "Exit status: 0; 1 when a PATH does not exist, an entry cannot be written or the\n"
      "sort was abandoned; 2 on a usage error or an output folder that cannot be written.\n",
      stdout);
}

void PrintVersion() { fputs(kVersionText, stdout); }

bool ParseOptions(int argc, char** argv, Options* options) {
  const unsigned processors = std::thread::hardware_concurrency();
  options->jobs =
      processors == 0 ? 1 : (processors > kMaxJobs ? kMaxJobs : static_cast<int>(processors));
  int i = 1;
  for (; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--") == 0) {
      ++i;
      break;
    }
    if (arg[0] != '-' || arg[1] == '\0') break;
    if (strcmp(arg, "--describe") == 0) {
      options->describe = true;
    } else if (strcmp(arg, "--export") == 0 || strcmp(arg, "--save-all") == 0) {
      if (i + 1 >= argc) return false;
      options->exportDirectory = argv[++i];
    } else if (strcmp(arg, "--export-groups") == 0) {
      if (i + 1 >= argc) return false;
      options->groupDirectory = argv[++i];
    } else if (strcmp(arg, "--png") == 0) {
      if (i + 1 >= argc) return false;
      options->pngDirectory = argv[++i];
    } else if (strcmp(arg, "--sort") == 0) {
      if (i + 1 >= argc || !ParseSortOrder(argv[++i], &options->sortOrder)) return false;
      options->sort = true;
    } else if (strcmp(arg, "--jobs") == 0) {
      if (i + 1 >= argc || !ParseJobs(argv[++i], &options->jobs)) return false;
    } else if (strcmp(arg, "--unique") == 0) {
      options->unique = true;
    } else if (strcmp(arg, "--help") == 0) {
      options->help = true;
    } else if (strcmp(arg, "--version") == 0) {
      options->version = true;
    } else {
      return false;
    }
  }
  options->firstPath = i;
  return i < argc || options->help || options->version;
}
