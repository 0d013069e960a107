// The floor for a scan of a tree: the same walk as ravelin-scan (names in
// byte order, files before subdirectories, dot names and file names under 4
// characters skipped), and per file only what telling its format needs: open,
// the 64-byte MZ header, the 4-byte signature where that header points, close.
// Prints the number of files opened and of PE/NE signatures seen, so the work
// cannot be optimised away and the two walks can be compared.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

long filesOpened = 0;
long signaturesSeen = 0;

void ProbeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ++filesOpened;
  unsigned char mz[64];
  if (read(fd, mz, sizeof mz) == static_cast<ssize_t>(sizeof mz) && mz[0] == 'M' && mz[1] == 'Z') {
    uint32_t at = static_cast<uint32_t>(mz[60]) | (static_cast<uint32_t>(mz[61]) << 8) |
                  (static_cast<uint32_t>(mz[62]) << 16) | (static_cast<uint32_t>(mz[63]) << 24);
    unsigned char sig[4];
    if (pread(fd, sig, sizeof sig, static_cast<off_t>(at)) == static_cast<ssize_t>(sizeof sig) &&
        ((sig[0] == 'P' && sig[1] == 'E') || (sig[0] == 'N' && sig[1] == 'E'))) {
      ++signaturesSeen;
    }
  }
  close(fd);
}

void Walk(const std::string& directory) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> files;
  std::vector<std::string> subdirectories;
  while (dirent* d = readdir(dir)) {
    if (d->d_name[0] == '.') continue;
    bool isDirectory = d->d_type == DT_DIR;
    if (d->d_type == DT_UNKNOWN) {
      struct stat st;
      std::string full = directory + "/" + d->d_name;
      isDirectory = lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isDirectory) {
      subdirectories.emplace_back(d->d_name);
    } else if (strlen(d->d_name) >= 4) {
      files.emplace_back(d->d_name);
    }
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  std::sort(subdirectories.begin(), subdirectories.end());
  for (const std::string& name : files) ProbeFile(directory + "/" + name);
  for (const std::string& name : subdirectories) Walk(directory + "/" + name);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    struct stat st;
    if (stat(argv[i], &st) == 0 && S_ISDIR(st.st_mode)) {
      Walk(argv[i]);
    } else {
      ProbeFile(argv[i]);
    }
  }
  printf("%ld files opened, %ld PE/NE signatures\n", filesOpened, signaturesSeen);
  return 0;
}
