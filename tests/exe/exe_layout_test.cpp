// The built 32-bit product, byte by byte where it matters: headers,
// imports, both dialog templates and both icon groups.
#include "pe_file.h"

#include "../../res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace
{
const uint32_t RT_ICON_ = 3, RT_DIALOG_ = 5, RT_GROUP_ICON_ = 14;

// Encodes a standard (not extended) dialog template as the dialog manager
// reads it, from the layout the dialogs must have.
class Template
{
public:
    std::vector<uint8_t> bytes;

    void Word(uint32_t value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void Dword(uint32_t value)
    {
        Word(value & 0xffff);
        Word(value >> 16);
    }
    void Text(const std::string& text)
    {
        for (char c : text)
            Word(static_cast<uint8_t>(c));
        Word(0);
    }
    void Header(uint32_t style, int controls, int cx, int cy)
    {
        Dword(style);
        Dword(0);  // extended style
        Word(controls);
        Word(0), Word(0), Word(cx), Word(cy);
        Word(0);  // no menu
        Word(0);  // standard class
        Text("");  // no title
        Word(8);
        Text("MS Sans Serif");
    }
    // `className` is the predefined class atom (0x80 button, 0x82 static).
    void Control(uint32_t style, int x, int y, int cx, int cy, int id, uint16_t className, const std::string& text,
                 int iconId = 0)
    {
        while (bytes.size() % 4 != 0)
            bytes.push_back(0);
        Dword(style);
        Dword(0);
        Word(x), Word(y), Word(cx), Word(cy);
        Word(static_cast<uint16_t>(id));
        Word(0xffff), Word(className);
        if (iconId != 0)
            Word(0xffff), Word(iconId);
        else
            Text(text);
        Word(0);  // no creation data
    }
};

std::vector<uint8_t> ExpectedConfirmTemplate()
{
    Template t;
    t.Header(0x800000C0, 6, 251, 122);
    t.Control(0x50030001, 134, 101, 50, 14, 2, 0x80, "&No");
    t.Control(0x50010000, 67, 101, 50, 14, 1, 0x80, "&Yes");
    t.Control(0x50020000, 40, 7, 197, 24, -1, 0x82,
              "Do you want to remove all file associations and user preferences for Tessaro 5 from your system?");
    t.Control(0x50020000, 40, 36, 197, 31, -1, 0x82,
              "You may want to leave them if you are installing a licensed version after trying the evaluation "
              "or you are planning to reinstall a licensed version of Tessaro 5.");
    t.Control(0x50020000, 40, 72, 197, 24, -1, 0x82,
              "Click \"Yes\" to remove the settings. Click \"No\" to keep them on your system.");
    t.Control(0x50000003, 7, 7, 20, 20, -1, 0x82, "", IDI_DIALOG);
    return t.bytes;
}

std::vector<uint8_t> ExpectedProgressTemplate()
{
    Template t;
    t.Header(0x900000C0, 1, 203, 22);
    t.Control(0x50020000, 7, 7, 189, 8, IDC_PROGRESS_TEXT, 0x82, "Your system is being updated.  Please wait...");
    return t.bytes;
}

// Where two byte strings part, with the bytes around it, for a readable failure.
std::string FirstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual)
{
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    if (at == expected.size() && at == actual.size())
        return "";
    auto around = [at](const std::vector<uint8_t>& bytes) {
        std::string text;
        for (size_t i = at < 8 ? 0 : at - 8; i < bytes.size() && i < at + 16; ++i)
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, i == at ? "[%02x]" : "%02x ", bytes[i]);
            text += hex;
        }
        return text;
    };
    return "sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) +
           ", first difference at byte " + std::to_string(at) + "\n  expected " + around(expected) +
           "\n  actual   " + around(actual);
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

std::string ProductPath()
{
    const char* path = std::getenv("SETTINGS_CLEANUP_EXE");
    return path != nullptr ? path : PRODUCT_EXE;
}

class ProductExe : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { pe = new PeFile(ReadPeFile(ProductPath())); }
    static void TearDownTestSuite() { delete pe; }
    void SetUp() override { ASSERT_EQ("", pe->error) << "build the win32 preset first: " << ProductPath(); }
    static PeFile* pe;
};
PeFile* ProductExe::pe = nullptr;
}  // namespace

