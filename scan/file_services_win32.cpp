// File services over kernel32, for the shipped program.
#include <windows.h>

#include <cstring>

#include "scan/file_services.h"

static HANDLE H(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

namespace {

// A 32-bit program on 64-bit Windows is shown syswow64 where it names
// system32, and would scan the 32-bit DLLs twice and never the real ones.
// The switch is per thread and exists only from 64-bit Windows on, so it is
// looked up, and the program still starts where it is missing.
using RedirectionOff = BOOL(WINAPI*)(PVOID* oldValue);
using RedirectionBack = BOOL(WINAPI*)(PVOID oldValue);

struct RedirectionSwitch {
  bool looked = false;
  RedirectionOff off = nullptr;
  RedirectionBack back = nullptr;
};
// Looked up by each thread that opens files: the CLI's workers open side by
// side.
thread_local RedirectionSwitch redirection;

// While one lives, the calls that open, list and enter see the real file
// system; it puts the thread's redirection back as it was.
class RealFileSystem {
 public:
  RealFileSystem() {
    if (!redirection.looked) {
      redirection.looked = true;
      HMODULE kernel = GetModuleHandleA("kernel32.dll");
      if (kernel != nullptr) {
        redirection.off = reinterpret_cast<RedirectionOff>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        redirection.back = reinterpret_cast<RedirectionBack>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
      }
    }
    if (redirection.off != nullptr && redirection.back != nullptr) {
      turnedOff_ = redirection.off(&old_) != 0;
    }
  }
  ~RealFileSystem() {
    if (turnedOff_) redirection.back(old_);
  }
  RealFileSystem(const RealFileSystem&) = delete;
  RealFileSystem& operator=(const RealFileSystem&) = delete;

 private:
  PVOID old_ = nullptr;
  bool turnedOff_ = false;
};

}  // namespace

// Where the file pointer of one handle stands, as far as ReadBytesAt knows:
// a handle just opened stands at 0, and a read leaves it behind the bytes it
// got. A positional read that starts there needs no seek, which under Wine
// is a call through ntdll of its own, made for nearly every file scanned.
// Anything else done with the handle forgets it. Each thread knows of the
// handles it opened.
static thread_local HANDLE knownFile = INVALID_HANDLE_VALUE;
static thread_local int64_t knownPosition = 0;

static void Forget(HANDLE h) {
  if (h == knownFile) knownFile = INVALID_HANDLE_VALUE;
}

// The walks open each file right after their listing has named it, and the
// listing gives its length too: a size query of its own is, under Wine, a
// call through ntdll for nearly every executable scanned. The folder is the
// one the listing was asked for, the name and length those of the last
// regular file it named; while the listing is open, the length serves the
// file opened by exactly that path, for as long as it stays open.
static thread_local char listedFolder[kPathBufferSize];
static thread_local char listedName[kPathBufferSize];
static thread_local int64_t listedLength = -1;
static thread_local HANDLE lengthFile = INVALID_HANDLE_VALUE;
static thread_local int64_t lengthOfFile = 0;

static bool IsListedFile(const char* path) {
  if (listedLength < 0) return false;
  size_t folder = strlen(listedFolder);
  if (folder == 0 || strncmp(path, listedFolder, folder) != 0) return false;
  // A drive's root ends in its separator; every other folder is joined to
  // its names by one.
  if (!IsPathSeparator(listedFolder[folder - 1])) {
    if (!IsPathSeparator(path[folder])) return false;
    ++folder;
  }
  return strcmp(path + folder, listedName) == 0;
}

FileHandle OpenFileForReading(const char* path) {
  RealFileSystem real;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    knownFile = h;
    knownPosition = 0;
    if (IsListedFile(path)) {
      lengthFile = h;
      lengthOfFile = listedLength;
    }
  }
  return reinterpret_cast<FileHandle>(h);
}

FileHandle CreateFileForWriting(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
  return reinterpret_cast<FileHandle>(h);
}

