#include "tests/support/pe_builder.h"

#include <algorithm>
#include <map>

#include "tests/support/put_bytes.h"

void PutResourceDirectory(std::vector<uint8_t>& section, size_t at, uint16_t namedCount,
                          uint16_t idCount) {
  PutBytes(section, at, std::vector<uint8_t>(12, 0));  // characteristics, stamp, version
  Put16(section, at + 12, namedCount);
  Put16(section, at + 14, idCount);
}

void PutResourceEntry(std::vector<uint8_t>& section, size_t at, uint32_t nameOrId,
                      uint32_t offsetToData) {
  Put32(section, at, nameOrId);
  Put32(section, at + 4, offsetToData);
}

void PutResourceDataEntry(std::vector<uint8_t>& section, size_t at, uint32_t rva, uint32_t size) {
  Put32(section, at, rva);
  Put32(section, at + 4, size);
  Put32(section, at + 8, 0);  // code page
  Put32(section, at + 12, 0);
}

namespace {

constexpr size_t kDirectorySize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;

template <typename T>
size_t IndexOf(std::vector<T>& list, const T& value) {
  auto it = std::find(list.begin(), list.end(), value);
  if (it != list.end()) return static_cast<size_t>(it - list.begin());
  list.push_back(value);
  return list.size() - 1;
}

size_t DirectoryBytes(size_t entries) { return kDirectorySize + kEntrySize * entries; }

}  // namespace

ResourceSection BuildResourceSection(const std::vector<PeResource>& resources,
                                     uint32_t virtualAddress) {
  struct NameNode {
    ResName name;
    std::vector<size_t> resources;  // one per language
    size_t offset = 0;
    bool operator==(const NameNode& o) const { return name == o.name; }
  };
  struct TypeNode {
    ResName type;
    std::vector<NameNode> names;
    size_t offset = 0;
    bool operator==(const TypeNode& o) const { return type == o.type; }
  };
  std::vector<TypeNode> types;
  for (size_t i = 0; i < resources.size(); ++i) {
    TypeNode& t = types[IndexOf(types, TypeNode{resources[i].type, {}, 0})];
    NameNode& n = t.names[IndexOf(t.names, NameNode{resources[i].name, {}, 0})];
    n.resources.push_back(i);
  }

  size_t at = DirectoryBytes(types.size());
  for (TypeNode& t : types) {
    t.offset = at;
    at += DirectoryBytes(t.names.size());
  }
  for (TypeNode& t : types) {
    for (NameNode& n : t.names) {
      n.offset = at;
      at += DirectoryBytes(n.resources.size());
    }
  }
  ResourceSection out;
  out.dataEntryOffsets.resize(resources.size());
  out.dataOffsets.resize(resources.size());
  for (TypeNode& t : types) {
    for (NameNode& n : t.names) {
      for (size_t r : n.resources) {
        out.dataEntryOffsets[r] = static_cast<uint32_t>(at);
        at += kDataEntrySize;
      }
    }
  }
  std::map<std::string, size_t> strings;
  auto stringOffset = [&](const ResName& name) -> uint32_t {
    auto it = strings.find(name.text);
    if (it != strings.end()) return static_cast<uint32_t>(it->second);
    size_t offset = at;
    Put16(out.bytes, offset, static_cast<uint16_t>(name.text.size()));
    for (size_t c = 0; c < name.text.size(); ++c) {
      Put16(out.bytes, offset + 2 + 2 * c, static_cast<uint8_t>(name.text[c]));
    }
    at = AlignUp(offset + 2 + 2 * name.text.size(), 2);
    strings[name.text] = offset;
    return static_cast<uint32_t>(offset);
  };
  auto nameField = [&](const ResName& name) {
    return name.named ? kResourceSubdirectory | stringOffset(name) : name.id;
  };

  auto countNamed = [](const auto& list, auto getName) {
    return static_cast<uint16_t>(std::count_if(list.begin(), list.end(),
                                               [&](const auto& x) { return getName(x).named; }));
  };
  PutResourceDirectory(out.bytes, 0, countNamed(types, [](const TypeNode& t) { return t.type; }),
                       static_cast<uint16_t>(types.size()) -
                           countNamed(types, [](const TypeNode& t) { return t.type; }));
  for (size_t ti = 0; ti < types.size(); ++ti) {
    TypeNode& t = types[ti];
    PutResourceEntry(out.bytes, kDirectorySize + kEntrySize * ti, nameField(t.type),
                     kResourceSubdirectory | static_cast<uint32_t>(t.offset));
    uint16_t named = countNamed(t.names, [](const NameNode& n) { return n.name; });
    PutResourceDirectory(out.bytes, t.offset, named,
                         static_cast<uint16_t>(t.names.size() - named));
    for (size_t ni = 0; ni < t.names.size(); ++ni) {
      NameNode& n = t.names[ni];
      PutResourceEntry(out.bytes, t.offset + kDirectorySize + kEntrySize * ni, nameField(n.name),
                       kResourceSubdirectory | static_cast<uint32_t>(n.offset));
      PutResourceDirectory(out.bytes, n.offset, 0, static_cast<uint16_t>(n.resources.size()));
      for (size_t li = 0; li < n.resources.size(); ++li) {
        size_t r = n.resources[li];
        PutResourceEntry(out.bytes, n.offset + kDirectorySize + kEntrySize * li,
                         resources[r].language, out.dataEntryOffsets[r]);
      }
    }
  }
  at = AlignUp(at, 4);
  for (size_t r = 0; r < resources.size(); ++r) {
    out.dataOffsets[r] = static_cast<uint32_t>(at);
    PutBytes(out.bytes, at, resources[r].data);
    PutResourceDataEntry(out.bytes, out.dataEntryOffsets[r],
                         virtualAddress + static_cast<uint32_t>(at),
                         static_cast<uint32_t>(resources[r].data.size()));
    at = AlignUp(at + resources[r].data.size(), 4);
  }
  if (out.bytes.size() < at) out.bytes.resize(at, 0);
  return out;
}

