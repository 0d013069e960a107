#pragma once
#include <cstdint>
#include <string>

#include "scan/catalogue.h"

// The moves a key or the navigation bar can ask for.
enum class NavigationMove { None, Back, Forward, PageBack, PageForward, First, Last, To };

inline constexpr int32_t kNavigationPage = 10;

// The entry a move aims at, before clamping; position is used by To.
int32_t NavigationTarget(NavigationMove move, int32_t current, int32_t count, int32_t position);

// Below 0 gives 0, above count - 1 gives count - 1 (count > 0).
int32_t ClampIndex(int32_t index, int32_t count);

// "Ravelin 1.5 - [C:\APPS\tool.exe]", without a doubled separator when the
// directory already ends in one.
std::string EntryTitle(const char* programTitle, const char* directory, const char* fileName,
                       char separator);

// "3 of 120" for the third of 120 entries; with hidden 0 or more (while
// duplicates are hidden), "3 of 120 (45 hidden)".
std::string PositionText(int32_t currentIndex, int32_t count, int32_t hidden = -1);

// "Icon: 32x32, 16 colors"; "Icon: 256x256, PNG" for an image stored as PNG,
// whose depth says nothing of how it was stored.
std::string DescriptionText(ImageKind kind, int32_t width, int32_t height, uint32_t bitCount,
                            bool png = false);

// Which status texts fit a client width; the left one is dropped first and
// neither is ever cut.
struct StatusTextFit {
  bool showRight;
  bool showLeft;
};
StatusTextFit FitStatusTexts(int clientWidth, int rightWidth, int leftWidth, bool haveLeft);