TEST_F(ProductExe, IsA32BitGuiProgramForWindows4)
{
    EXPECT_EQ(0x14c, pe->machine) << "i386";
    EXPECT_EQ(0x10b, pe->optionalMagic) << "PE32";
    EXPECT_EQ(2, pe->subsystem) << "Windows GUI";
    EXPECT_EQ(4, pe->majorSubsystemVersion);
    EXPECT_EQ(0, pe->minorSubsystemVersion);
    EXPECT_EQ(4, pe->majorOsVersion);
    EXPECT_EQ(0, pe->minorOsVersion);
    EXPECT_LE(pe->bytes.size(), 48u * 1024) << "size budget";
}

// Nothing in the file depends on when it was built: the same sources and
// tools give the same bytes.
TEST_F(ProductExe, CarriesNoTimeStampAndTheChecksumOfItsBytes)
{
    EXPECT_EQ(0u, pe->timeDateStamp);
    // The image checksum: 16-bit words summed with their carries folded
    // back, the checksum field itself left out, plus the file's length.
    uint32_t sum = 0;
    for (size_t at = 0; at < pe->bytes.size(); at += 2)
    {
        if (at >= pe->checkSumOffset && at < pe->checkSumOffset + 4)
            continue;
        sum += pe->bytes[at] | (at + 1 < pe->bytes.size() ? pe->bytes[at + 1] << 8 : 0);
        sum = (sum & 0xffff) + (sum >> 16);
    }
    EXPECT_EQ((sum & 0xffff) + (sum >> 16) + static_cast<uint32_t>(pe->bytes.size()), pe->checkSum);
}

// The file checked may be a signed copy (SETTINGS_CLEANUP_EXE): then it is
// the built product with a certificate table, the table's directory entry
// and the checksum that covers it, and nothing else changed.
TEST_F(ProductExe, DiffersFromTheBuiltProductOnlyByItsSignature)
{
    const PeFile built = ReadPeFile(PRODUCT_EXE);
    ASSERT_EQ("", built.error) << PRODUCT_EXE;
    const std::vector<uint8_t>& copy = pe->bytes;
    // The security entry, fifth of the PE32 data directories.
    const size_t entry = U32(copy, 0x3c) + 24 + 96 + 8 * 4;
    ASSERT_LE(entry + 8, copy.size());
    const uint32_t tableAt = U32(copy, entry), tableSize = U32(copy, entry + 4);
    if (tableSize != 0)
    {
        // Appended, aligned to eight bytes, to the end of the file: one
        // WIN_CERTIFICATE of revision 2.0 holding PKCS#7 signed data.
        ASSERT_EQ((built.bytes.size() + 7) / 8 * 8, tableAt);
        ASSERT_EQ(copy.size(), size_t{ tableAt } + tableSize);
        EXPECT_EQ(tableSize, (U32(copy, tableAt) + 7) / 8 * 8) << "one certificate fills the table";
        EXPECT_EQ(0x0200u, U16(copy, tableAt + 4));
        EXPECT_EQ(0x0002u, U16(copy, tableAt + 6));
        for (size_t at = built.bytes.size(); at < tableAt; ++at)
            EXPECT_EQ(0, copy[at]) << "padding at " << at;
    }
    // Without a table nothing may follow the product's bytes.
    std::vector<uint8_t> unsigned_(copy.begin(), tableSize != 0 ? copy.begin() + built.bytes.size() : copy.end());
    if (tableSize != 0)
    {
        std::fill(unsigned_.begin() + entry, unsigned_.begin() + entry + 8, 0);
        std::copy(built.bytes.begin() + built.checkSumOffset, built.bytes.begin() + built.checkSumOffset + 4,
                  unsigned_.begin() + pe->checkSumOffset);
    }
    EXPECT_EQ("", FirstDifference(built.bytes, unsigned_));
}

TEST_F(ProductExe, ImportsOnlyTheAFormsItNeedsFromSystemDlls)
{
    // Only DLLs that every Windows takes from the system folder: SHELL32 is
    // loaded late, once the DLL search is restricted.
    const std::map<std::string, std::set<std::string>> expected = {
        { "ADVAPI32.DLL", { "RegCloseKey", "RegDeleteValueA", "RegEnumKeyA", "RegEnumKeyExA", "RegEnumValueA",
                            "RegOpenKeyExA", "RegQueryInfoKeyA", "RegQueryValueExA" } },
        { "GDI32.DLL", { "CreateICA", "DeleteDC", "GetDeviceCaps" } },
        { "KERNEL32.DLL", { "ExitProcess", "GetCommandLineA", "GetModuleHandleA", "GetProcAddress",
                            "GetCurrentProcessId", "GetSystemDirectoryA", "GetVersion", "IsDBCSLeadByte",
                            "LoadLibraryExA", "SetErrorMode" } },
        { "NTDLL.DLL", { "NtDeleteKey", "RtlNtStatusToDosError" } },
        { "USER32.DLL", { "DialogBoxParamA", "DispatchMessageA", "EndDialog", "GetProcessWindowStation",
                          "GetUserObjectInformationA", "GetWindowRect", "PeekMessageA", "PostMessageA", "SetWindowPos",
                          "TranslateMessage" } },
    };
    std::map<std::string, std::set<std::string>> actual;
    for (const auto& [dll, names] : pe->imports)
        actual[dll] = std::set<std::string>(names.begin(), names.end());
    EXPECT_EQ(expected, actual);
}

