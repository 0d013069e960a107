#include <stdexcept>
#include <string>
#include <string_view>

#include "res/resgen/artwork.h"
#include "res/resgen/pixel_art.h"

namespace {

using Art = std::vector<std::string_view>;

// Letters as in VgaKey; '.' is the silver that becomes the button face.
const Art kToolbarArt[kToolbarImageCount] = {
    // Open executable files: an open folder.
    {
        "....................",
        "....................",
        "....................",
        "....................",
        "..kkkkkk............",
        ".kYwwwwYk...........",
        ".kwYYYYYYkkkkkkkk...",
        ".kwYYYYYYYYYYYYYk...",
        ".kwYYYYYYYYYYYYYk...",
        ".kwYYYkkkkkkkkkkkkkk",
        ".kwYYkwYYYYYYYYYYYk.",
        ".kwYkwYYYYYYYYYYYok.",
        ".kwkwYYYYYYYYYYYok..",
        ".kkwYYYYYYYYYYYok...",
        ".kwYYYYYYYYYYYok....",
        ".kkkkkkkkkkkkkk.....",
        "....................",
        "....................",
        "....................",
        "....................",
    },
    // Open directory: a folder tree.
    {
        "....................",
        "..kkkk..............",
        ".kYYYYkkkkk.........",
        ".kwwwwwwwwk.........",
        ".kYYYYYYYok.........",
        ".kYYYYYYYok.........",
        ".kkkkkkkkkk.........",
        "...d.....kkkk.......",
        "...d....kYYYYkkkkk..",
        "...d....kwwwwwwwwk..",
        "...dddddkYYYYYYYok..",
        "...d....kYYYYYYYok..",
        "...d....kkkkkkkkkk..",
        "...d.....kkkk.......",
        "...d....kYYYYkkkkk..",
        "...d....kwwwwwwwwk..",
        "...dddddkYYYYYYYok..",
        "........kYYYYYYYok..",
        "........kkkkkkkkkk..",
        "....................",
    },
    // Save: a diskette.
    {
        "....................",
        "....................",
        "..kkkkkkkkkkkkkkkk..",
        "..knkwwwwwwwwwwknk..",
        "..knkwwwwwwwwwwknk..",
        "..knkwBBBBBBBBwknk..",
        "..knkwwwwwwwwwwknk..",
        "..knkwBBBBBBBBwknk..",
        "..knkwwwwwwwwwwknk..",
        "..knnkkkkkkkkkknnk..",
        "..knnnnnnnnnnnnnnk..",
        "..knnnddddddddnnnk..",
        "..knnndkkdddddnnnk..",
        "..knnndkkdddddnnnk..",
        "..knnndkkdddddnnnk..",
        "..knnnddddddddnnnk..",
        "...kkkkkkkkkkkkkkk..",
        "....................",
        "....................",
        "....................",
    },
    // Finder: a window of thumbnails.
    {
        "....................",
        "....................",
        ".kkkkkkkkkkkkkkkkkk.",
        ".knnnnnnnnnnnnnwnwk.",
        ".kkkkkkkkkkkkkkkkkk.",
        ".kwwwwwwwwwwwwwwwwk.",
        ".kwCCCCwYYYYwMMMMwk.",
        ".kwCYYCwYRRYwMwwMwk.",
        ".kwCYYCwYRRYwMwwMwk.",
        ".kwGGGGwYYYYwMMMMwk.",
        ".kwwwwwwwwwwwwwwwwk.",
        ".kwBBBBwkkkkwGGGGwk.",
        ".kwBwwBwkRRkwGttGwk.",
        ".kwBwwBwkRRkwGttGwk.",
        ".kwBBBBwkkkkwGGGGwk.",
        ".kwwwwwwwwwwwwwwwwk.",
        ".kkkkkkkkkkkkkkkkkk.",
        "....................",
        "....................",
        "....................",
    },
    // Zoom in: a magnifying glass with a plus.
    {
        "....................",
        "......kkkkk.........",
        "....kkdwwwdkk.......",
        "...kdwwwwwwwdk......",
        "...kwwwwkwwwwk......",
        "..kdwwwwkwwwwdk.....",
        "..kwwwwwkwwwwwk.....",
        "..kwwkkkkkkkwwk.....",
        "..kwwwwwkwwwwwk.....",
        "..kdwwwwkwwwwdk.....",
        "...kwwwwkwwwwk......",
        "...kdwwwwwwwdkk.....",
        "....kkdwwwdkkrrk....",
        "......kkkkk.krrrk...",
        ".............krrrk..",
        "..............krrrk.",
        "...............krrk.",
        "................kk..",
        "....................",
        "....................",
    },
    // Zoom out: the glass with a minus.
    {
        "....................",
        "......kkkkk.........",
        "....kkdwwwdkk.......",
        "...kdwwwwwwwdk......",
        "...kwwwwwwwwwk......",
        "..kdwwwwwwwwwdk.....",
        "..kwwwwwwwwwwwk.....",
        "..kwwkkkkkkkwwk.....",
        "..kwwwwwwwwwwwk.....",
        "..kdwwwwwwwwwdk.....",
        "...kwwwwwwwwwk......",
        "...kdwwwwwwwdkk.....",
        "....kkdwwwdkkrrk....",
        "......kkkkk.krrrk...",
        ".............krrrk..",
        "..............krrrk.",
        "...............krrk.",
        "................kk..",
        "....................",
        "....................",
    },
    // Sort from large to small: falling sizes, arrow down.
    {
        "....................",
        "....................",
        "..............kk....",
        "..............kk....",
        "..............kk....",
        "..............kk....",
        "............kkkkkk..",
        ".............kkkk...",
        "..............kk....",
        ".kkkkkkkk...........",
        ".kBBBBBBk...........",
        ".kBBBBBBk...........",
        ".kBBBBBBk.kkkkk.....",
        ".kBBBBBBk.kBBBk.....",
        ".kBBBBBBk.kBBBk.kkk.",
        ".kBBBBBBk.kBBBk.kBk.",
        ".kkkkkkkk.kkkkk.kkk.",
        "....................",
        "....................",
        "....................",
    },
    // Sort from small to large: rising sizes, arrow up.
    {
        "....................",
        "....................",
        "....kk..............",
        "...kkkk.............",
        "..kkkkkk............",
        "....kk..............",
        "....kk..............",
        "....kk..............",
        "....kk..............",
        "...........kkkkkkkk.",
        "...........kBBBBBBk.",
        "...........kBBBBBBk.",
        ".....kkkkk.kBBBBBBk.",
        ".....kBBBk.kBBBBBBk.",
        ".kkk.kBBBk.kBBBBBBk.",
        ".kBk.kBBBk.kBBBBBBk.",
        ".kkk.kkkkk.kkkkkkkk.",
        "....................",
        "....................",
        "....................",
    },
    // Don't sort: sizes in the order they were found.
    {
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".......kkkkkkkk.....",
        ".......kBBBBBBk.....",
        ".......kBBBBBBk.....",
        ".kkkkk.kBBBBBBk.....",
        ".kBBBk.kBBBBBBk.....",
        ".kBBBk.kBBBBBBk.kkk.",
        ".kBBBk.kBBBBBBk.kBk.",
        ".kkkkk.kkkkkkkk.kkk.",
        "....................",
        "....................",
        "....................",
    },
};

}  // namespace

IndexedImage MakeToolbarImage(int index) {
  if (index < 0 || index >= kToolbarImageCount) throw std::runtime_error("no such toolbar image");
  MaskedImage art = ParsePixelArt(kToolbarArt[index], VgaKey(false), VgaPalette());
  if (art.colour.width != kToolbarImageSize || art.colour.height != kToolbarImageSize) {
    throw std::runtime_error("toolbar image " + std::to_string(index) + " is not 20 x 20");
  }
  return art.colour;
}

IndexedImage MakeToolbarStrip() {
  IndexedImage strip(kToolbarImageCount * kToolbarImageSize, kToolbarImageSize, VgaPalette(), 7);
  for (int i = 0; i < kToolbarImageCount; ++i) strip.Paste(MakeToolbarImage(i), i * kToolbarImageSize, 0);
  return strip;
}
