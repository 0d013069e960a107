#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

// The About command: builds the logo from the two PCX resources over the
// present button-face colour and shows dialog 118 modally. Returns when the
// box has closed; shows nothing, and says nothing, when the logo cannot be
// built.
void ShowAboutBox(HWND owner);

// Decodes the "PCX" resource with this id of the program's own module;
// nothing when it is missing or damaged (see pcx_decoder.h).
std::unique_ptr<uint8_t[]> DecodePcxResource(int id);