uint32_t PeBuilder::SectionTablePosition() const {
  return static_cast<uint32_t>(headerPosition) + 4 + 20 + optionalHeaderSize;
}

PeFile PeBuilder::Build() const {
  constexpr size_t kFileAlignment = 0x200;
  constexpr uint32_t kSectionAlignment = 0x1000;
  PeFile out;
  std::vector<uint8_t>& b = out.bytes;
  b.assign(64, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put16(b, 2, 0x90);  // bytes on the last page
  Put16(b, 4, 3);     // pages
  Put16(b, 8, 4);     // header paragraphs
  Put16(b, 0x18, 0x40);
  Put32(b, 60, static_cast<uint32_t>(headerPosition));

  size_t h = static_cast<uint32_t>(headerPosition);
  PutBytes(b, h, signature.data(), signature.size());
  size_t coff = h + 4;
  Put16(b, coff, machine);
  Put16(b, coff + 2, sectionCount ? *sectionCount : static_cast<uint16_t>(sections.size()));
  Put16(b, coff + 16, optionalHeaderSize);
  Put16(b, coff + 18, pe32Plus ? 0x0022 : 0x0102);

  size_t tableEnd = SectionTablePosition() + 40 * sections.size();
  size_t next = AlignUp(tableEnd, kFileAlignment);
  for (const PeSection& s : sections) {
    uint32_t position = s.rawPosition;
    if (position == 0 && !s.bytes.empty()) {
      position = static_cast<uint32_t>(next);
      next = AlignUp(position + s.bytes.size(), kFileAlignment);
    }
    out.sectionPositions.push_back(position);
  }

  // Optional header: each field only where the stated size has room for it.
  std::vector<uint8_t> opt;
  uint32_t sizeOfImage = kSectionAlignment;
  const PeSection* rsrc = nullptr;
  for (const PeSection& s : sections) {
    sizeOfImage = std::max<uint32_t>(
        sizeOfImage, s.virtualAddress + static_cast<uint32_t>(AlignUp(s.bytes.size(), kSectionAlignment)));
    if (rsrc == nullptr && s.name == ".rsrc") rsrc = &s;
  }
  Put16(opt, 0, pe32Plus ? 0x020B : 0x010B);
  Put32(opt, pe32Plus ? 24 : 28, 0x00400000);  // image base (low half for PE32+)
  Put32(opt, 32, kSectionAlignment);
  Put32(opt, 36, kFileAlignment);
  Put16(opt, 40, 4);  // operating system version
  Put16(opt, 48, 4);  // subsystem version
  Put32(opt, 56, sizeOfImage);
  Put32(opt, 60, static_cast<uint32_t>(AlignUp(tableEnd, kFileAlignment)));
  Put16(opt, 68, 2);  // Windows GUI
  size_t directories = pe32Plus ? 112 : 96;
  Put32(opt, directories - 4, 16);
  if (resourceAddress) {
    Put32(opt, directories + 2 * 8, *resourceAddress);
  } else if (rsrc != nullptr) {
    Put32(opt, directories + 2 * 8, rsrc->virtualAddress);
    Put32(opt, directories + 2 * 8 + 4, static_cast<uint32_t>(rsrc->bytes.size()));
  }
  opt.resize(std::max<size_t>(opt.size(), directories + 16 * 8), 0);
  opt.resize(optionalHeaderSize);
  PutBytes(b, coff + 20, opt);

  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    size_t at = SectionTablePosition() + 40 * i;
    std::string name = s.name.substr(0, 8);
    name.resize(8, '\0');
    PutBytes(b, at, name.data(), 8);
    Put32(b, at + 8, static_cast<uint32_t>(s.bytes.size()));
    Put32(b, at + 12, s.virtualAddress);
    Put32(b, at + 16, static_cast<uint32_t>(s.bytes.size()));
    Put32(b, at + 20, out.sectionPositions[i]);
    Put32(b, at + 36, 0x40000040);  // initialised data, readable
  }
  for (size_t i = 0; i < sections.size(); ++i) {
    PutBytes(b, out.sectionPositions[i], sections[i].bytes);
  }
  return out;
}

