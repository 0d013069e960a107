#include "tests/scan/search_tree.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "scan/file_services.h"
#include "scan/name_pool.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"

namespace fs = std::filesystem;

std::vector<uint8_t> PeWithBitmaps(int32_t count) {
  std::vector<PeResource> resources;
  for (int32_t i = 0; i < count; ++i) {
    resources.push_back(PeBitmap(static_cast<uint32_t>(i + 1), MakeBitmapData(1 + i % 7, 1)));
  }
  return MakeMinimalPe(resources).bytes;
}

std::string PutPe(const std::string& directory, const std::string& name, int32_t count) {
  fs::create_directories(directory);
  std::vector<uint8_t> bytes = PeWithBitmaps(count);
  std::ofstream out(fs::path(directory) / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name + " in " + directory);
  return directory;
}

std::string Under(const std::string& path, const std::string& relative) {
  return (fs::path(path) / fs::path(relative).make_preferred()).string();
}

std::string CurrentDirectory() {
  char buffer[kPathBufferSize];
  return GetCurrentDir(buffer) ? std::string(buffer) : std::string();
}

std::vector<std::string> PoolTexts(const NamePool& pool) {
  std::vector<std::string> texts;
  std::vector<NameArena> arenas = pool.earlier;
  if (pool.base != nullptr) arenas.push_back({pool.base, pool.used});
  for (const NameArena& arena : arenas) {
    for (int32_t at = 0; at < arena.used;) {
      std::string text(arena.base + at);
      at += static_cast<int32_t>(text.size()) + 1;
      texts.push_back(std::move(text));
    }
  }
  return texts;
}

CurrentDirectoryKeeper::CurrentDirectoryKeeper() : saved_(fs::current_path().string()) {}
CurrentDirectoryKeeper::~CurrentDirectoryKeeper() {
  std::error_code ec;
  fs::current_path(saved_, ec);
}
