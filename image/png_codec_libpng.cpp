#include <png.h>

#include <csetjmp>
#include <cstring>

#include "image/png_codec.h"

namespace {

// Chunks a PNG icon needs are small; a larger one is refused before libpng
// allocates it.
constexpr png_alloc_size_t kMaxChunkBytes = 8 << 20;

struct MemorySource {
  const uint8_t* data;
  int64_t size;
  int64_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > static_cast<uint64_t>(source->size - source->at)) png_error(png, "data cut short");
  memcpy(out, source->data + source->at, count);
  source->at += static_cast<int64_t>(count);
}

// libpng's default handlers print to the standard error; a bad image is
// reported by the result alone.
[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Everything that may be left when libpng jumps back lives in this struct,
// outside the frame that calls setjmp, so nothing needs to be volatile.
struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemorySource source{};
};

// Returns false on a jump. Kept free of C++ objects with destructors, which
// a longjmp would skip.
bool ReadRows(ReadState* s, uint32_t width, uint32_t height, uint8_t* out) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_user_limits(s->png, kMaxPngSide, kMaxPngSide);
  png_set_chunk_malloc_max(s->png, kMaxChunkBytes);
  png_set_read_fn(s->png, &s->source, ReadFromMemory);
  png_read_info(s->png, s->info);
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  int depth = 0;
  int colourType = 0;
  png_get_IHDR(s->png, s->info, &w, &h, &depth, &colourType, nullptr, nullptr, nullptr);
  if (w != width || h != height) return false;
  if (depth == 16) png_set_scale_16(s->png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s->png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(s->png);
  if (png_get_valid(s->png, s->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s->png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(s->png);
  }
  if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s->png, s->info, PNG_INFO_tRNS)) {
    png_set_filler(s->png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_bgr(s->png);
  const int passes = png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  const size_t stride = static_cast<size_t>(width) * 4;
  if (png_get_rowbytes(s->png, s->info) != stride) return false;
  // Each pass of an interlaced image fills in more of the same rows.
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < height; ++y) png_read_row(s->png, out + y * stride, nullptr);
  }
  png_read_end(s->png, nullptr);
  return true;
}

}  // namespace

bool DecodeCheckedPng(const uint8_t* png, int64_t size, uint32_t width, uint32_t height,
                      uint8_t* out) {
  if (png == nullptr || out == nullptr || size <= 0 || PngPixelBytes(width, height) == 0) {
    return false;
  }
  ReadState s;
  s.source = {png, size, 0};
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (s.png == nullptr) return false;
  s.info = png_create_info_struct(s.png);
  const bool ok = s.info != nullptr && ReadRows(&s, width, height, out);
  png_destroy_read_struct(&s.png, s.info != nullptr ? &s.info : nullptr, nullptr);
  return ok;
}

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void FlushNothing(png_structp) {}

// As for reading: a jump leaves nothing in this frame to clean up.
bool WriteRows(png_structp png, png_infop info, const uint8_t* rgba, uint32_t width,
               uint32_t height, std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(width) * 4;
  for (uint32_t y = 0; y < height; ++y) png_write_row(png, rgba + y * stride);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>* out) {
  out->clear();
  if (width == 0 || height == 0 || width > PNG_USER_WIDTH_MAX || height > PNG_USER_HEIGHT_MAX) {
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  const bool ok = info != nullptr && WriteRows(png, info, rgba, width, height, out);
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  return ok;
}
