#pragma once
#include <cstdint>
#include <memory>

// The About box's logo images are 8-bit run-length-encoded PCX pictures of
// a fixed size. Decoding needs only the pixel stream after the 128-byte
// header and the 256-entry palette in the resource's last 768 bytes; the
// header itself is not read, and the stream runs on across lines.
inline constexpr int kLogoImageWidth = 234;
inline constexpr int kLogoImageHeight = 114;
inline constexpr uint32_t kLogoPixelCount = kLogoImageWidth * kLogoImageHeight;
// Blue, green, red and a 0 byte per pixel, rows from the top.
inline constexpr uint32_t kDecodedLogoSize = kLogoPixelCount * 4;

// Decodes one logo resource. Nothing (a null pointer) when the resource
// cannot hold a header and a palette, when its stream ends before the
// last pixel, or when the output buffer cannot be had. A run that would
// pass the last pixel is cut there. The caller owns the result.
std::unique_ptr<uint8_t[]> DecodePcxResource(const uint8_t* resource, uint32_t size);
