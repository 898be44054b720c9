// Extension association scrub against whichever registry the build has.
#include "registry_test.h"

#include "../../cleanup/cleanup.h"
#include "../support/registry_links.h"

#include <string>

using ScrubTest = RegistryTest;

namespace
{
void Scrub(const char* classId)
{
    ScrubExtensionAssociations(classId);
}
}

TEST_F(ScrubTest, RemovesTheMatchingDefaultValueWhateverItsCase)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".zzt1", "", "tso5.image"), Sz(".zzt1", "Content Type", "image/x-tso"),
        Sz(".zzt1\\ShellNew", "NullFile", ""),
    }));

    Engine([&] { Scrub("TSO5.Image"); });
    EXPECT_EQ(".zzt1\n"
              ".zzt1 : [Content Type] type 1 = image/x-tso\\x00\n"
              ".zzt1\\ShellNew\n"
              ".zzt1\\ShellNew : [NullFile] type 1 = \\x00\n",
              Dump(machineClasses, ".zzt1"));
}

TEST_F(ScrubTest, RemovesOneMatchPerKeyAndCall)
{
    // Created in name order, so Windows' creation order and Wine's name
    // order agree on which match comes first. In .zzt2b another value
    // stands between the two matches.
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".zzt2", "", "Anim.Document"), Sz(".zzt2", "Alt", "ANIM.DOCUMENT"), Sz(".zzt2", "Other", "x"),
        Sz(".zzt2b", "", "Anim.Document"), Sz(".zzt2b", "Middle", "x"), Sz(".zzt2b", "Zed", "anim.document"),
    }));

    Engine([&] { Scrub("Anim.Document"); });
    EXPECT_EQ(".zzt2\n"
              ".zzt2 : [Alt] type 1 = ANIM.DOCUMENT\\x00\n"
              ".zzt2 : [Other] type 1 = x\\x00\n",
              Dump(machineClasses, ".zzt2"));
    EXPECT_EQ(".zzt2b\n"
              ".zzt2b : [Middle] type 1 = x\\x00\n"
              ".zzt2b : [Zed] type 1 = anim.document\\x00\n",
              Dump(machineClasses, ".zzt2b"));

    Engine([&] { Scrub("Anim.Document"); });
    EXPECT_EQ(".zzt2\n"
              ".zzt2 : [Other] type 1 = x\\x00\n",
              Dump(machineClasses, ".zzt2"));
}

TEST_F(ScrubTest, LeavesKeyInPlaceWhenItEmpties)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzt3", "", "Image.Document") }));

    Engine([&] { Scrub("Image.Document"); });
    EXPECT_EQ(".zzt3\n", Dump(machineClasses, ".zzt3"));
}

TEST_F(ScrubTest, OnlyRegSzDataEqualToTheClassMatches)
{
    const char binary[] = "TSO5.Bild";
    const char unterminated[] = { 'T', 'S', 'O', '5', '.', 'B', 'i', 'l', 'd' };
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        ExpandSz(".zzt4", "a expand", "TSO5.Bild"),
        Sz(".zzt4", "b longer", "TSO5.Bild "),
        Sz(".zzt4", "c shorter", "TSO5.Bil"),
        Sz(".zzt4", "d prefixed", "xTSO5.Bild"),
    }));
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(machineClasses, ".zzt4", "f binary", REG_BINARY, binary, sizeof binary));
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(machineClasses, ".zzt5", "", REG_SZ, unterminated, sizeof unterminated));
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(machineClasses, ".zzt6", "", REG_SZ, "tso5.bild\0tail", 15));
    const std::string nearMisses = Dump(machineClasses, ".zzt4");

    Engine([&] { Scrub("TSO5.Bild"); });
    EXPECT_EQ(nearMisses, Dump(machineClasses, ".zzt4"));
    // Data ends at its length when it has no NUL, and at its first NUL.
    EXPECT_EQ(".zzt5\n", Dump(machineClasses, ".zzt5"));
    EXPECT_EQ(".zzt6\n", Dump(machineClasses, ".zzt6"));
}

TEST_F(ScrubTest, OnlyKeysStartingWithADotAreExtensions)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".", "", "TSO5.Image"),
        Sz("ZZTest.ext", "", "TSO5.Image"),
        Sz(".zzt7\\.inner", "", "TSO5.Image"),
    }));

    Engine([&] { Scrub("TSO5.Image"); });
    EXPECT_EQ(".\n", Dump(machineClasses, "."));
    EXPECT_EQ("ZZTest.ext\nZZTest.ext : [] type 1 = TSO5.Image\\x00\n", Dump(machineClasses, "ZZTest.ext"));
    // Only direct subkeys of a store are looked at.
    EXPECT_EQ(".zzt7\n.zzt7\\.inner\n.zzt7\\.inner : [] type 1 = TSO5.Image\\x00\n",
              Dump(machineClasses, ".zzt7"));
    DeleteTreeSparingLinkTargets(machineClasses, ".");
}

