// Hostile variants of the icons, cursors and bitmaps of the system's own
// DLLs, each painted in the view at zoom 1, 2 and 15 and as a Finder
// thumbnail, with its bytes ending right before an inaccessible page: the
// program must survive every one, and no read may touch that page (a
// first-chance fault there fails the case even when GDI would catch it; the
// page is then made readable so the sweep goes on and lists every case).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "image/image_loader.h"
#include "scan/catalogue.h"
#include "scan/file_services.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "shell/view_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "tests/image/gdi_reads_check.h"
#include "tests/support/guarded_bytes_win32.h"
#include "tests/support/put_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char kSystem32[] = "C:\\windows\\system32";
const char* const kDlls[] = {"user32.dll",   "shell32.dll",  "comctl32.dll", "comdlg32.dll",
                             "explorer.exe", "winemine.exe", "taskmgr.exe",  "regedit.exe"};
// Real images taken per kind, bit count and compression.
constexpr int kPerSignature = 2;
constexpr int32_t kMaxBaseSize = 40000;

// What the fault handler reports against.
const GuardedBytes* currentBytes = nullptr;
const char* currentCase = "";
int guardFaults = 0;

LONG CALLBACK OnFault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* e = info->ExceptionRecord;
  if (e->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && e->NumberParameters >= 2 &&
      currentBytes != nullptr && currentBytes->InGuard(e->ExceptionInformation[1])) {
    ++guardFaults;
    fprintf(stderr, "read past the bytes while drawing: %s\n", currentCase);
    // The read is counted; it goes on over zeros so the sweep can finish.
    currentBytes->Lift();
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

struct Base {
  std::string name;
  ImageKind kind;
  Bytes bytes;
};

std::vector<Base> RealImages() {
  std::vector<Base> bases;
  std::map<std::string, int> taken;
  Catalogue records;
  if (!AllocateCatalogue(&records, kCatalogueCapacity)) return bases;
  for (const char* dll : kDlls) {
    int32_t count = 0;
    records.count = 0;
    if (ScanFile(kSystem32, dll, &records, &count) != ScanStatus::Ok) {
      continue;
    }
    // Read through the scan's own file services: a 32-bit process would
    // otherwise be shown syswow64's file where the scan saw system32's.
    Bytes file;
    FileHandle handle = OpenInDirectory(kSystem32, dll);
    if (handle == kInvalidFile) continue;
    const int64_t length = GetFileLength(handle);
    if (length > 0 && length < (int64_t{1} << 30)) {
      file.resize(static_cast<size_t>(length));
      if (ReadBytesAt(handle, 0, file.data(), static_cast<int32_t>(length)) != length) file.clear();
    }
    CloseFile(handle);
    for (int32_t i = 0; i < count; ++i) {
      const ImageRecord& r = records.records[i];
      const size_t h = r.kind == ImageKind::Cursor ? 4 : 0;
      if (r.size > kMaxBaseSize || static_cast<size_t>(r.size) < h + 40 ||
          static_cast<size_t>(r.offset) + static_cast<size_t>(r.size) > file.size()) {
        continue;
      }
      Bytes bytes(file.begin() + r.offset, file.begin() + r.offset + r.size);
      if (Get32(bytes, h) != 40) continue;  // a PNG entry, or a header of another size
      const std::string signature = std::to_string(static_cast<int>(r.kind)) + "/" +
                                    std::to_string(bytes[h + 14]) + "/" +
                                    std::to_string(Get32(bytes, h + 16));
      if (taken[signature]++ >= kPerSignature) continue;
      bases.push_back({std::string(dll) + "#" + std::to_string(i), r.kind, std::move(bytes)});
    }
  }
  return bases;
}

// Where the pixels start for the header as it now stands.
size_t BitsAt(const Bytes& b, size_t h) {
  const uint32_t bitCount = b[h + 14];
  const uint32_t clrUsed = Get32(b, h + 32);
  const uint32_t colours = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? 1u << bitCount : 0);
  return h + Get32(b, h) + 4 * static_cast<size_t>(colours);
}

