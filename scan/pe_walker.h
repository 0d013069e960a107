#pragma once
#include <cstdint>

#include "scan/catalogue.h"

ScanStatus ScanPeResources(FileHandle file, int32_t fileLength, int64_t coffPosition,
                           ImageRecord* records, int32_t capacity);