// A name or value too large for the scrub's buffers cannot be a reference to
// a class; it must not hide the extension keys and values after it.
TEST_F(ScrubTest, LongSubkeyNameDoesNotEndTheWalk)
{
    const std::string fits = ".zzta" + std::string(94, 'a');     // 99 characters
    const std::string tooLong = ".zztb" + std::string(95, 'b');  // 100 characters
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(fits.c_str(), "", "Flickard.Animation"),
        Sz(tooLong.c_str(), "", "Flickard.Animation"),
        Sz(".zztc", "", "Flickard.Animation"),
    }));

    Engine([&] { Scrub("Flickard.Animation"); });
    EXPECT_EQ(fits + "\n", Dump(machineClasses, fits.c_str()));
    EXPECT_EQ(tooLong + "\n" + tooLong + " : [] type 1 = Flickard.Animation\\x00\n",
              Dump(machineClasses, tooLong.c_str()));
    EXPECT_EQ(".zztc\n", Dump(machineClasses, ".zztc"));
}

TEST_F(ScrubTest, LongValueDoesNotEndTheScan)
{
    const std::string longData = std::string(100, 'd');  // 101 bytes with its NUL
    const std::string longName = "A" + std::string(99, 'n');  // 100 characters
    const std::string longestName = "A" + std::string(98, 'n');  // 99 characters, read normally
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".zzt8", "A", longData.c_str()), Sz(".zzt8", "B", "TSO5.BrowserFile"),
        Sz(".zzt9", longName.c_str(), "TSO5.BrowserFile"), Sz(".zzt9", "B", "TSO5.BrowserFile"),
        Sz(".zzt11", longestName.c_str(), "TSO5.BrowserFile"),
    }));

    Engine([&] { Scrub("TSO5.BrowserFile"); });
    EXPECT_EQ(".zzt8\n.zzt8 : [A] type 1 = " + longData + "\\x00\n", Dump(machineClasses, ".zzt8"));
    EXPECT_EQ(".zzt9\n.zzt9 : [" + longName + "] type 1 = TSO5.BrowserFile\\x00\n",
              Dump(machineClasses, ".zzt9"));
    EXPECT_EQ(".zzt11\n", Dump(machineClasses, ".zzt11"));
}

TEST_F(ScrubTest, ClassOfExactlyBufferSizeStillMatches)
{
    // 99 characters and a NUL fill the 100-byte data buffer exactly.
    const std::string classId = "ZZTest." + std::string(92, 'c');
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzt10", "", classId.c_str()) }));

    Engine([&] { Scrub(classId.c_str()); });
    EXPECT_EQ(".zzt10\n", Dump(machineClasses, ".zzt10"));
}

// A value whose name the A calls cannot give back (cut at a NUL, or with a
// character outside the code page read as '?') names a class; deleting by
// the name as read would delete the value beside it instead. It is still
// the key's match for this call: a true match after it stays.
TEST_F(ScrubTest, ValueWhoseNameReadsBackAsAnotherIsPassedOver)
{
    const WideName outsideCodePage = Widen("m") + static_cast<WCHAR>(0x4E2D);
    const struct
    {
        const char* key;
        SeedValue beside;  // named as the counted name reads back
        WideName name;
    } cases[] = {
        { ".zzt12", Sz(".zzt12", "", "Other.Class"), Widen(std::string("\0x", 2)) },
        { ".zzt13", Sz(".zzt13", "Keep", "Other.Class"), Widen(std::string("Keep\0hidden", 11)) },
        { ".zzt14", Sz(".zzt14", "m?", "Other.Class"), outsideCodePage },
        // Read back by that name, a namesake of another type that names the
        // class is no match either.
        { ".zzt15", ExpandSz(".zzt15", "m?", "TSO5.Image"), outsideCodePage },
    };
    std::string before[4];
    for (int i = 0; i < 4; ++i)
    {
        ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { cases[i].beside }));
        ASSERT_EQ(ERROR_SUCCESS, SeedCountedValue(userClasses, cases[i].key, cases[i].name, "TSO5.Image"));
        ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { Sz(cases[i].key, "zz later", "TSO5.Image") }));
        before[i] = Dump(userClasses, cases[i].key);
    }

    Engine([&] { Scrub("TSO5.Image"); });
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(before[i], Dump(userClasses, cases[i].key));
}
