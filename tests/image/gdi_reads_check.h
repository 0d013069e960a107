#pragma once
// The oracle shared by the loader's unit tests and its fuzz target: for an
// image the loader calls usable and the view or the Finder would draw, every
// byte GDI may read lies inside the bytes the loader was given. Header-only,
// so the fuzz target compiles it with its own instrumentation.
#include <cstdint>
#include <vector>

#include "image/colour_bitmap_info.h"
#include "image/gdi_read_extent.h"
#include "image/image_loader.h"

// nullptr when every read lies inside [begin, begin + size), else what does
// not.
inline const char* GdiReadsOutside(const LoadedImage& image, const uint8_t* begin, int64_t size) {
  if (image.unusable) return nullptr;
  // The view and the Finder draw nothing without a visible pixel.
  if (image.width < 1 || image.height < 1) return nullptr;
  const uint8_t* end = begin + size;
  if (image.header == nullptr || image.bits == nullptr) return "usable without header or bits";
  if (image.header < begin || image.bits < image.header || image.bits > end) {
    return "header or bits outside the bytes";
  }
  if (image.bits - image.header < 40) return "bits inside the header";
  // What GDI is handed for the colour rows: the copy, then the bits.
  const std::vector<uint8_t> info = ColourBitmapInfo(image);
  const GdiReadExtent handed = ComputeGdiReadExtent(info.data(), ImageKind::Bitmap);
  if (!handed.bounded) return "GDI's reading of the pixels has no bound";
  if (handed.infoBytes > static_cast<int64_t>(info.size())) return "colour table past the copy";
  if (handed.pixelBytes > end - image.bits) return "pixels past the bytes";
  if (handed.rows != image.height) return "copy states other rows";
  if (image.kind == ImageKind::Bitmap) return nullptr;
  // The same from the stored header, with the mask the view draws.
  const GdiReadExtent stored = ComputeGdiReadExtent(image.header, image.kind);
  if (!stored.bounded || stored.pixelBytes != handed.pixelBytes) {
    return "stored header and copy disagree";
  }
  if (stored.pixelBytes != image.bitsSize) return "mask not right after the pixels";
  const bool maskInside = stored.maskBytes <= end - image.bits - stored.pixelBytes;
  if (image.maskComplete != maskInside) return "maskComplete does not match the bytes";
  return nullptr;
}
