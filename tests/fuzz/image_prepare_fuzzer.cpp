// libFuzzer target for the loader's preparation. The first byte picks the
// kind, the rest are the resource bytes, held in a heap block of exactly
// their size so that AddressSanitizer sees any read past them. Beyond that,
// for every image the loader calls usable, every byte GDI may be handed when
// the view or the Finder draws it lies inside the bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/image_loader.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/image/gdi_reads_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzResource resource = SplitFuzzResource(data, size);
  if (!resource.ok) return 0;
  ImageRecord record{resource.kind, 0, resource.size, 0, -1, "", ""};
  LoadedImage image;
  PrepareImage(resource.bytes.get(), &record, &image);
  if (image.data != resource.bytes.get() || image.dataSize != resource.size) {
    fprintf(stderr, "loader invariant broken: data and dataSize\n");
    __builtin_trap();
  }
  if (image.unusable) return 0;
  if (image.kind != resource.kind) {
    fprintf(stderr, "loader invariant broken: kind\n");
    __builtin_trap();
  }
  const char* outside = GdiReadsOutside(image, resource.bytes.get(), resource.size);
  if (outside != nullptr) {
    fprintf(stderr, "loader invariant broken: %s\n", outside);
    __builtin_trap();
  }
  return 0;
}
