#pragma once
#include <cstdint>

#include "scan/catalogue.h"

struct ScanWindow;

ScanStatus ScanPeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t coffPosition, Catalogue* catalogue);
