// Writes starting inputs for the fuzz targets, one subfolder per input
// layout: scan/ the built sample executables, image/ resources (a kind byte,
// then the bytes, as the image targets read them), pcx/ logo pictures, png/
// whole PNG files (built ones, and those icons and cursors hold).
// Folders named after the first are scanned, and every image resource found
// in them becomes an image seed too.
//   ravelin_fuzz_seeds FOLDER [EXECUTABLES_FOLDER...]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/pcx_decoder.h"
#include "scan/catalogue.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/sample_fixtures.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr size_t kMaxSeedSize = 65536;
constexpr int kMaxResourcesPerFile = 60;

int written = 0;

bool Write(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    fprintf(stderr, "cannot write %s\n", file.string().c_str());
    return false;
  }
  ++written;
  return true;
}

bool WriteImage(const fs::path& folder, const std::string& name, ImageKind kind,
                const Bytes& bytes) {
  Bytes seed{FuzzKindByte(kind)};
  seed.insert(seed.end(), bytes.begin(), bytes.end());
  return Write(folder / name, seed);
}

// A compressed bitmap: header, colour table, then a stream of a few runs
// with no end code, so the decoder's bound is all there is.
Bytes RleBitmap(uint16_t bitCount, uint32_t sizeImage, bool withEnd) {
  const uint32_t compression = bitCount == 8 ? 1 : 2;
  Bytes b = MakeInfoHeader(16, 16, bitCount);
  Put32(b, 16, compression);
  const size_t colours = static_cast<size_t>(DibColours(bitCount));
  for (size_t i = 0; i < colours * 4; ++i) b.push_back(static_cast<uint8_t>(i * 5));
  const size_t streamAt = b.size();
  const uint8_t runs[] = {8, 1, 8, 2, 0, 3, 1, 2, 3, 0, 0, 0, 2, 1, 1, 16, 7};
  b.insert(b.end(), runs, runs + sizeof runs);
  if (withEnd) b.insert(b.end(), {0, 1});
  Put32(b, 20, sizeImage == 1 ? static_cast<uint32_t>(b.size() - streamAt) : sizeImage);
  return b;
}

bool WriteImageSeeds(const fs::path& folder) {
  struct Seed {
    const char* name;
    ImageKind kind;
    Bytes bytes;
  };
  std::vector<Seed> seeds = {
      {"bitmap-1", ImageKind::Bitmap, MakeBitmapData(17, 5, 1)},
      {"bitmap-4", ImageKind::Bitmap, MakeBitmapData(9, 3, 4)},
      {"bitmap-8-top-down", ImageKind::Bitmap, MakeBitmapData(5, -4, 8)},
      {"bitmap-24", ImageKind::Bitmap, MakeBitmapData(3, 3, 24)},
      {"bitmap-32", ImageKind::Bitmap, MakeBitmapData(2, 2, 32)},
      {"icon-4", ImageKind::Icon, MakeIconData(16, 16, 4)},
      {"icon-32", ImageKind::Icon, MakeIconData(4, 4, 32)},
      {"cursor-1", ImageKind::Cursor, MakeCursorData(3, 5, 32, 32, 1)},
      {"rle8-sized", ImageKind::Bitmap, RleBitmap(8, 1, true)},
      {"rle8-no-end-no-size", ImageKind::Bitmap, RleBitmap(8, 0, false)},
      {"rle4-no-end-large-size", ImageKind::Bitmap, RleBitmap(4, 4000, false)},
      {"rle8-icon", ImageKind::Icon, RleBitmap(8, 0, false)},
  };
  // 16-bit colour masks behind a plain header.
  Bytes fields = MakeBitmapData(3, 2, 16);
  Put32(fields, 16, 3);
  Bytes masks(12, 0);
  Put32(masks, 0, 0xF800);
  Put32(masks, 4, 0x07E0);
  Put32(masks, 8, 0x001F);
  fields.insert(fields.begin() + kInfoHeaderSize, masks.begin(), masks.end());
  seeds.push_back({"bitmap-16-bitfields", ImageKind::Bitmap, fields});
  // Icons that hold a PNG: only the export takes them.
  // Signature; IHDR of 16 x 16, 8 bits; its CRC (not checked); IEND.
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const uint8_t ihdr[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 16, 0, 0, 0, 16, 8, 6, 0, 0, 0};
  const uint8_t iend[] = {0, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0};
  png.insert(png.end(), ihdr, ihdr + sizeof ihdr);
  png.insert(png.end(), iend, iend + sizeof iend);
  seeds.push_back({"icon-png", ImageKind::Icon, png});
  // The other colour types: grey, RGB, palette, grey and alpha.
  const char* const kPngNames[] = {"icon-png-0", "icon-png-2", "icon-png-3", "icon-png-4"};
  const uint8_t kColourTypes[] = {0, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    png[25] = kColourTypes[i];
    seeds.push_back({kPngNames[i], ImageKind::Icon, png});
  }
  for (const Seed& s : seeds) {
    if (!WriteImage(folder, s.name, s.kind, s.bytes)) return false;
  }
  return true;
}

