// Full Finder paints of PNG thumbnails: the PNG icons of Wine's own DLLs
// (Z:\usr\lib\x86_64-linux-gnu\wine\x86_64-windows, or the folder given),
// a client of about 300 x 700 full of them, painted into memory. The first
// paint loads, decodes, blends and reduces every visible icon; later ones
// draw the thumbnails the Finder keeps. Then the same images loaded again
// through the loader alone, and blended, and the folder's classic icons for
// comparison. Prints milliseconds.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "image/image_loader.h"
#include "image/image_pixels.h"
#include "scan/catalogue.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "support/memory_canvas_win32.h"

namespace {

using Clock = std::chrono::steady_clock;

std::deque<std::string> names;

double PaintMs(HDC dc, const RECT& all) {
  const auto start = Clock::now();
  PaintFinder(mainState.finder, dc, all);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Keeps the first entries of the catalogue that are icons holding a PNG
// (png true) or classic icons (png false).
int32_t Keep(bool png) {
  int32_t kept = 0;
  uint8_t* large = nullptr;
  ImageRecord* records = mainState.catalogue.records.get();
  for (int32_t i = 0; i < mainState.catalogue.count; ++i) {
    ImageRecord record = records[i];
    if (record.kind != ImageKind::Icon) continue;
    LoadedImage image;
    if (!LoadImageRecord(&record, &image, &large) || image.unusable || image.png != png) continue;
    records[kept++] = records[i];
  }
  ReleaseLargeBuffer(&large);
  return kept;
}

void Measure(const char* folder, bool png) {
  // Sized while empty, so that no paint runs before the timed ones.
  RefreshFinder(mainState.finder, mainState.catalogue.records.get(), 0, mainState.window);
  RECT window{};
  GetWindowRect(mainState.finder, &window);
  RECT before{};
  GetClientRect(mainState.finder, &before);
  SetWindowPos(mainState.finder, nullptr, 0, 0, window.right - window.left + 300 - before.right,
               window.bottom - window.top + 700 - before.bottom, SWP_NOMOVE | SWP_NOZORDER);
  PumpMessages();
  mainState.catalogue.count = 0;
  WIN32_FIND_DATAA found{};
  const std::string pattern = std::string(folder) + "\\*.dll";
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  names.emplace_back(folder);
  const char* directory = names.back().c_str();
  do {
    names.emplace_back(found.cFileName);
    AddFileToCatalogue(&mainState.catalogue, directory, names.back().c_str());
  } while (FindNextFileA(find, &found));
  FindClose(find);
  InitImageLoader();  // nothing decoded yet
  const int32_t count = Keep(png);
  InitImageLoader();
  mainState.catalogue.count = count;
  RefreshFinder(mainState.finder, mainState.catalogue.records.get(), count, mainState.window);
  RECT client{};
  GetClientRect(mainState.finder, &client);

  MemoryCanvas canvas(client.right, client.bottom);
  const double first = PaintMs(canvas.dc(), client);
  constexpr int kRounds = 20;
  double again = 0;
  for (int i = 0; i < kRounds; ++i) again += PaintMs(canvas.dc(), client);
  // Pixels the paints drew, so that a paint that drew nothing shows.
  long drawn = 0;
  for (long i = 0; i < static_cast<long>(client.right) * client.bottom; ++i) {
    drawn += canvas.bits()[i] != 0;
  }
  const int32_t cells = (client.right / 50) * (client.bottom / 50);
  const int32_t shown = count < cells ? count : cells;
  // Where a paint's time goes: loading, and blending (each image right
  // after its load: a large one lives in the buffer until the next).
  uint8_t* large = nullptr;
  double loads = 0;
  double blends = 0;
  std::vector<uint8_t> pixels;
  for (int32_t i = 0; i < shown; ++i) {
    LoadedImage image;
    auto start = Clock::now();
    const bool loaded = LoadImageRecord(&mainState.catalogue.records[i], &image, &large);
    loads += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    start = Clock::now();
    if (loaded && image.alpha) CompositeOver(image, 0, 0, 0, &pixels);
    blends += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  ReleaseLargeBuffer(&large);
  auto start = Clock::now();
  for (int32_t i = 0; i < shown; ++i) {
    FileHandle f = OpenInDirectory(mainState.catalogue.records[i].directory,
                                   mainState.catalogue.records[i].fileName);
    std::vector<uint8_t> b(static_cast<size_t>(mainState.catalogue.records[i].size));
    ReadBytesAt(f, mainState.catalogue.records[i].offset, b.data(),
                mainState.catalogue.records[i].size);
    CloseFile(f);
  }
  printf("  their files opened, read and closed alone %.1f ms\n",
         std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  printf("  the same images through the loader again %.1f ms, blended %.1f ms (not drawn)\n", loads,
         blends);
  printf(
      "%s icons: %d found, %d in %ldx%ld client, %ld pixels drawn; first full paint %.1f ms, "
      "then %.1f ms a paint\n",
      png ? "PNG" : "classic", count, shown, client.right, client.bottom, drawn, first,
      again / kRounds);
}

}  // namespace

int main(int argc, char** argv) {
  const char* folder = argc > 1 ? argv[1] : "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
  HACCEL accelerators = nullptr;
  if (!StartRavelin(GetModuleHandleA(nullptr), &accelerators)) return 1;
  PumpMessages();
  Measure(folder, true);
  Measure(folder, false);
  return 0;
}
