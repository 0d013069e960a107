// File services over POSIX calls, for the native build and its tests.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "scan/file_services.h"

// A scan costs a handful of system calls per file, so each one saved shows
// in a tree walk: the length taken at open is kept for GetFileLength, a seek
// is only noted, to be joined with the read that follows into one pread, and
// the small reads near the start of the file are served from one read of its
// head. All of it concerns the one file most recently opened or sought, and
// is forgotten when that file is closed. Each thread keeps its own: the
// workers of a parallel walk open and read files side by side, and a
// directory listed on one thread is not the business of the others.
namespace {

thread_local FileHandle openedFile = kInvalidFile;
thread_local int64_t openedLength = -1;

thread_local FileHandle pendingSeekFile = kInvalidFile;
thread_local int64_t pendingSeekPosition = 0;

// The first bytes of the file most recently opened: the MZ header, the
// signature, the COFF header and usually the section table all lie there, and
// are read with one call instead of four.
constexpr int32_t kHeadBytes = 4096;
thread_local uint8_t head[kHeadBytes];
thread_local FileHandle headFile = kInvalidFile;
thread_local int32_t headLength = 0;

int32_t ReadAt(int fd, void* buffer, int32_t count, int64_t position) {
  auto* out = static_cast<char*>(buffer);
  int32_t total = 0;
  while (total < count) {
    ssize_t got = pread(fd, out + total, static_cast<size_t>(count - total),
                        static_cast<off_t>(position + total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<int32_t>(got);
  }
  return total;
}

// Serves a read from the head when it lies there, or when the file ends
// inside the head; -1 when the read must go to the file.
int32_t ReadFromHead(FileHandle file, void* buffer, int32_t count, int64_t position) {
  if (file != openedFile || position >= kHeadBytes || count > kHeadBytes) return -1;
  if (headFile != file) {
    headLength = ReadAt(static_cast<int>(file), head, kHeadBytes, 0);
    headFile = file;
  }
  if (position + count > headLength && headLength == kHeadBytes) return -1;
  int64_t available = headLength - position;
  int32_t n = static_cast<int32_t>(available < 0 ? 0 : (available < count ? available : count));
  memcpy(buffer, head + position, static_cast<size_t>(n));
  return n;
}

// Moves the kernel's file position to where the noted seek asked, before
// anything that depends on it.
bool SettlePendingSeek() {
  if (pendingSeekFile == kInvalidFile) return true;
  FileHandle file = pendingSeekFile;
  pendingSeekFile = kInvalidFile;
  return lseek(static_cast<int>(file), static_cast<off_t>(pendingSeekPosition), SEEK_SET) >= 0;
}

// The directory most recently listed stays open after its listing ends: the
// walks open its files next, by their full paths, and opening them relative
// to it spares the kernel the lookup of every component of the path again.
// It is known by the full path it was listed under, or under which it became
// the current directory, so it is not used when that was set relative to a
// place not known.
thread_local char currentPath[kPathBufferSize];
thread_local size_t currentPathLength = 0;

struct ListedDirectory {
  DIR* dir = nullptr;
  // A DirListing still reads from dir and will close it.
  bool listing = false;
  char path[kPathBufferSize];
  size_t pathLength = 0;
  // The names the listing has shown, "." and ".." aside, without saying
  // that they are regular files (directories, links, devices, types the file
  // system does not tell), one after another with their terminators; when
  // they do not all fit, irregular is set and no name is vouched for. Every
  // other name opened below the directory is known to be a regular file.
  char others[512];
  size_t othersUsed = 0;
  bool irregular = false;
};
thread_local ListedDirectory listed;

void NoteCurrentPath(const char* path) {
  size_t n = strlen(path);
  currentPathLength = n < sizeof currentPath ? n : 0;
  if (currentPathLength > 0) memcpy(currentPath, path, n + 1);
}

void DropListedDirectory() {
  if (listed.dir != nullptr && !listed.listing) closedir(listed.dir);
  listed.dir = nullptr;
  listed.pathLength = 0;
}

// The part of path below the listed directory, or nullptr when path does
// not lie under it.
const char* BelowListedDirectory(const char* path) {
  size_t n = listed.pathLength;
  if (listed.dir == nullptr || n == 0 || strncmp(path, listed.path, n) != 0) return nullptr;
  const char* rest = path + n;
  if (listed.path[n - 1] != '/') {
    if (*rest != '/') return nullptr;
    ++rest;
  }
  return *rest != '\0' ? rest : nullptr;
}

void NoteOtherName(const char* name, size_t length) {
  if (length + 1 > sizeof listed.others - listed.othersUsed) {
    listed.irregular = true;
    return;
  }
  memcpy(listed.others + listed.othersUsed, name, length + 1);
  listed.othersUsed += length + 1;
}

// Whether name, a path below the listed directory, is one of its entries
// that the listing showed as a regular file.
bool IsListedAsRegular(const char* name) {
  if (listed.irregular || strchr(name, '/') != nullptr) return false;
  for (size_t at = 0; at < listed.othersUsed; at += strlen(listed.others + at) + 1) {
    if (strcmp(listed.others + at, name) == 0) return false;
  }
  return true;
}

}  // namespace

FileHandle OpenFileForReading(const char* path) {
  // O_NONBLOCK so that a FIFO among the scanned names cannot stall the scan;
  // only regular files are readers' business, as CreateFileA refuses
  // directories too.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  const char* below = BelowListedDirectory(path);
  int fd = below != nullptr ? openat(dirfd(listed.dir), below, flags) : open(path, flags);
  if (fd < 0) return kInvalidFile;
  openedFile = fd;
  // A name that its listing showed as a regular file needs no look of its
  // own; its length is taken when asked for.
  openedLength = -1;
  if (below != nullptr && IsListedAsRegular(below)) return fd;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    openedFile = kInvalidFile;
    close(fd);
    return kInvalidFile;
  }
  openedLength = static_cast<int64_t>(st.st_size);
  return fd;
}

FileHandle CreateFileForWriting(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  return fd < 0 ? kInvalidFile : fd;
}

int64_t GetFileLength(FileHandle file) {
  if (file == openedFile && openedLength >= 0) return openedLength;
  struct stat st;
  if (fstat(static_cast<int>(file), &st) != 0) return -1;
  if (file == openedFile) openedLength = static_cast<int64_t>(st.st_size);
  return static_cast<int64_t>(st.st_size);
}

bool SeekFromStart(FileHandle file, int64_t position) {
  if (position < 0) return false;
  if (file != pendingSeekFile && !SettlePendingSeek()) return false;
  pendingSeekFile = file;
  pendingSeekPosition = position;
  return true;
}

int32_t ReadBytes(FileHandle file, void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (file == pendingSeekFile) {
    // pread leaves the kernel's position alone: the noted one moves on instead.
    int32_t got = ReadFromHead(file, buffer, count, pendingSeekPosition);
    if (got < 0) got = ReadAt(static_cast<int>(file), buffer, count, pendingSeekPosition);
    pendingSeekPosition += got;
    return got;
  }
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

int32_t ReadBytesAt(FileHandle file, int64_t position, void* buffer, int32_t count) {
  if (count <= 0 || position < 0) return 0;
  // One call: a regular file's read comes back short only where the file
  // ends, and asking again there would only hear 0.
  for (;;) {
    ssize_t got = pread(static_cast<int>(file), buffer, static_cast<size_t>(count),
                        static_cast<off_t>(position));
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? 0 : static_cast<int32_t>(got);
  }
}

bool WriteBytes(FileHandle file, const void* bytes, int32_t count) {
  if (count < 0) return false;
  if (file == pendingSeekFile && !SettlePendingSeek()) return false;
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
  if (file == kInvalidFile) return;
  // The descriptor number may come back for another file.
  if (file == openedFile) openedFile = kInvalidFile;
  if (file == headFile) headFile = kInvalidFile;
  if (file == pendingSeekFile) pendingSeekFile = kInvalidFile;
  close(static_cast<int>(file));
}

bool WriteWholeFile(const char* path, const FilePiece* pieces, int32_t pieceCount) {
  // The new file's name is path's with a suffix no other file has (O_EXCL),
  // so it lies in the same folder and the rename cannot cross file systems.
  std::string temp;
  int fd = -1;
  for (int n = 0; n < 100 && fd < 0; ++n) {
    char suffix[40];
    snprintf(suffix, sizeof suffix, ".%ld-%d.part", static_cast<long>(getpid()), n);
    temp = std::string(path) + suffix;
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WritePieces(fd, pieces, pieceCount);
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), path) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

char PathSeparator() { return '/'; }
bool IsPathSeparator(char c) { return c == '/'; }

bool SetCurrentDir(const char* path) {
  if (chdir(path) != 0) return false;
  if (path[0] == '/') {
    NoteCurrentPath(path);
  } else {
    currentPathLength = 0;
  }
  return true;
}

bool GetCurrentDir(char* buffer) {
  if (getcwd(buffer, kPathBufferSize) == nullptr) return false;
  NoteCurrentPath(buffer);
  return true;
}

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
    entry->isLink = false;
    entry->isDirectory = d->d_type == DT_DIR;
    bool dots = d->d_name[0] == '.' && (n == 1 || (n == 2 && d->d_name[1] == '.'));
    if (d->d_type != DT_REG && !dots && dir == listed.dir) NoteOtherName(d->d_name, n);
    // Most file systems say in the listing what an entry is; only links and
    // the rest need a stat of their own.
    if (d->d_type == DT_REG || d->d_type == DT_DIR) return true;
    entry->isDirectory = false;
    struct stat st;
    if (fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(st.st_mode)) {
        entry->isLink = true;
        struct stat target;
        entry->isDirectory =
            fstatat(dirfd(dir), d->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
      } else {
        entry->isDirectory = S_ISDIR(st.st_mode);
      }
    }
    return true;
  }
  return false;
}

