// Key-tree deletion against whichever registry the build has: the host
// stand-in, or Wine's registry in the win64 build.
#include "registry_test.h"

#include "../../cleanup/cleanup.h"
#include "../support/registry_links.h"

#include <string>

using DeleteKeyTreeTest = RegistryTest;

TEST_F(DeleteKeyTreeTest, KeyWithoutSubkeysGoesWithItsValues)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz("ZZTest.Leaf", "", "x"), Sz("ZZTest.Leaf", "Other", "y") }));

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Leaf"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Leaf"));
}

TEST_F(DeleteKeyTreeTest, WholeTreeGoesAndSiblingsStay)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz("ZZTest.Tree\\A\\A1", "", "a1"), Sz("ZZTest.Tree\\B\\B1", "v", "b1"),
        Sz("ZZTest.Tree\\C\\C1", "", "c1"), Sz("ZZTest.Tree", "", "root"),
        Sz("ZZTest.TreeSibling\\Inner", "", "stays"),
    }));
    const std::string sibling = Dump(machineClasses, "ZZTest.TreeSibling");

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Tree"));
    EXPECT_EQ(sibling, Dump(machineClasses, "ZZTest.TreeSibling"));
}

TEST_F(DeleteKeyTreeTest, DeepAndWideTreeGoes)
{
    std::string path = "ZZTest.Deep";
    for (int level = 0; level < 12; ++level)
    {
        for (char sibling : { 'a', 'b', 'c' })
            ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz((path + "\\" + sibling).c_str(), "", "v") }));
        path += "\\b";
    }

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Deep"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Deep"));
}

TEST_F(DeleteKeyTreeTest, LongestNamesAndDeepestTreeGo)
{
    // 255 characters and the NUL fill what a name can take.
    ASSERT_EQ(ERROR_SUCCESS, SeedLevels(machineClasses, "ZZTest.Long", { std::string(255, 'n'), "x" }));
    // 512 levels, the deepest tree Windows holds.
    ASSERT_EQ(ERROR_SUCCESS, SeedLevels(machineClasses, "ZZTest.Deepest", std::vector<std::string>(511, "d")));

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Long"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Long"));
    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Deepest"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Deepest"));
}

TEST_F(DeleteKeyTreeTest, MultiLevelPathDeletesOnlyItsLastLevel)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\ZZTest\\Tessaro 5\\Recent", "1", "a.tso"),
        Sz("software\\ZZTest\\Tessaro 5", "Zoom", "100"),
        Sz("software\\ZZTest", "Kept", "yes"),
    }));

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, "software\\ZZTest\\Tessaro 5"); }));
    EXPECT_EQ("software\\ZZTest\n"
              "software\\ZZTest : [Kept] type 1 = yes\\x00\n",
              Dump(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(DeleteKeyTreeTest, MissingPathReturnsTheOpenErrorAndChangesNothing)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest\\Present", "", "x") }));
    const std::string before = Dump(HKEY_CURRENT_USER, "software\\ZZTest");

    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, "software\\ZZTest\\Absent"); }));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, "software\\ZZTest\\Absent\\Deeper"); }));
    EXPECT_EQ(before, Dump(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(DeleteKeyTreeTest, NamesAreMatchedWithoutCase)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("Software\\ZZTest\\Flickard\\Sub", "", "x") }));

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, "software\\zztest\\FLICKARD"); }));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\ZZTest\\Flickard"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\ZZTest"));
}

// Names written through the native calls, which the A calls give back cut at
// a NUL or changed by best fit: opened by the name as read, an empty one is
// the key itself (endless recursion), "Keep" another key, and "Link\\y" a
// path through the link beside it, which Windows lists after the name when
// the link is volatile and the name stable.
TEST_F(DeleteKeyTreeTest, SubkeyWithACutNameStopsItsAncestorsOnly)
{
    const struct
    {
        const char* what;
        WideName name;
    } cases[] = {
        { "NUL first", Widen(std::string("\0hidden", 7)) },
        { "NUL inside", Widen(std::string("Keep\0hidden", 11)) },
        { "a backslash by best fit", Widen("Link") + WCHAR(0xFF3C) + Widen("y") },
    };
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest.Victim\\y", "", "keep") }));
    const std::string victim = Dump(HKEY_CURRENT_USER, "software\\ZZTest.Victim");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, {
            Sz("ZZTest.Cut\\A\\A1", "", "gone first"), Sz("ZZTest.Cut\\Sub\\Keep", "", "a sibling"),
        }));
        ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(userClasses, "ZZTest.Cut\\Sub\\Link",
                                                    KernelPath(HKEY_CURRENT_USER, "software\\ZZTest.Victim"),
                                                    REG_OPTION_VOLATILE));
        ASSERT_EQ(ERROR_SUCCESS, SeedCountedKey(userClasses, "ZZTest.Cut\\Sub", c.name));

        EXPECT_EQ(ERROR_INVALID_NAME, Engine([&] { return DeleteKeyTree(userClasses, "ZZTest.Cut"); }));
        EXPECT_TRUE(CountedKeyExists(userClasses, "ZZTest.Cut\\Sub", c.name));
        EXPECT_FALSE(KeyExists(userClasses, "ZZTest.Cut\\A")) << "deleted before the cut name was reached";
        EXPECT_EQ(victim, Dump(HKEY_CURRENT_USER, "software\\ZZTest.Victim"));
        DeleteTreeSparingLinkTargets(userClasses, "ZZTest.Cut");
    }
}
