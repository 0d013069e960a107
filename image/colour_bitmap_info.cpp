#include "image/colour_bitmap_info.h"

#include "scan/dib_header.h"
#include "scan/little_endian.h"

std::vector<uint8_t> ColourBitmapInfo(const LoadedImage& image) {
  std::vector<uint8_t> info(image.header, image.bits);
  const DibHeader dib(ByteReader(info.data(), static_cast<int64_t>(info.size())), 0);
  const bool bottomUp = dib.Height() >= 0;
  PutLeI32(info.data() + kDibHeightAt, bottomUp ? image.height : -image.height);
  PutLeI32(info.data() + kDibSizeImageAt, static_cast<int32_t>(image.bitsSize));
  return info;
}
