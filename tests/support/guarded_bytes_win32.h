#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Bytes placed so that the first byte past them is an inaccessible page:
// any read beyond them faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<uint8_t>& bytes) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    const size_t pages = (bytes.size() + page - 1) / page;
    base_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    guard_ = base_ + pages * page;
    VirtualProtect(guard_, page, PAGE_NOACCESS, &old);
    pageSize_ = page;
    data_ = guard_ - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const uint8_t* data() const { return data_; }
  // Makes the guard page readable (zeros), so that a read caught there can
  // go on and the rest of a test still runs.
  void Lift() const {
    DWORD old = 0;
    VirtualProtect(guard_, pageSize_, PAGE_READONLY, &old);
  }
  // The inaccessible page right after the bytes.
  bool InGuard(uintptr_t address) const {
    const auto guard = reinterpret_cast<uintptr_t>(guard_);
    return address >= guard && address - guard < pageSize_;
  }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* guard_ = nullptr;
  size_t pageSize_ = 0;
  uint8_t* data_ = nullptr;
};
