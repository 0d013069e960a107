#include "tests/support/ne_builder.h"

#include <algorithm>
#include <stdexcept>

#include "tests/support/put_bytes.h"

namespace {

constexpr size_t kTypeEntrySize = 8;
constexpr size_t kResourceEntrySize = 12;

}  // namespace

void NeBuilder::Add(uint16_t type, std::vector<uint8_t> data, uint16_t id) {
  NeResource r;
  r.data = std::move(data);
  for (auto it = types.rbegin(); it != types.rend(); ++it) {
    if (it->type == type) {
      r.id = id != 0 ? id : static_cast<uint16_t>(0x8001 + it->resources.size());
      it->resources.push_back(std::move(r));
      return;
    }
  }
  r.id = id != 0 ? id : 0x8001;
  types.push_back({type, {std::move(r)}, std::nullopt});
}

NeFile NeBuilder::Build() const {
  NeFile out;
  std::vector<uint8_t>& b = out.bytes;
  b.assign(64, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put16(b, 8, 4);  // header paragraphs
  Put16(b, 0x18, 0x40);
  Put32(b, 60, static_cast<uint32_t>(headerPosition));

  size_t h = static_cast<uint32_t>(headerPosition);
  out.tablePosition = TablePosition();
  size_t t = out.tablePosition;

  size_t tableBytes = 2 + (endOfTable ? 2 : 0);
  for (const NeTypeEntry& e : types) tableBytes += kTypeEntrySize + kResourceEntrySize * e.resources.size();
  // After the table: the empty resource name list, then the resident name
  // table with the module name, which the other header offsets point past.
  size_t names = t + tableBytes;
  size_t resident = names + 1;
  static const char kModule[] = "\x07" "FIXTURE" "\0\0" "\0";
  size_t residentEnd = resident + sizeof kModule - 1;

  PutBytes(b, h, signature.data(), signature.size());
  Put16(b, h + 0x04, static_cast<uint16_t>(residentEnd - h));  // entry table
  Put16(b, h + 0x0C, 0x0302);                                   // multiple data, protected mode
  Put16(b, h + 0x22, 0x40);                                     // segment table (no segments)
  Put16(b, h + 0x24, tableOffset);
  Put16(b, h + 0x26, static_cast<uint16_t>(resident - h));
  Put16(b, h + 0x28, static_cast<uint16_t>(residentEnd - h));  // module references
  Put16(b, h + 0x2A, static_cast<uint16_t>(residentEnd - h));  // imported names
  Put16(b, h + 0x32, shift);
  Put8(b, h + 0x36, 2);  // Windows
  Put16(b, h + 0x3E, 0x030A);

  size_t unit = shift < 16 ? size_t{1} << shift : 0;
  size_t dataBegin = dataStart != 0 ? dataStart : residentEnd;
  size_t next = dataBegin;
  std::vector<NeTypeEntry> laidOut = types;
  for (NeTypeEntry& e : laidOut) {
    for (NeResource& r : e.resources) {
      if (!r.data) continue;
      if (unit == 0) throw std::logic_error("resource data needs a shift below 16");
      next = AlignUp(std::max<size_t>(next, 1), unit);
      if ((next >> shift) > 0xFFFF || (AlignUp(r.data->size(), unit) >> shift) > 0xFFFF) {
        throw std::logic_error("resource data does not fit 16-bit units");
      }
      r.offset = static_cast<uint16_t>(next >> shift);
      r.length = static_cast<uint16_t>(AlignUp(r.data->size(), unit) >> shift);
      PutBytes(b, next, *r.data);
      next += AlignUp(r.data->size(), unit);
    }
  }
  // The last resource's padding is part of its length, so it is in the file.
  if (next > dataBegin && b.size() < next) b.resize(next, 0);
  auto overlaps = [&](size_t from, size_t to) { return dataBegin < to && from < next; };
  if (next > dataBegin && (overlaps(0, 64) || overlaps(h, h + 64) || overlaps(t, residentEnd))) {
    throw std::logic_error("resource data would overlap the headers or the table");
  }

  Put16(b, t, shift);
  size_t p = t + 2;
  for (const NeTypeEntry& e : laidOut) {
    Put16(b, p, e.type);
    Put16(b, p + 2, e.count ? *e.count : static_cast<uint16_t>(e.resources.size()));
    Put32(b, p + 4, 0);
    p += kTypeEntrySize;
    for (const NeResource& r : e.resources) {
      Put16(b, p, r.offset);
      Put16(b, p + 2, r.length);
      Put16(b, p + 4, r.flags);
      Put16(b, p + 6, r.id);
      Put32(b, p + 8, 0);  // handle and usage
      p += kResourceEntrySize;
      out.resourcePositions.push_back(shift < 32 ? static_cast<int64_t>(r.offset) << shift : -1);
    }
  }
  // Without its end the table runs on into whatever the test puts after it.
  if (endOfTable) {
    Put16(b, p, 0);
    Put8(b, names, 0);
    PutBytes(b, resident, kModule, sizeof kModule - 1);
  }
  return out;
}
