#pragma once
// What the fuzz targets share: the one scratch file a target writes its
// inputs or outputs to, and the input layout of the image targets.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "scan/catalogue.h"

struct FuzzScratch {
  std::string directory;
  std::string path;  // directory/name
};

inline FuzzScratch& FuzzScratchStorage() {
  static FuzzScratch scratch;
  return scratch;
}

// A folder of the run's own, in memory where /dev/shm exists (a file on disk
// costs a write per input), holding the one file `name`; both are removed
// when the process ends. Made on the first call; later calls return it.
inline const FuzzScratch& FuzzScratchFile(const char* name) {
  FuzzScratch& scratch = FuzzScratchStorage();
  if (!scratch.path.empty()) return scratch;
  struct stat st;
  std::string base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/ravelin-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    perror("mkdtemp");
    abort();
  }
  scratch.directory = pattern;
  scratch.path = scratch.directory + "/" + name;
  atexit([] {
    unlink(FuzzScratchStorage().path.c_str());
    rmdir(FuzzScratchStorage().directory.c_str());
  });
  return scratch;
}

// Replaces the file's contents with the input's bytes; a run that cannot
// write its own scratch file stops.
inline void WriteFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) {
    perror("fopen");
    abort();
  }
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  if (fclose(f) != 0) abort();
}

// The image targets' input: one byte picks the kind (bitmap, icon, cursor),
// the rest is the resource, copied into a heap block of exactly its size.
struct FuzzResource {
  bool ok = false;
  ImageKind kind = ImageKind::Bitmap;
  int32_t size = 0;
  std::unique_ptr<uint8_t[]> bytes;
};

inline FuzzResource SplitFuzzResource(const uint8_t* data, size_t size) {
  FuzzResource r;
  if (size < 1 || size - 1 > 1u << 24) return r;
  r.kind = static_cast<ImageKind>(data[0] % 3 + 1);
  r.size = static_cast<int32_t>(size - 1);
  // new[] of 0 still gives a distinct block that may not be read.
  r.bytes.reset(new uint8_t[size - 1]);
  if (size > 1) memcpy(r.bytes.get(), data + 1, size - 1);
  r.ok = true;
  return r;
}

// The kind byte the seeds carry.
inline uint8_t FuzzKindByte(ImageKind kind) {
  return static_cast<uint8_t>(static_cast<int>(kind) - 1);
}
