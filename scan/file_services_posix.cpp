// File services over POSIX calls, for the native build and its tests.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "scan/file_services.h"

FileHandle OpenFileForReading(const char* path) {
  // O_NONBLOCK so that a FIFO among the scanned names cannot stall the scan;
  // only regular files are readers' business, as CreateFileA refuses
  // directories too.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return kInvalidFile;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

FileHandle CreateFileForWriting(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  return fd < 0 ? kInvalidFile : fd;
}

int64_t GetFileLength(FileHandle file) {
  struct stat st;
  if (fstat(static_cast<int>(file), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool SeekFromStart(FileHandle file, int64_t position) {
  if (position < 0) return false;
  return lseek(static_cast<int>(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

int32_t ReadBytes(FileHandle file, void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int32_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (total < count) {
    ssize_t got = read(static_cast<int>(file), out + total, static_cast<size_t>(count - total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<int32_t>(got);
  }
  return total;
}

bool WriteBytes(FileHandle file, const void* bytes, int32_t count) {
  if (count < 0) return false;
  int32_t total = 0;
  auto* in = static_cast<const char*>(bytes);
  while (total < count) {
    ssize_t put = write(static_cast<int>(file), in + total, static_cast<size_t>(count - total));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    total += static_cast<int32_t>(put);
  }
  return true;
}

void CloseFile(FileHandle file) {
  if (file != kInvalidFile) close(static_cast<int>(file));
}

char PathSeparator() { return '/'; }
bool IsPathSeparator(char c) { return c == '/'; }

bool SetCurrentDir(const char* path) { return chdir(path) == 0; }

bool GetCurrentDir(char* buffer) { return getcwd(buffer, kPathBufferSize) != nullptr; }

struct DirListing {
  DIR* dir;
};

static bool FillEntry(DIR* dir, DirEntry* entry) {
  while (struct dirent* d = readdir(dir)) {
    size_t n = strlen(d->d_name);
    // A name that does not fit the path buffer could not be opened through it
    // either; Win32 listings never return such names.
    if (n >= sizeof(entry->name)) continue;
    memcpy(entry->name, d->d_name, n + 1);
    struct stat st;
    entry->isLink = false;
    entry->isDirectory = false;
    if (lstat(d->d_name, &st) == 0) {
      if (S_ISLNK(st.st_mode)) {
        entry->isLink = true;
        struct stat target;
        entry->isDirectory = stat(d->d_name, &target) == 0 && S_ISDIR(target.st_mode);
      } else {
        entry->isDirectory = S_ISDIR(st.st_mode);
      }
    }
    return true;
  }
  return false;
}

DirListing* ListFirst(const char* /*pattern*/, DirEntry* entry) {
  DIR* dir = opendir(".");
  if (dir == nullptr) return nullptr;
  if (!FillEntry(dir, entry)) {
    closedir(dir);
    return nullptr;
  }
  return new DirListing{dir};
}

bool ListNext(DirListing* listing, DirEntry* entry) { return FillEntry(listing->dir, entry); }

void ListClose(DirListing* listing) {
  if (listing == nullptr) return;
  closedir(listing->dir);
  delete listing;
}

uint32_t LogicalDriveMask() { return 0; }
bool IsRemovableDrive(const char*) { return false; }
bool GetVolumeLabel(const char*, char*) { return false; }