DirListing* ListFirst(const char* pattern, DirEntry* entry) {
  // The pattern's last part matches every name; the part before it, if any,
  // is the directory listed.
  const char* lastSeparator = strrchr(pattern, '/');
  char folder[kPathBufferSize];
  const char* path = currentPath;
  size_t pathLength = currentPathLength;
  if (lastSeparator != nullptr) {
    pathLength = lastSeparator == pattern ? 1 : static_cast<size_t>(lastSeparator - pattern);
    if (pathLength >= sizeof folder) return nullptr;
    memcpy(folder, pattern, pathLength);
    folder[pathLength] = '\0';
    path = folder;
  }
  DIR* dir = opendir(lastSeparator != nullptr ? folder : ".");
  if (dir == nullptr) return nullptr;
  DropListedDirectory();
  listed.dir = dir;
  listed.listing = true;
  listed.irregular = false;
  listed.othersUsed = 0;
  // Only a directory known by its full path serves the opens below it.
  listed.pathLength = path[0] == '/' ? pathLength : 0;
  if (listed.pathLength > 0) memcpy(listed.path, path, pathLength + 1);
  if (!FillEntry(dir, entry)) {
    listed.dir = nullptr;
    closedir(dir);
    return nullptr;
  }
  return new DirListing{dir};
}

