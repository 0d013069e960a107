// The parts of the file services that need no platform call.
#include "scan/file_services.h"

bool ReadExactlyAt(FileHandle file, int64_t position, void* buffer, int32_t count) {
  return ReadBytesAt(file, position, buffer, count) == count;
}

bool WritePieces(FileHandle file, const FilePiece* pieces, int32_t pieceCount) {
  static const uint8_t kZeros[4096] = {};
  for (int32_t i = 0; i < pieceCount; ++i) {
    if (pieces[i].bytes != nullptr) {
      if (!WriteBytes(file, pieces[i].bytes, pieces[i].count)) return false;
      continue;
    }
    for (int32_t left = pieces[i].count; left > 0;) {
      int32_t n =
          left < static_cast<int32_t>(sizeof kZeros) ? left : static_cast<int32_t>(sizeof kZeros);
      if (!WriteBytes(file, kZeros, n)) return false;
      left -= n;
    }
  }
  return true;
}
