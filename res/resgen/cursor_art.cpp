#include <string_view>

#include "res/resgen/artwork.h"
#include "res/resgen/pixel_art.h"

namespace {

using Art = std::vector<std::string_view>;

// An open hand, palm towards the viewer, for grabbing and dragging the
// picture; the hotspot lies in the palm.
const Art kOpenHand = {
    ".........kkk..........",
    "........kwwwkkkk......",
    ".....kkkkwwwkwwwk.....",
    "....kwwwkwwwkwwwk.....",
    "....kwwwkwwwkwwwkkkk..",
    "....kwwwkwwwkwwwkwwwk.",
    "....kwwwkwwwkwwwkwwwk.",
    "....kwwwkwwwkwwwkwwwk.",
    "....kwwwkwwwkwwwkwwwk.",
    "....kwwwkwwwkwwwkwwwk.",
    ".kk.kwwwkwwwkwwwkwwwk.",
    "kwwkkwwwwwwwwwwwwwwwk.",
    "kwwwkwwwwwwwwwwwwwwwk.",
    ".kwwwkwwwwwwwwwwwwwwk.",
    "..kwwwwwwwwwwwwwwwwwk.",
    "...kwwwwwwwwwwwwwwwwk.",
    "....kwwwwwwwwwwwwwwk..",
    ".....kwwwwwwwwwwwwwk..",
    ".....kwwwwwwwwwwwwk...",
    "......kwwwwwwwwwwwk...",
    "......kwwwwwwwwwwwk...",
    "......kkkkkkkkkkkkk...",
};

// A hand pointing up with the index finger; the hotspot is its tip.
const Art kPointingHand = {
    ".....kkk............",
    "....kwwwk...........",
    "....kwwwk...........",
    "....kwwwk...........",
    "....kwwwk...........",
    "....kwwwk...........",
    "....kwwwkkkk........",
    "....kwwwkwwwkkkk....",
    "....kwwwkwwwkwwwkkk.",
    "....kwwwkwwwkwwwkwwk",
    ".kk.kwwwkwwwkwwwkwwk",
    "kwwkkwwwwwwwwwwwwwwk",
    "kwwwkwwwwwwwwwwwwwwk",
    ".kwwwkwwwwwwwwwwwwwk",
    "..kwwwwwwwwwwwwwwwwk",
    "...kwwwwwwwwwwwwwwwk",
    "....kwwwwwwwwwwwwwk.",
    ".....kwwwwwwwwwwwwk.",
    ".....kwwwwwwwwwwwwk.",
    ".....kkkkkkkkkkkkkk.",
};

IconFileEntry Cursor(const Art& art, int hotspotX, int hotspotY) {
  MaskedImage hand = ParsePixelArt(art, MonochromeKey(), MonochromePalette());
  return IconFileEntry{PlaceArt(kCursorSize, kCursorSize, 0, 0, hand), 1, hotspotX, hotspotY};
}

}  // namespace

IconFileEntry MakeOpenHandCursor() {
  return Cursor(kOpenHand, kOpenHandHotspotX, kOpenHandHotspotY);
}

IconFileEntry MakeHandPointerCursor() {
  return Cursor(kPointingHand, kHandPointerHotspotX, kHandPointerHotspotY);
}