bool ListNext(DirListing* listing, DirEntry* entry) { return FillEntry(listing->dir, entry); }

void ListClose(DirListing* listing) {
  if (listing == nullptr) return;
  if (listing->dir == listed.dir) {
    listed.listing = false;
  } else {
    closedir(listing->dir);
  }
  delete listing;
}

HeadInCache ReadAheadUnlessCached(FileHandle file) {
  // A read told not to wait answers only from the cache.
  char probe[256];
  iovec whole{probe, sizeof probe};
  ssize_t got = preadv2(static_cast<int>(file), &whole, 1, 0, RWF_NOWAIT);
  if (got == static_cast<ssize_t>(sizeof probe)) return HeadInCache::Yes;
  if (got >= 0) return HeadInCache::Unknown;
  // Some file systems (tmpfs among them) cannot be asked so; they are asked
  // to read ahead all the same.
  const bool told = errno == EAGAIN;
  posix_fadvise(static_cast<int>(file), 0, kHeadBytes, POSIX_FADV_WILLNEED);
  return told ? HeadInCache::No : HeadInCache::Unknown;
}

void ReleaseThreadFileState() { DropListedDirectory(); }

uint32_t LogicalDriveMask() { return 0; }
bool IsRemovableDrive(const char*) { return false; }
bool GetVolumeLabel(const char*, char*) { return false; }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void* AllocateBulkBytes(size_t size) {
  if (size == 0) return nullptr;
  constexpr size_t kLargePage = size_t{2} << 20;
  if (size < kLargePage) {
    void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return bytes == MAP_FAILED ? nullptr : bytes;
  }
  // Large pages need an aligned start: map a page more and give back the
  // ends.
  void* mapped =
      mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  if (start + kLargePage > aligned) {
    munmap(reinterpret_cast<void*>(aligned + size), start + kLargePage - aligned);
  }
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void FreeBulkBytes(void* bytes, size_t size) {
  if (bytes != nullptr) munmap(bytes, size);
}
