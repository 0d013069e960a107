#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes. Paths use the platform's separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes bytes to name inside the directory and returns the full path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
