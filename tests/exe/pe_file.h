// A small reader of Windows executables, enough to check the product's
// headers, imports and resources.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct PeFile
{
    std::vector<uint8_t> bytes;
    uint16_t machine = 0;
    uint16_t optionalMagic = 0;  // 0x10b PE32, 0x20b PE32+
    uint16_t subsystem = 0;
    uint16_t majorOsVersion = 0, minorOsVersion = 0;
    uint16_t majorSubsystemVersion = 0, minorSubsystemVersion = 0;
    uint32_t timeDateStamp = 0;
    uint32_t checkSum = 0;
    size_t checkSumOffset = 0;  // where the checksum field sits in the file
    std::map<std::string, std::vector<std::string>> imports;  // DLL (upper case) -> functions
    struct Resource
    {
        uint32_t type, id, language;
        std::vector<uint8_t> data;
    };
    std::vector<Resource> resources;  // in directory order
    std::string error;                // empty when the file was read

    const Resource* Find(uint32_t type, uint32_t id) const;
};

PeFile ReadPeFile(const std::string& path);
