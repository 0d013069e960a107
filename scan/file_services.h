#pragma once
#include <cstddef>
#include <cstdint>

// The only way the portable core reaches the file system. One implementation
// per platform (file_services_win32.cpp, file_services_posix.cpp); the build
// picks one. Scanned files are only ever opened for reading.

// A Win32 HANDLE or a POSIX descriptor, carried in an integer as wide as a
// pointer; both platforms use -1 for "no file".
using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// Text buffers for paths hold at most 259 characters and a terminator.
inline constexpr int kPathBufferSize = 260;

// Shared for reading, existing files only, read in sequence.
FileHandle OpenFileForReading(const char* path);
// Not shared, replacing any existing file.
FileHandle CreateFileForWriting(const char* path);
// The whole size in bytes, or -1 when it cannot be taken. Callers that keep
// 32-bit lengths decide what to do with sizes of 2 GiB and more.
int64_t GetFileLength(FileHandle file);
// Any position from the start, also one past the end.
bool SeekFromStart(FileHandle file, int64_t position);
// Reads at most count bytes at the current position and returns how many
// arrived: 0 at or past the end of the file and on error.
int32_t ReadBytes(FileHandle file, void* buffer, int32_t count);
// Reads at most count bytes at position, as a seek and a read would, in one
// call. The position a later ReadBytes starts from is then not defined: a
// seek must come first.
int32_t ReadBytesAt(FileHandle file, int64_t position, void* buffer, int32_t count);
// Whether all count bytes at position arrived (always, for none).
bool ReadExactlyAt(FileHandle file, int64_t position, void* buffer, int32_t count);
bool WriteBytes(FileHandle file, const void* bytes, int32_t count);
void CloseFile(FileHandle file);

// One run of bytes of a file written whole; null bytes stand for count zeros.
struct FilePiece {
  const void* bytes;
  int32_t count;
};
// The one way an exported file is written: the pieces, in order, go to a new
// file in path's folder, which takes path's place (replacing any file there)
// only when every byte was written and the file closed. On any failure (a
// full disk, a size limit) that file is removed, whatever was at path stays
// as it was, and the result is false.
bool WriteWholeFile(const char* path, const FilePiece* pieces, int32_t pieceCount);
// Writes the pieces at file's position; false as soon as one write fails.
bool WritePieces(FileHandle file, const FilePiece* pieces, int32_t pieceCount);

// The separator this platform puts between a directory and a name.
char PathSeparator();
// True for a character that ends a directory part of a path here.
bool IsPathSeparator(char c);

// The process-wide current directory: an absolute path, a bare subdirectory
// name or "..". Fails and leaves it unchanged for a missing, inaccessible or
// unready directory.
bool SetCurrentDir(const char* path);
// Writes the full path of the current directory into a buffer of
// kPathBufferSize bytes; false when it does not fit or cannot be taken.
bool GetCurrentDir(char* buffer);

struct DirEntry {
  char name[kPathBufferSize];
  bool isDirectory;
  // A symbolic link, junction or other reparse point: a walk that follows it
  // may come back to where it started.
  bool isLink;
};

// A directory listing in progress; opaque to callers.
struct DirListing;

// Starts listing a directory with the pattern "*.*" (the only one used), bare
// for the current directory or joined to a directory's path; "." and ".."
// are included and the order is the file system's.
// Returns nullptr when the directory cannot be listed.
DirListing* ListFirst(const char* pattern, DirEntry* entry);
bool ListNext(DirListing* listing, DirEntry* entry);
void ListClose(DirListing* listing);

// Whether the head of file (the bytes a scan reads first) is in the system's
// cache; when it is not, the system is asked to start reading it. Unknown for a file
// too short to tell: its bytes may be kept with its metadata, which came with
// the open. Where the platform cannot tell, Yes, and nothing is asked.
enum class HeadInCache { Yes, No, Unknown };
HeadInCache ReadAheadUnlessCached(FileHandle file);
// Lets go of what the file services keep for the calling thread (the
// directory it listed last); a thread that lists calls it before it ends.
void ReleaseThreadFileState();

// Bit 0 for drive A up to bit 25 for Z; 0 where the platform has no drives.
uint32_t LogicalDriveMask();
// root is a drive letter, a colon and a backslash.
bool IsRemovableDrive(const char* root);
// Fills a label buffer of kVolumeLabelSize bytes; false when the drive is
// not ready or has no volume information.
inline constexpr int kVolumeLabelSize = 28;
bool GetVolumeLabel(const char* root, char* label);

// Whether the process's standard error goes to a terminal (a console),
// where a line may be rewritten in place.
bool StandardErrorIsTerminal();

// A block for a short-lived store of many bytes, filled from its start. Where
// the platform backs it with large pages on request it does, so that filling
// it costs a fault for each large page rather than for each small one, which
// on a virtual machine is most of the cost of a fresh block. nullptr when
// memory is short; freed with FreeBulkBytes and the same size.
void* AllocateBulkBytes(size_t size);
void FreeBulkBytes(void* bytes, size_t size);
