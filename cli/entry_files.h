#pragma once
#include <cstdint>

#include "image/image_loader.h"
#include "scan/catalogue.h"

// The files --export, --png and --export-groups write. Each says on standard
// error what it could not write or refused.

// Writes entry index as DIR/index.ext through the save command's writer.
// False only when a file could not be created or written.
bool ExportEntry(const char* directory, int32_t index, const ImageRecord& record,
                 const LoadedImage& image, const char* sourcePath);

// Writes entry index as DIR/index.png, 8-bit RGBA. An entry that cannot be
// drawn is refused as by ExportEntry. False only when a file could not be
// created or written.
bool WritePngEntry(const char* directory, int32_t index, const LoadedImage& image,
                   const char* sourcePath);

// Writes each group name of the file once (its first language) as
// DIR/<file name>.<group name>.ico or .cur. False only when a file could not
// be created or written.
bool ExportGroups(const char* outDirectory, const char* directory, const char* fileName);
