#pragma once
#include <cstdint>

#include "scan/catalogue.h"

struct ScanWindow;

// headerPosition is the file position of the "NE" signature.
ScanStatus ScanNeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t headerPosition, Catalogue* catalogue);