// Turns the image into bitCount-bit RLE whose stream never ends: runs of 5
// pixels, then, at the very end, the start of an escape the bytes cut.
void MakeRle(Bytes& b, size_t h, uint16_t bitCount, uint32_t sizeImage, uint8_t lastEscape) {
  Put16(b, h + 14, bitCount);
  Put32(b, h + 16, bitCount == 8 ? 1 : 2);
  Put32(b, h + 32, 0);
  const size_t at = BitsAt(b, h);
  if (at + 2 > b.size()) b.resize(at + 64);
  for (size_t i = at; i + 1 < b.size(); i += 2) {
    b[i] = 5;
    b[i + 1] = 7;
  }
  b[b.size() - 2] = 0;
  b[b.size() - 1] = lastEscape;
  Put32(b, h + 20, sizeImage == 1 ? static_cast<uint32_t>(b.size() - at) : sizeImage);
}

int64_t MaskBytes(const Bytes& b, size_t h) {
  const int64_t width = static_cast<int32_t>(Get32(b, h + 4));
  int64_t height = static_cast<int32_t>(Get32(b, h + 8));
  if (height < 0) height = -height;
  return (width + 31) / 32 * 4 * (height / 2);
}

void Resize(Bytes& b, int64_t size, size_t h) {
  if (size < static_cast<int64_t>(h + 40)) size = static_cast<int64_t>(h + 40);
  if (size < static_cast<int64_t>(b.size())) b.resize(static_cast<size_t>(size));
}

struct Hostile {
  const char* what;
  void (*apply)(Bytes& b, size_t h);
};

