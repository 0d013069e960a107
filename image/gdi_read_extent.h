#pragma once
#include <cstdint>

#include "scan/catalogue.h"

// What GDI may read when a DIB is drawn: StretchDIBits, SetDIBitsToDevice
// and CreateDIBitmap trust the header they are handed, so every byte this
// counts must lie inside the bytes held. The counts are an upper bound over
// the readers the program meets (Windows as documented, Wine as it reads):
// a colour table of biClrUsed entries even where a reader would cap it,
// bitfield masks at the end of the 40-byte header whatever biSize says,
// and an uncompressed array of every row even when biSizeImage is larger.
struct GdiReadExtent {
  // False when nothing in the header bounds the reading: a compressed
  // image (RLE or anything else) with biSizeImage 0, whose decoder may
  // follow the stream to its end code; a header shorter than 40 bytes; a
  // negative width; a bit count GDI has no layout for.
  bool bounded = false;
  // From the header pointer: header, colour masks and colour table.
  int64_t infoBytes = 0;
  // From the bits pointer: the pixel array, or the compressed stream.
  int64_t pixelBytes = 0;
  // Icons and cursors: the 1-bit AND mask of the visible rows, read right
  // after pixelBytes.
  int64_t maskBytes = 0;
  // The rows GDI is told about: |biHeight|, or the visible half of it.
  int64_t rows = 0;
};

// header points at 40 readable bytes of a BITMAPINFOHEADER (more when biSize
// says so; only the first 40 are looked at). For a bitmap the header is the
// one handed to GDI. For an icon or cursor it is the stored header, whose
// height counts colour rows and mask together: GDI is handed a copy stating
// the visible half and, as biSizeImage, the size of those rows uncompressed
// (see ColourBitmapInfo), and the mask is drawn from a 1-bit header of its
// own over the same visible rows.
GdiReadExtent ComputeGdiReadExtent(const uint8_t* header, ImageKind kind);
