#include <windows.h>

#include "ui/wait_cursor.h"

namespace {

bool initialised = false;
HCURSOR remembered = nullptr;

}  // namespace

void SetWaitCursor(bool on) {
  if (!initialised) {
    remembered = LoadCursorA(nullptr, IDC_ARROW);
    initialised = true;
  }
  if (on) {
    remembered = GetCursor();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  } else {
    SetCursor(remembered);
  }
}

bool LoadImageRecordWaiting(ImageCache& cache, ImageRecord* record, LoadedImage* image,
                            uint8_t** largeBuffer) {
  const bool wait = LoadReadsTheFile(*record);
  if (wait) SetWaitCursor(true);
  const bool ok = LoadImageRecord(cache, record, image, largeBuffer);
  if (wait) SetWaitCursor(false);
  return ok;
}
