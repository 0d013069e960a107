#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// Runs an outside decoder (ImageMagick, icotool) through the shell and
// collects what it prints on standard output.
struct ToolResult {
  int exitCode = -1;
  std::string output;
};
ToolResult RunTool(const std::string& command);

// The tool paths found at configure time; empty when the tool is missing.
inline const std::string kIdentify = RAVELIN_IDENTIFY_EXE;
inline const std::string kConvert = RAVELIN_CONVERT_EXE;
inline const std::string kIcotool = RAVELIN_ICOTOOL_EXE;
inline const std::string kGeneratedDir = RAVELIN_RES_GENERATED_DIR;

std::string Quoted(const std::string& text);

// Decodes a picture file (optionally one frame, "file[1]") to 8-bit RGBA
// bytes, rows from the top; empty when the decoder fails.
std::vector<uint8_t> DecodeRgba(const std::string& path);