int64_t GetFileLength(FileHandle file) {
  if (H(file) == lengthFile) return lengthOfFile;
  DWORD high = 0;
  DWORD low = GetFileSize(H(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

bool SeekFromStart(FileHandle file, int64_t position) {
  Forget(H(file));
  if (position < 0) return false;
  LONG high = static_cast<LONG>(position >> 32);
  DWORD low = SetFilePointer(H(file), static_cast<LONG>(position & 0xFFFFFFFF), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

int32_t ReadBytes(FileHandle file, void* buffer, int32_t count) {
  Forget(H(file));
  if (count <= 0) return 0;
  DWORD got = 0;
  if (!ReadFile(H(file), buffer, static_cast<DWORD>(count), &got, nullptr)) return 0;
  return static_cast<int32_t>(got);
}

int32_t ReadBytesAt(FileHandle file, int64_t position, void* buffer, int32_t count) {
  // A seek and a read rather than one ReadFile with an OVERLAPPED offset:
  // under Wine the OVERLAPPED form costs a trip to the server per read, to
  // post a completion that no port waits for; a seek is answered locally.
  if (count <= 0 || position < 0) return 0;
  bool there = H(file) == knownFile && position == knownPosition;
  if (!there && !SeekFromStart(file, position)) return 0;
  int32_t got = ReadBytes(file, buffer, count);
  // A read that fails moves nothing, like one at the end of the file.
  knownFile = H(file);
  knownPosition = position + got;
  return got;
}

bool WriteBytes(FileHandle file, const void* bytes, int32_t count) {
  Forget(H(file));
  if (count < 0) return false;
  DWORD put = 0;
  return WriteFile(H(file), bytes, static_cast<DWORD>(count), &put, nullptr) &&
         put == static_cast<DWORD>(count);
}

void CloseFile(FileHandle file) {
  Forget(H(file));
  // The handle's value may come back for another file.
  if (H(file) == lengthFile) lengthFile = INVALID_HANDLE_VALUE;
  if (file != kInvalidFile) CloseHandle(H(file));
}

bool WriteWholeFile(const char* path, const FilePiece* pieces, int32_t pieceCount) {
  // The new file lies in path's folder, so that the move replaces the file
  // within one volume; GetTempFileNameA makes it under a name no file has.
  char folder[kPathBufferSize];
  size_t n = strnlen(path, kPathBufferSize);
  if (n >= static_cast<size_t>(kPathBufferSize)) return false;
  while (n > 0 && !IsPathSeparator(path[n - 1]) && path[n - 1] != ':') --n;
  if (n == 0) {
    strcpy(folder, ".");
  } else {
    memcpy(folder, path, n);
    folder[n] = '\0';
  }
  char temp[MAX_PATH];
  if (GetTempFileNameA(folder, "rav", 0, temp) == 0) return false;
  HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  bool ok = h != INVALID_HANDLE_VALUE;
  if (ok) {
    ok = WritePieces(reinterpret_cast<FileHandle>(h), pieces, pieceCount);
    Forget(h);
    ok = CloseHandle(h) != 0 && ok;
  }
  ok = ok && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileA(temp);
  return ok;
}

char PathSeparator() { return '\\'; }
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool SetCurrentDir(const char* path) {
  RealFileSystem real;
  return SetCurrentDirectoryA(path) != 0;
}

bool GetCurrentDir(char* buffer) {
  DWORD n = GetCurrentDirectoryA(kPathBufferSize, buffer);
  return n != 0 && n < static_cast<DWORD>(kPathBufferSize);
}

struct DirListing {
  HANDLE find;
};

static void CopyEntry(const WIN32_FIND_DATAA& data, DirEntry* entry) {
  size_t n = strnlen(data.cFileName, sizeof(entry->name) - 1);
  memcpy(entry->name, data.cFileName, n);
  entry->name[n] = '\0';
  entry->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // A link's listed length may be its own, not its target's.
  listedLength = -1;
  if (entry->isDirectory || entry->isLink || listedFolder[0] == '\0') return;
  memcpy(listedName, entry->name, n + 1);
  listedLength = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                      data.nFileSizeLow);
}

DirListing* ListFirst(const char* pattern, DirEntry* entry) {
  WIN32_FIND_DATAA data;
  RealFileSystem real;
  // The listed folder as the walks join their paths: the pattern's part
  // before its last separator, or the current directory for a bare pattern.
  const char* last = pattern;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (IsPathSeparator(*c)) last = c;
  }
  const size_t folder = static_cast<size_t>(last - pattern);
  if (last == pattern && !IsPathSeparator(*pattern)) {
    if (!GetCurrentDir(listedFolder)) listedFolder[0] = '\0';
  } else if (folder < sizeof listedFolder) {
    memcpy(listedFolder, pattern, folder);
    listedFolder[folder] = '\0';
  } else {
    listedFolder[0] = '\0';
  }
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    listedFolder[0] = '\0';
    listedLength = -1;
    return nullptr;
  }
  CopyEntry(data, entry);
  return new DirListing{find};
}

bool ListNext(DirListing* listing, DirEntry* entry) {
  WIN32_FIND_DATAA data;
  RealFileSystem real;
  if (!FindNextFileA(listing->find, &data)) return false;
  CopyEntry(data, entry);
  return true;
}

void ListClose(DirListing* listing) {
  if (listing == nullptr) return;
  // A file opened after its listing has ended may have changed since.
  listedLength = -1;
  FindClose(listing->find);
  delete listing;
}

// The system reads ahead by itself, and tells nobody what it holds.
HeadInCache ReadAheadUnlessCached(FileHandle) { return HeadInCache::Yes; }
void ReleaseThreadFileState() {}

uint32_t LogicalDriveMask() { return GetLogicalDrives(); }

bool IsRemovableDrive(const char* root) { return GetDriveTypeA(root) == DRIVE_REMOVABLE; }

bool GetVolumeLabel(const char* root, char* label) {
  label[0] = '\0';
  return GetVolumeInformationA(root, label, kVolumeLabelSize, nullptr, nullptr, nullptr, nullptr,
                               0) != 0;
}

bool StandardErrorIsTerminal() {
  // The NUL device is a character device too; only a console has a mode.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void* AllocateBulkBytes(size_t size) {
  // Large pages here need a privilege users do not hold; pages as usual.
  return size == 0 ? nullptr
                   : VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeBulkBytes(void* bytes, size_t /*size*/) {
  if (bytes != nullptr) VirtualFree(bytes, 0, MEM_RELEASE);
}
