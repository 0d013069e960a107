#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Directory trees on disk for the directory search's tests, built with the
// platform's own separators.

// A PE file with count small bitmaps.
std::vector<uint8_t> PeWithBitmaps(int32_t count);

// Makes the directory (and its parents) and writes a PE with count bitmaps
// into it as name; returns the directory's path.
std::string PutPe(const std::string& directory, const std::string& name, int32_t count);

// path joined with a relative path written with forward slashes.
std::string Under(const std::string& path, const std::string& relative);

// The full path of the current directory, or an empty text.
std::string CurrentDirectory();

// The texts of a name pool, in the order they were appended.
struct NamePool;
std::vector<std::string> PoolTexts(const NamePool& pool);

// Puts the process's current directory back when it goes, so that the
// trees the walk left it in can be removed.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper();
  ~CurrentDirectoryKeeper();
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::string saved_;
};
