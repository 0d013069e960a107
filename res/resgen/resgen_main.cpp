// Draws the program's pictures and writes them where the resource script
// expects them: resgen OUTPUT_DIRECTORY
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "res/resgen/artwork.h"
#include "res/resgen/image_files.h"
#include "res/resgen/logo_art.h"
#include "res/resgen/pcx_file.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "resgen: %s could not be encoded\n", path.string().c_str());
    return false;
  }
  // Written beside the target and renamed, so that an interrupted run never
  // leaves a truncated picture that a later build would take as current.
  std::filesystem::path partial = path;
  partial += ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "resgen: cannot write %s\n", partial.string().c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (error) {
    std::fprintf(stderr, "resgen: cannot rename to %s: %s\n", path.string().c_str(),
                 error.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: resgen OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  try {
    std::filesystem::create_directories(dir);
    bool ok = true;
    ok &= WriteFile(dir / "toolbar.bmp", EncodeBmpFile(MakeToolbarStrip(), 4));
    ok &= WriteFile(dir / "banner.bmp", EncodeBmpFile(MakeBanner(), 8));
    ok &= WriteFile(dir / "ravelin.ico", EncodeIconFile(MakeAppIcon()));
    ok &= WriteFile(dir / "open_hand.cur", EncodeCursorFile({MakeOpenHandCursor()}));
    ok &= WriteFile(dir / "hand_pointer.cur", EncodeCursorFile({MakeHandPointerCursor()}));
    ok &= WriteFile(dir / "folder_open.ico", EncodeIconFile({MakeOpenFolderIcon()}));
    ok &= WriteFile(dir / "folder_closed.ico", EncodeIconFile({MakeClosedFolderIcon()}));
    const LogoImages logo = MakeLogo();
    ok &= WriteFile(dir / "logo_colour.pcx", EncodePcxFile(logo.colour));
    ok &= WriteFile(dir / "logo_alpha.pcx", EncodePcxFile(logo.alpha));
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "resgen: %s\n", e.what());
    return 1;
  }
}
