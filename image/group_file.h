#pragma once
#include <cstdint>
#include <vector>

#include "image/image_export.h"
#include "scan/resource_groups.h"

// Builds the .ico (kind Icon) or .cur (kind Cursor) file of a group's
// members: a 6-byte directory, one 16-byte entry per member in group order,
// then the members' data. Every byte comes from the group's entries or the
// members, read whole from file; a cursor's hotspot moves into its entry.
// False, with out empty, when there is no member or a member no longer
// reads back whole (the file changed since its group was read).
bool BuildGroupFile(FileHandle file, ImageKind kind, const GroupContents& contents,
                    std::vector<uint8_t>* out);

// Writes bytes to path, replacing any file there only when all of them were
// written; a failure leaves whatever was at path as it was.
ExportStatus WriteGroupFile(const char* path, const std::vector<uint8_t>& bytes);

// "Group0.ico" or "Group3.cur": the kind's group counter in decimal. out
// holds kPathBufferSize bytes.
void DefaultGroupSaveName(const SaveState& save, ImageKind kind, char* out);
// "Save icon group" or "Save cursor group".
const char* GroupSaveDialogTitle(ImageKind kind);

// The save command for a group after the dialog was confirmed with path:
// remembers the path (even when the write then fails), writes, and raises
// the kind's group counter only when the file was written.
ExportStatus SaveGroupToPath(SaveState& save, const char* path, ImageKind kind,
                             const std::vector<uint8_t>& bytes);
