#pragma once
#include <cstdint>

#include "image/image_loader.h"

// Shows the hourglass around work that runs without dispatching messages.
// Switching on remembers the cursor of that moment and switching off puts it
// back. It does not nest: on twice in a row remembers the hourglass itself,
// and the following off leaves the hourglass up. Before the first on, off
// sets the system arrow.
void SetWaitCursor(bool on);

// The image loader, with the hourglass up while it reads a record's file.
bool LoadImageRecordWaiting(ImageCache& cache, ImageRecord* record, LoadedImage* image,
                            uint8_t** largeBuffer);