// A PNG image inside an icon or cursor resource, as the PNG target reads it.
void WritePngOf(const fs::path& folder, const std::string& name, ImageKind kind,
                const Bytes& bytes) {
  const size_t skip = kind == ImageKind::Cursor ? 4 : 0;
  const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (kind == ImageKind::Bitmap || bytes.size() < skip + sizeof signature) return;
  if (!std::equal(signature, signature + sizeof signature,
                  bytes.begin() + static_cast<long>(skip))) {
    return;
  }
  Write(folder / name, Bytes(bytes.begin() + static_cast<long>(skip), bytes.end()));
}

// Every image resource of an executable, as the scan finds it.
void WriteResourcesOf(const fs::path& folder, const fs::path& executable) {
  static Catalogue records;
  if (records.records == nullptr && !AllocateCatalogue(&records, kCatalogueCapacity)) return;
  records.count = 0;
  int32_t count = 0;
  const std::string dir = executable.parent_path().string();
  const std::string name = executable.filename().string();
  if (ScanFile(dir.c_str(), name.c_str(), &records, &count) != ScanStatus::Ok) {
    return;
  }
  std::ifstream in(executable, std::ios::binary);
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int taken = 0;
  for (int32_t i = 0; i < count && taken < kMaxResourcesPerFile; ++i) {
    const ImageRecord& r = records.records[i];
    if (r.size <= 0 || static_cast<size_t>(r.size) > kMaxSeedSize) continue;
    if (static_cast<size_t>(r.offset) + static_cast<size_t>(r.size) > file.size()) continue;
    Bytes bytes(file.begin() + r.offset, file.begin() + r.offset + r.size);
    WriteImage(folder, name + "-" + std::to_string(i), r.kind, bytes);
    WritePngOf(folder.parent_path() / "png", name + "-" + std::to_string(i), r.kind, bytes);
    ++taken;
  }
}

// Built PNG files of the shapes a decoder treats apart: one pixel, odd
// widths, rows of one colour, every alpha.
bool WritePngSeeds(const fs::path& folder) {
  const uint32_t sizes[][2] = {{1, 1}, {3, 2}, {16, 16}, {33, 7}};
  for (const auto& size : sizes) {
    const Bytes png = MakeRgbaPng(size[0], size[1], [](uint32_t x, uint32_t y) {
      return ((x * 37 + y * 11) & 0xFF) << 24 | (x * 0x010203u + y * 0x030201u);
    });
    if (!Write(folder / ("rgba-" + std::to_string(size[0]) + "x" + std::to_string(size[1])), png)) {
      return false;
    }
  }
  return true;
}

// A logo-sized picture: runs of 63 pixels (the longest a run byte holds)
// cycling through the palette, then single literals.
Bytes PcxLogo(bool cutShort) {
  Bytes b(128, 0);
  b[0] = 10;
  uint32_t pixels = 0;
  uint8_t index = 0;
  while (pixels + 63 <= kLogoPixelCount) {
    b.push_back(0xFF);
    b.push_back(index++);
    pixels += 63;
  }
  for (; pixels < kLogoPixelCount; ++pixels) b.push_back(static_cast<uint8_t>(pixels % 0xC0));
  if (cutShort) b.resize(b.size() - 20);
  for (int i = 0; i < 768; ++i) b.push_back(static_cast<uint8_t>(i * 3));
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: ravelin_fuzz_seeds FOLDER [EXECUTABLES_FOLDER...]\n");
    return 2;
  }
  const fs::path folder(argv[1]);
  std::error_code ec;
  for (const char* sub : {"scan", "image", "pcx", "png"}) fs::create_directories(folder / sub, ec);
  for (const SampleExecutable& s : SampleExecutables()) {
    if (!Write(folder / "scan" / s.name, s.bytes)) return 1;
    WriteResourcesOf(folder / "image", folder / "scan" / s.name);
  }
  if (!WriteImageSeeds(folder / "image") || !WritePngSeeds(folder / "png")) return 1;
  if (!Write(folder / "pcx" / "logo", PcxLogo(false)) ||
      !Write(folder / "pcx" / "logo-cut", PcxLogo(true))) {
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    for (const fs::directory_entry& e : fs::directory_iterator(argv[i], ec)) {
      if (e.is_regular_file()) WriteResourcesOf(folder / "image", e.path());
    }
  }
  printf("%d seeds in %s\n", written, folder.string().c_str());
  return 0;
}
