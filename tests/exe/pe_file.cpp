#include "pe_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace
{
struct Reader
{
    const std::vector<uint8_t>& bytes;
    struct Section
    {
        uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
    };
    std::vector<Section> sections;

    uint32_t U16(size_t offset) const { return offset + 2 <= bytes.size() ? bytes[offset] | bytes[offset + 1] << 8 : 0; }
    uint32_t U32(size_t offset) const { return U16(offset) | U16(offset + 2) << 16; }

    // File offset of a relative virtual address; 0 when it maps nowhere.
    size_t At(uint32_t rva) const
    {
        for (const Section& s : sections)
        {
            if (rva >= s.virtualAddress && rva < s.virtualAddress + std::max(s.virtualSize, s.rawSize))
                return s.rawOffset + (rva - s.virtualAddress);
        }
        return 0;
    }

    std::string CString(size_t offset) const
    {
        std::string text;
        while (offset < bytes.size() && bytes[offset] != 0)
            text += static_cast<char>(bytes[offset++]);
        return text;
    }
};

void ReadImports(const Reader& r, uint32_t rva, bool pe32Plus, PeFile* pe)
{
    for (size_t descriptor = r.At(rva); descriptor != 0 && r.U32(descriptor + 12) != 0; descriptor += 20)
    {
        std::string dll = r.CString(r.At(r.U32(descriptor + 12)));
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        uint32_t lookup = r.U32(descriptor) != 0 ? r.U32(descriptor) : r.U32(descriptor + 16);
        std::vector<std::string>& names = pe->imports[dll];
        for (size_t entry = r.At(lookup);; entry += pe32Plus ? 8 : 4)
        {
            uint64_t value = pe32Plus ? (uint64_t(r.U32(entry + 4)) << 32 | r.U32(entry)) : r.U32(entry);
            if (value == 0)
                break;
            bool byOrdinal = pe32Plus ? (value >> 63) != 0 : (value >> 31) != 0;
            names.push_back(byOrdinal ? "#" + std::to_string(value & 0xffff)
                                      : r.CString(r.At(static_cast<uint32_t>(value)) + 2));
        }
    }
}

// Type / name / language: three levels of directories, ids only.
void ReadResources(const Reader& r, uint32_t rva, PeFile* pe)
{
    const size_t root = r.At(rva);
    auto entries = [&](size_t directory, auto&& visit) {
        size_t count = r.U16(directory + 12) + r.U16(directory + 14);
        for (size_t i = 0; i < count; ++i)
            visit(r.U32(directory + 16 + 8 * i), r.U32(directory + 20 + 8 * i));
    };
    entries(root, [&](uint32_t type, uint32_t typeTarget) {
        entries(root + (typeTarget & 0x7fffffff), [&](uint32_t id, uint32_t idTarget) {
            entries(root + (idTarget & 0x7fffffff), [&](uint32_t language, uint32_t leaf) {
                size_t dataEntry = root + leaf;
                size_t data = r.At(r.U32(dataEntry));
                uint32_t size = r.U32(dataEntry + 4);
                if (data == 0 || data + size > r.bytes.size())
                {
                    pe->error = "resource data outside the file";
                    return;
                }
                pe->resources.push_back(PeFile::Resource{ type, id, language,
                    std::vector<uint8_t>(r.bytes.begin() + data, r.bytes.begin() + data + size) });
            });
        });
    });
}
}  // namespace

const PeFile::Resource* PeFile::Find(uint32_t type, uint32_t id) const
{
    for (const Resource& resource : resources)
    {
        if (resource.type == type && resource.id == id)
            return &resource;
    }
    return nullptr;
}

PeFile ReadPeFile(const std::string& path)
{
    PeFile pe;
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        pe.error = "cannot open " + path;
        return pe;
    }
    pe.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    Reader r{ pe.bytes, {} };
    if (r.U16(0) != 0x5a4d || r.U32(r.U32(0x3c)) != 0x4550)
    {
        pe.error = "not a PE file";
        return pe;
    }
    const size_t coff = r.U32(0x3c) + 4;
    const size_t optional = coff + 20;
    pe.machine = static_cast<uint16_t>(r.U16(coff));
    pe.timeDateStamp = r.U32(coff + 4);
    pe.checkSumOffset = optional + 64;
    pe.checkSum = r.U32(pe.checkSumOffset);
    pe.optionalMagic = static_cast<uint16_t>(r.U16(optional));
    pe.majorOsVersion = static_cast<uint16_t>(r.U16(optional + 40));
    pe.minorOsVersion = static_cast<uint16_t>(r.U16(optional + 42));
    pe.majorSubsystemVersion = static_cast<uint16_t>(r.U16(optional + 48));
    pe.minorSubsystemVersion = static_cast<uint16_t>(r.U16(optional + 50));
    pe.subsystem = static_cast<uint16_t>(r.U16(optional + 68));
    const bool pe32Plus = pe.optionalMagic == 0x20b;
    const size_t directories = optional + (pe32Plus ? 112 : 96);
    const size_t sectionTable = optional + r.U16(coff + 16);
    for (uint32_t i = 0; i < r.U16(coff + 2); ++i)
    {
        size_t s = sectionTable + 40 * i;
        r.sections.push_back({ r.U32(s + 12), r.U32(s + 8), r.U32(s + 20), r.U32(s + 16) });
    }
    ReadImports(r, r.U32(directories + 8), pe32Plus, &pe);
    ReadResources(r, r.U32(directories + 16), &pe);
    return pe;
}
