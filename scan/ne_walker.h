#pragma once
#include <cstdint>

#include "scan/catalogue.h"

// headerPosition is the file position of the "NE" signature.
ScanStatus ScanNeResources(FileHandle file, int32_t fileLength, int64_t headerPosition,
                           Catalogue* catalogue);