TEST_F(ProductExe, HoldsOnlyDialogsAndIconsInUsEnglish)
{
    std::set<uint32_t> types;
    for (const PeFile::Resource& resource : pe->resources)
    {
        types.insert(resource.type);
        EXPECT_EQ(0x0409u, resource.language) << "type " << resource.type << " id " << resource.id;
    }
    // No manifest, version, string table, menu or accelerators.
    EXPECT_EQ((std::set<uint32_t>{ RT_ICON_, RT_DIALOG_, RT_GROUP_ICON_ }), types);
}

TEST_F(ProductExe, DialogTemplatesAreExact)
{
    const PeFile::Resource* confirm = pe->Find(RT_DIALOG_, IDD_CONFIRM);
    const PeFile::Resource* progress = pe->Find(RT_DIALOG_, IDD_PROGRESS);
    ASSERT_NE(nullptr, confirm);
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ("", FirstDifference(ExpectedConfirmTemplate(), confirm->data));
    EXPECT_EQ("", FirstDifference(ExpectedProgressTemplate(), progress->data));
}

TEST_F(ProductExe, IconGroupsHoldFiveImagesEachInOrder)
{
    const struct
    {
        uint32_t size, bits;
    } formats[] = { { 32, 4 }, { 16, 4 }, { 32, 8 }, { 16, 8 }, { 48, 8 } };
    std::vector<uint32_t> groups;
    for (const PeFile::Resource& resource : pe->resources)
    {
        if (resource.type == RT_GROUP_ICON_)
            groups.push_back(resource.id);
    }
    ASSERT_EQ((std::vector<uint32_t>{ IDI_APP, IDI_DIALOG }), groups) << "the program's icon comes first";

    std::vector<std::vector<uint8_t>> artwork[2];
    for (int g = 0; g < 2; ++g)
    {
        const std::vector<uint8_t>& group = pe->Find(RT_GROUP_ICON_, groups[g])->data;
        ASSERT_EQ(6u + 14 * 5, group.size());
        EXPECT_EQ(0u, U16(group, 0));
        EXPECT_EQ(1u, U16(group, 2));
        ASSERT_EQ(5u, U16(group, 4));
        for (int i = 0; i < 5; ++i)
        {
            SCOPED_TRACE("group " + std::to_string(groups[g]) + " image " + std::to_string(i));
            const size_t entry = 6 + 14 * i;
            EXPECT_EQ(formats[i].size, group[entry]);
            EXPECT_EQ(formats[i].size, group[entry + 1]);
            EXPECT_EQ(formats[i].bits == 4 ? 16u : 0u, group[entry + 2]);
            EXPECT_EQ(1u, U16(group, entry + 4)) << "planes";
            EXPECT_EQ(formats[i].bits, U16(group, entry + 6));
            const PeFile::Resource* image = pe->Find(RT_ICON_, U16(group, entry + 12));
            ASSERT_NE(nullptr, image);
            EXPECT_EQ(U32(group, entry + 8), image->data.size());
            // The image itself: a DIB of that size and depth, with its mask.
            const std::vector<uint8_t>& dib = image->data;
            ASSERT_GE(dib.size(), 40u);
            EXPECT_EQ(formats[i].size, U32(dib, 4));
            EXPECT_EQ(formats[i].size * 2, U32(dib, 8));
            EXPECT_EQ(formats[i].bits, U16(dib, 14));
            const uint32_t row = (formats[i].size * formats[i].bits + 31) / 32 * 4;
            const uint32_t maskRow = (formats[i].size + 31) / 32 * 4;
            EXPECT_EQ(40 + 4 * (1u << formats[i].bits) + (row + maskRow) * formats[i].size, dib.size());
            artwork[g].push_back(dib);
        }
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(artwork[0][i], artwork[1][i]) << "image " << i << " is the same in both groups";
}
