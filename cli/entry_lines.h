#pragma once
#include <cstdint>

#include "image/image_loader.h"
#include "scan/catalogue.h"

// The lines on standard output: one per catalogue entry, and with
// --describe what the loader made of it.

const char* StatusName(ScanStatus status);

// The record's line up to its path, as printf's "%d\t%s\t%d\t%d\t%d\t%d\t%s";
// the caller ends it.
void PrintRecordLine(int32_t index, const ImageRecord& r, const char* path);

// The --describe fields after the record's line: those the loader did not
// reach stay empty.
void PrintDescription(bool loaded, const LoadedImage& image);
