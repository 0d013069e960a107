// Full Finder paints of PNG thumbnails: the PNG icons of Wine's own DLLs
// (Z:\usr\lib\x86_64-linux-gnu\wine\x86_64-windows, or the folder given),
// a client of about 300 x 700 full of them. First the page painted into
// memory in one call, as a copy is made: it loads, decodes, blends and
// reduces every visible icon; later ones draw the thumbnails the Finder
// keeps. Then a fresh Finder with nothing decoded shows the page through its
// own messages: the longest message is the longest time the window does not
// answer, and the finished window must equal the page painted at once. Then
// the same images loaded again through the loader alone, and blended, and
// the folder's classic icons for comparison. Prints milliseconds.
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

double Ms(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double PaintMs(HWND finder, HDC dc, const RECT& all) {
  const auto start = Clock::now();
  PaintFinder(finder, dc, all);
  return Ms(start);
}

// A Finder of its own, with nothing kept, whose client matches like's.
HWND FreshFinder(HWND like, int32_t count) {
  RECT window{};
  GetWindowRect(like, &window);
  HWND finder = CreateWindowExA(0, kFinderClassName, "Finder", WS_OVERLAPPEDWINDOW, 0, 0,
                                window.right - window.left, window.bottom - window.top,
                                mainState.window, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (finder == nullptr) return nullptr;
  RefreshFinder(finder, mainState.catalogue.records.get(), count, mainState.window);
  return finder;
}

struct Steps {
  int count = 0;
  double longest = 0;
  double total = 0;
};

// Shows finder and serves its messages until nothing is left to paint,
// timing each.
Steps ShowInSteps(HWND finder) {
  Steps steps;
  const auto start = Clock::now();
  ShowWindow(finder, SW_SHOWNOACTIVATE);
  InvalidateRect(finder, nullptr, TRUE);
  MSG message{};
  for (;;) {
    const auto from = Clock::now();
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (GetUpdateRect(finder, nullptr, FALSE)) {
      UpdateWindow(finder);
    } else {
      break;
    }
    const double ms = Ms(from);
    ++steps.count;
    if (ms > steps.longest) steps.longest = ms;
  }
  steps.total = Ms(start);
  return steps;
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
    if (!LoadImageRecord(mainState.imageCache, &record, &image, &large) || image.unusable ||
        image.png != png)
      continue;
    records[kept++] = records[i];
  }
  ReleaseLargeBuffer(mainState.imageCache, &large);
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
  InitImageLoader(mainState.imageCache);  // nothing decoded yet
  const int32_t count = Keep(png);
  InitImageLoader(mainState.imageCache);
  mainState.catalogue.count = count;
  HWND once = FreshFinder(mainState.finder, count);
  RECT client{};
  GetClientRect(once, &client);

  MemoryCanvas canvas(client.right, client.bottom);
  FillRect(canvas.dc(), &client, GetSysColorBrush(COLOR_APPWORKSPACE));
  const double first = PaintMs(once, canvas.dc(), client);
  constexpr int kRounds = 20;
  double again = 0;
  for (int i = 0; i < kRounds; ++i) again += PaintMs(once, canvas.dc(), client);
  DestroyWindow(once);

  InitImageLoader(mainState.imageCache);
  HWND stepped = FreshFinder(mainState.finder, count);
  const Steps steps = ShowInSteps(stepped);
  MemoryCanvas onScreen(client.right, client.bottom);
  onScreen.CopyFrom(stepped);
  long differ = 0;
  for (long i = 0; i < static_cast<long>(client.right) * client.bottom; ++i) {
    differ += onScreen.bits()[i] != canvas.bits()[i];
  }
  DestroyWindow(stepped);
  printf(
      "  the window's own paints: %d messages, longest %.1f ms, page finished after %.1f ms; "
      "%ld pixels differ from the page painted at once\n",
      steps.count, steps.longest, steps.total, differ);
  // Pixels the paints drew, so that a paint that drew nothing shows.
  long drawn = 0;
  const uint32_t background = GetSysColor(COLOR_APPWORKSPACE);
  const uint32_t backgroundPixel =
      (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
  for (long i = 0; i < static_cast<long>(client.right) * client.bottom; ++i) {
    drawn += canvas.bits()[i] != backgroundPixel;
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
    const bool loaded =
        LoadImageRecord(mainState.imageCache, &mainState.catalogue.records[i], &image, &large);
    loads += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    start = Clock::now();
    if (loaded && image.alpha) CompositeOver(image, 0, 0, 0, &pixels);
    blends += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  ReleaseLargeBuffer(mainState.imageCache, &large);
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
      "%s icons: %d found, %d in %ldx%ld client, %ld pixels drawn; painted at once: first %.1f "
      "ms, then %.1f ms a paint\n",
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
