#include "shell/navigation.h"

int32_t NavigationTarget(NavigationMove move, int32_t current, int32_t count, int32_t position) {
  // Wide sums: a target far outside the catalogue only clamps, never wraps.
  int64_t target = current;
  switch (move) {
    case NavigationMove::None:
      break;
    case NavigationMove::Back:
      target = int64_t{current} - 1;
      break;
    case NavigationMove::Forward:
      target = int64_t{current} + 1;
      break;
    case NavigationMove::PageBack:
      target = int64_t{current} - kNavigationPage;
      break;
    case NavigationMove::PageForward:
      target = int64_t{current} + kNavigationPage;
      break;
    case NavigationMove::First:
      target = 0;
      break;
    case NavigationMove::Last:
      target = int64_t{count} - 1;
      break;
    case NavigationMove::To:
      target = position;
      break;
  }
  if (target < INT32_MIN) return INT32_MIN;
  if (target > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(target);
}

int32_t ClampIndex(int32_t index, int32_t count) {
  if (index > count - 1) index = count - 1;
  if (index < 0) index = 0;
  return index;
}

std::string EntryTitle(const char* programTitle, const char* directory, const char* fileName,
                       char separator) {
  std::string title = std::string(programTitle) + " - [" + directory;
  if (title.back() != separator) title += separator;
  return title + fileName + "]";
}

std::string PositionText(int32_t currentIndex, int32_t count, int32_t hidden) {
  std::string text = std::to_string(int64_t{currentIndex} + 1) + " of " + std::to_string(count);
  if (hidden >= 0) text += " (" + std::to_string(hidden) + " hidden)";
  return text;
}

std::string DescriptionText(ImageKind kind, int32_t width, int32_t height, uint32_t bitCount,
                            bool png) {
  const char* kindWord = "Bitmap: ";
  if (kind == ImageKind::Icon) kindWord = "Icon: ";
  if (kind == ImageKind::Cursor) kindWord = "Cursor: ";
  const char* depth = "?";
  switch (bitCount) {
    case 1:
      depth = "monochrome";
      break;
    case 4:
      depth = "16 colors";
      break;
    case 8:
      depth = "256 colors";
      break;
    case 16:
      depth = "high-color";
      break;
    case 24:
    case 32:
      depth = "true-color";
      break;
    default:
      break;
  }
  if (png) depth = "PNG";
  return kindWord + std::to_string(width) + "x" + std::to_string(height) + ", " + depth;
}

StatusTextFit FitStatusTexts(int clientWidth, int rightWidth, int leftWidth, bool haveLeft) {
  StatusTextFit fit;
  fit.showRight = rightWidth < clientWidth;
  fit.showLeft = haveLeft && int64_t{rightWidth} + leftWidth < clientWidth;
  return fit;
}
