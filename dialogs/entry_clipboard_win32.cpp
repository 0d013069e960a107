#include "dialogs/entry_clipboard_win32.h"

#include <cstring>
#include <vector>

#include "image/clipboard_image.h"
#include "ui/error_box_win32.h"
#include "ui/program_title.h"

namespace {

// A movable global block holding bytes, as the clipboard takes it; null
// when it cannot be had.
HGLOBAL GlobalCopy(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return nullptr;
  void* at = GlobalLock(block);
  if (at == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  memcpy(at, bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

// The clipboard owns a block once it took it; one it refused is freed here.
bool Offer(UINT format, const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalCopy(bytes);
  if (block == nullptr) return false;
  if (SetClipboardData(format, block) != nullptr) return true;
  GlobalFree(block);
  return false;
}

}  // namespace

void CopyEntryToClipboard(HWND owner, const ImageRecord& record, const LoadedImage& image) {
  ClipboardImage forms;
  if (!BuildClipboardImage(image, &forms)) {
    ShowErrorBox(owner, "Can't save an image of this format", record.fileName);
    return;
  }
  const UINT pngFormat = RegisterClipboardFormatA(kPngClipboardFormat);
  if (pngFormat == 0 || !OpenClipboard(owner)) {
    MessageBoxA(owner, "Can't open the clipboard.", kProgramTitle, MB_ICONERROR | MB_OK);
    return;
  }
  EmptyClipboard();
  const bool ok = Offer(pngFormat, forms.png) && Offer(CF_DIBV5, forms.dibV5);
  CloseClipboard();
  if (!ok) MessageBoxA(owner, "Can't copy the image.", kProgramTitle, MB_ICONERROR | MB_OK);
}