MinimalPe MakeMinimalPe(const std::vector<PeResource>& resources, bool pe32Plus,
                        uint32_t rsrcVirtualAddress) {
  MinimalPe out;
  out.virtualAddress = rsrcVirtualAddress;
  out.rsrc = BuildResourceSection(resources, out.virtualAddress);
  PeBuilder pe;
  pe.pe32Plus = pe32Plus;
  pe.machine = pe32Plus ? 0x8664 : 0x014C;
  pe.optionalHeaderSize = pe32Plus ? 0xF0 : 0xE0;
  pe.sections.push_back({".text", 0x1000, 0, std::vector<uint8_t>(16, 0xC3)});
  pe.sections.push_back({".rsrc", out.virtualAddress, 0, out.rsrc.bytes});
  PeFile file = pe.Build();
  out.rsrcPosition = file.sectionPositions[1];
  out.bytes = std::move(file.bytes);
  return out;
}

void MinimalPe::PointDataEntry(size_t i, int64_t filePosition, uint32_t size) {
  uint32_t rva = static_cast<uint32_t>(filePosition - rsrcPosition + virtualAddress);
  Put32(bytes, static_cast<size_t>(DataEntryPosition(i)), rva);
  Put32(bytes, static_cast<size_t>(DataEntryPosition(i)) + 4, size);
}

PeResource PeBitmap(uint32_t id, std::vector<uint8_t> data) {
  return {ResName::Id(kResourceTypeBitmap), ResName::Id(id), 0x0409, std::move(data)};
}
PeResource PeIcon(uint32_t id, std::vector<uint8_t> data) {
  return {ResName::Id(kResourceTypeIcon), ResName::Id(id), 0x0409, std::move(data)};
}
PeResource PeCursor(uint32_t id, std::vector<uint8_t> data) {
  return {ResName::Id(kResourceTypeCursor), ResName::Id(id), 0x0409, std::move(data)};
}
