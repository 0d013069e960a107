#include "scan/path_walk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "scan/file_services.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Offers = std::vector<std::pair<std::string, std::string>>;

Offers Walk(const std::string& path) {
  Offers offers;
  WalkPath(path.c_str(), [&](const char* directory, const char* fileName) {
    offers.emplace_back(directory, fileName);
  });
  return offers;
}

std::string CurrentDir() {
  char buffer[kPathBufferSize];
  return GetCurrentDir(buffer) ? std::string(buffer) : std::string();
}

}  // namespace

TEST(WalkPath, FilesInByteOrderThenEachSubdirectory) {
  TempDir dir;
  const std::vector<uint8_t> some = {'M', 'Z'};
  // "Zed.exe" sorts first in byte order, last if case were ignored; names
  // differ in more than case, as Windows' file names ignore it.
  for (const char* name : {"b.exe", "Zed.exe", "a.exe", "abcd", "abc", "zz", ".hidden.exe",
                           "sub2/x.dll", "d/only.exe", "d/deeper/y.exe", "sub1/w.exe",
                           ".git/z.exe", "sub1/.h/v.exe"}) {
    dir.Write(fs::path(name).make_preferred().string(), some);
  }
  fs::create_directory(dir.Join("empty"));
#ifndef _WIN32
  // A link back up the tree would make the walk endless.
  fs::create_directory_symlink(dir.path(), dir.Join("loop"));
#endif

  std::string before = CurrentDir();
  Offers offers = Walk(dir.path());
  EXPECT_EQ(CurrentDir(), before);

  ASSERT_FALSE(offers.empty());
  const std::string root = offers[0].first;
  EXPECT_TRUE(fs::equivalent(root, dir.path()));
  auto in = [&](const std::string& sub) {
    return sub.empty() ? root : root + PathSeparator() + fs::path(sub).make_preferred().string();
  };
  const Offers expected = {
      {in(""), "Zed.exe"},       {in(""), "a.exe"},        {in(""), "abcd"},
      {in(""), "b.exe"},         {in("d"), "only.exe"},    {in("d/deeper"), "y.exe"},
      {in("sub1"), "w.exe"},     {in("sub2"), "x.dll"},
  };
  EXPECT_EQ(offers, expected);
}

TEST(WalkPath, AFileIsOfferedAsItsDirectoryAndName) {
  TempDir dir;
  std::string file = dir.Write("one.exe", {'M', 'Z'});
  Offers offers = Walk(file);
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].first, dir.path());
  EXPECT_EQ(offers[0].second, "one.exe");
#ifndef _WIN32
  EXPECT_EQ(Walk("/nonexistent-name.exe"), (Offers{{"/", "nonexistent-name.exe"}}));
#endif
}