// clang-format off
const Hostile kHostile[] = {
    {"unchanged", [](Bytes&, size_t) {}},
    {"cut to the header", [](Bytes& b, size_t h) { Resize(b, 0, h); }},
    {"cut in the colour table", [](Bytes& b, size_t h) { Resize(b, static_cast<int64_t>(h) + 46, h); }},
    {"cut in half", [](Bytes& b, size_t h) { Resize(b, static_cast<int64_t>(b.size()) / 2, h); }},
    {"last byte cut", [](Bytes& b, size_t h) { Resize(b, static_cast<int64_t>(b.size()) - 1, h); }},
    {"half the mask cut", [](Bytes& b, size_t h) {
       Resize(b, static_cast<int64_t>(b.size()) - MaskBytes(b, h) / 2, h); }},
    {"whole mask cut", [](Bytes& b, size_t h) {
       Resize(b, static_cast<int64_t>(b.size()) - MaskBytes(b, h), h); }},
    {"mask and a pixel row cut", [](Bytes& b, size_t h) {
       Resize(b, static_cast<int64_t>(b.size()) - MaskBytes(b, h) - 1, h); }},
    {"1 bit", [](Bytes& b, size_t h) { Put16(b, h + 14, 1); }},
    {"4 bits", [](Bytes& b, size_t h) { Put16(b, h + 14, 4); }},
    {"8 bits", [](Bytes& b, size_t h) { Put16(b, h + 14, 8); }},
    {"16 bits", [](Bytes& b, size_t h) { Put16(b, h + 14, 16); }},
    {"24 bits", [](Bytes& b, size_t h) { Put16(b, h + 14, 24); }},
    {"32 bits", [](Bytes& b, size_t h) { Put16(b, h + 14, 32); }},
    {"width doubled", [](Bytes& b, size_t h) { Put32(b, h + 4, Get32(b, h + 4) * 2); }},
    {"width plus one", [](Bytes& b, size_t h) { Put32(b, h + 4, Get32(b, h + 4) + 1); }},
    {"width huge", [](Bytes& b, size_t h) { Put32(b, h + 4, 0x7FFFFFFF); }},
    {"width negative", [](Bytes& b, size_t h) { Put32(b, h + 4, 0xFFFFFFF0); }},
    {"height doubled", [](Bytes& b, size_t h) { Put32(b, h + 8, Get32(b, h + 8) * 2); }},
    {"height plus two", [](Bytes& b, size_t h) { Put32(b, h + 8, Get32(b, h + 8) + 2); }},
    {"height negated", [](Bytes& b, size_t h) { Put32(b, h + 8, 0u - Get32(b, h + 8)); }},
    {"height halved", [](Bytes& b, size_t h) { Put32(b, h + 8, Get32(b, h + 8) / 2); }},
    {"height lowest", [](Bytes& b, size_t h) { Put32(b, h + 8, 0x80000000); }},
    {"biSizeImage 0", [](Bytes& b, size_t h) { Put32(b, h + 20, 0); }},
    {"biSizeImage 1", [](Bytes& b, size_t h) { Put32(b, h + 20, 1); }},
    {"biSizeImage huge", [](Bytes& b, size_t h) { Put32(b, h + 20, 0x7FFFFFF0); }},
    {"biClrUsed 1", [](Bytes& b, size_t h) { Put32(b, h + 32, 1); }},
    {"biClrUsed 300", [](Bytes& b, size_t h) { Put32(b, h + 32, 300); }},
    {"biClrUsed huge", [](Bytes& b, size_t h) { Put32(b, h + 32, 0x40000000); }},
    {"biSize 44", [](Bytes& b, size_t h) { Put32(b, h, 44); }},
    {"biSize 124", [](Bytes& b, size_t h) { Put32(b, h, 124); }},
    {"biSize 12", [](Bytes& b, size_t h) { Put32(b, h, 12); }},
    {"bitfields", [](Bytes& b, size_t h) { Put32(b, h + 16, 3); }},
    {"bitfields, biSize 44", [](Bytes& b, size_t h) { Put32(b, h + 16, 3); Put32(b, h, 44); }},
    {"alpha bitfields", [](Bytes& b, size_t h) { Put32(b, h + 16, 6); }},
    {"JPEG", [](Bytes& b, size_t h) { Put32(b, h + 16, 4); }},
    {"JPEG, biSizeImage 0", [](Bytes& b, size_t h) { Put32(b, h + 16, 4); Put32(b, h + 20, 0); }},
    {"PNG, biSizeImage huge", [](Bytes& b, size_t h) { Put32(b, h + 16, 5); Put32(b, h + 20, 0x10000000); }},
    {"compression 9", [](Bytes& b, size_t h) { Put32(b, h + 16, 9); Put32(b, h + 20, 0); }},
    {"RLE8 unended, biSizeImage 0", [](Bytes& b, size_t h) { MakeRle(b, h, 8, 0, 0xFF); }},
    {"RLE8 unended, biSizeImage exact", [](Bytes& b, size_t h) { MakeRle(b, h, 8, 1, 0xFF); }},
    {"RLE8 unended, biSizeImage huge", [](Bytes& b, size_t h) { MakeRle(b, h, 8, 0x7FFFFF00, 2); }},
    {"RLE8 delta at the end", [](Bytes& b, size_t h) { MakeRle(b, h, 8, 1, 2); }},
    {"RLE4 unended, biSizeImage 0", [](Bytes& b, size_t h) { MakeRle(b, h, 4, 0, 0xFF); }},
    {"RLE4 unended, biSizeImage exact", [](Bytes& b, size_t h) { MakeRle(b, h, 4, 1, 0xFF); }},
    {"RLE4 unended, biSizeImage 2", [](Bytes& b, size_t h) { MakeRle(b, h, 4, 2, 3); }},
    {"RLE8 cut to one byte of stream", [](Bytes& b, size_t h) {
       MakeRle(b, h, 8, 0, 0xFF); Resize(b, static_cast<int64_t>(BitsAt(b, h)) + 1, h); }},
};
// clang-format on

class DrawSweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HACCEL accelerators = nullptr;
    ASSERT_TRUE(StartRavelin(GetModuleHandleA(nullptr), &accelerators));
    PumpMessages();
  }

  // The view at zoom 1, 2 and 15, each painted by the window itself.
  void PaintInView(const LoadedImage& image) {
    HWND view = mainState.view;
    ShowImage(view, &image);
    for (int32_t step : {-20, 1, 20}) {
      ZoomBy(view, step);
      InvalidateRect(view, nullptr, FALSE);
      UpdateWindow(view);
    }
    ShowImage(view, nullptr);
    UpdateWindow(view);
  }

  // A thumbnail from the loader's own cache: the slot holds the guarded
  // bytes (or, past the slots' size, they are lent as the image on show
  // lends its large block), so the Finder prepares and draws them where they
  // lie. image is what the view was shown of the same bytes.
  bool PaintInFinder(const uint8_t* data, ImageKind kind, const LoadedImage& image, int32_t size,
                     int32_t sequence) {
    ImageRecord record{kind, 0, size, sequence, 0, "C:\\nowhere", "none.dll"};
    ImageCache& cache = mainState.imageCache;
    CacheSlot* slot = nullptr;
    if (size <= kMediumSlotSize) {
      slot = size <= kSmallSlotSize ? &cache.smallSlots[0] : &cache.mediumSlots[0];
      *slot =
          CacheSlot{true, sequence, cache.useClock, const_cast<uint8_t*>(data), nullptr, 0, false};
    } else {
      LendLargeRecord(cache, record, image);
    }
    RefreshFinder(mainState.finder, &record, 1, mainState.window);
    HDC screen = GetDC(mainState.finder);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 100);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT all{0, 0, 100, 100};
    const uint32_t clock = cache.useClock;
    PaintFinder(mainState.finder, memory, all);
    // The record's file does not exist: a large thumbnail loads only from
    // the lent bytes, which the same load still finds after the paint.
    bool fromCache = false;
    if (slot != nullptr) {
      fromCache = cache.useClock == clock + 1 && slot->lastUse == clock + 1;
    } else {
      LoadedImage again;
      uint8_t* unused = nullptr;
      fromCache = LoadImageRecord(cache, &record, &again, &unused) && again.data == data;
      ReleaseLargeBuffer(cache, &unused);
    }
    UpdateWindow(mainState.finder);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(mainState.finder, screen);
    RefreshFinder(mainState.finder, nullptr, 0, mainState.window);
    if (slot != nullptr) slot->inUse = false;
    LendLargeRecord(cache, ImageRecord{}, LoadedImage{});
    return fromCache;
  }
};

TEST_F(DrawSweep, HostileVariantsOfRealImagesDrawInsideTheirBytes) {
  const std::vector<Base> bases = RealImages();
  ASSERT_GE(bases.size(), 6u) << "too few images in " << kSystem32;
  int kinds[4] = {};
  for (const Base& b : bases) ++kinds[static_cast<int>(b.kind)];
  EXPECT_GT(kinds[1], 0);
  EXPECT_GT(kinds[2], 0);
  EXPECT_GT(kinds[3], 0);

  void* handler = AddVectoredExceptionHandler(1, OnFault);
  ASSERT_NE(handler, nullptr);
  ShowWindow(mainState.finder, SW_SHOWNOACTIVATE);
  int variants = 0;
  int usable = 0;
  int thumbnails = 0;
  int32_t sequence = 1 << 24;
  for (const Base& base : bases) {
    const size_t h = base.kind == ImageKind::Cursor ? 4 : 0;
    for (const Hostile& hostile : kHostile) {
      Bytes bytes = base.bytes;
      hostile.apply(bytes, h);
      const std::string what = base.name + ": " + hostile.what;
      SCOPED_TRACE(what);
      GuardedBytes guarded(bytes);
      currentBytes = &guarded;
      currentCase = what.c_str();
      const int faultsBefore = guardFaults;

      ImageRecord record{base.kind, 0, static_cast<int32_t>(bytes.size()), ++sequence, 0, "", ""};
      LoadedImage image;
      PrepareImage(guarded.data(), &record, &image);
      const char* outside =
          GdiReadsOutside(image, guarded.data(), static_cast<int64_t>(bytes.size()));
      EXPECT_EQ(outside, nullptr) << outside;
      usable += image.unusable ? 0 : 1;
      PaintInView(image);
      thumbnails +=
          PaintInFinder(guarded.data(), base.kind, image, record.size, ++sequence) ? 1 : 0;
      PumpMessages();

      EXPECT_EQ(guardFaults, faultsBefore) << "a read reached the guard page";
      currentBytes = nullptr;
      ++variants;
    }
  }
  RemoveVectoredExceptionHandler(handler);
  InitImageLoader(mainState.imageCache);
  printf("%d variants of %zu real images, %d usable, %d drawn as thumbnails\n", variants,
         bases.size(), usable, thumbnails);
  // Both outcomes, and the Finder's own path, were exercised.
  EXPECT_GT(usable, variants / 4);
  EXPECT_LT(usable, variants);
  EXPECT_GT(thumbnails, variants / 2);
}

}  // namespace
