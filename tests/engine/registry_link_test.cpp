// The cleanup meets registry links: each is removed as itself, and nothing
// is read, enumerated or deleted through one. Against whichever registry
// the build has. Every link points at a victim outside the plan, which
// must stay exactly as it was.
#include "registry_test.h"

#include "../../cleanup/cleanup.h"
#include "../support/registry_links.h"

#include <string>

namespace
{
class RegistryLinkTest : public RegistryTest
{
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
            Sz("software\\ZZTest.Victim", "", "keep"), Sz("software\\ZZTest.Victim\\Deep", "v", "keep"),
            Key("software\\ZZTest.Victim\\Deep\\Deeper"),
        }));
        ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
            Sz("ZZTest.MachineVictim", "", "TSO5.Image"), Sz("ZZTest.MachineVictim\\shell", "", "TSO5.Image"),
            Key("ZZTest.MachineVictim\\shell\\open"),
        }));
        userVictim = Dump(HKEY_CURRENT_USER, "software\\ZZTest.Victim");
        machineVictim = Dump(machineClasses, "ZZTest.MachineVictim");
    }

    void Link(HKEY root, const char* path, HKEY targetRoot, const char* targetPath)
    {
        const std::string target = KernelPath(targetRoot, targetPath);
        ASSERT_FALSE(target.empty()) << targetPath;
        ASSERT_EQ(ERROR_SUCCESS, CreateRegistryLink(root, path, target)) << path;
    }

    void ExpectVictimsUntouched()
    {
        EXPECT_EQ(userVictim, Dump(HKEY_CURRENT_USER, "software\\ZZTest.Victim"));
        EXPECT_EQ(machineVictim, Dump(machineClasses, "ZZTest.MachineVictim"));
    }

    std::string userVictim, machineVictim;
};

const char* const Tessaro = "software\\Orlo\\Tessaro 5";
}  // namespace

TEST_F(RegistryLinkTest, LinkDeepInsideAPlannedTreeGoesAsItself)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\Orlo\\Tessaro 5\\Tools\\Brush", "Size", "4"), Key("software\\Orlo\\Tessaro 5\\Tools\\Pen"),
    }));
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\Tools\\inner", HKEY_CURRENT_USER, "software\\ZZTest.Victim");

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, Tessaro); }));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Tessaro));
    ExpectVictimsUntouched();
}

TEST_F(RegistryLinkTest, PlannedKeyThatIsALinkGoesAsItself)
{
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Flickard", HKEY_CURRENT_USER, "software\\ZZTest.Victim");
    // The user's copy of a class, pointing at a key of the machine's store.
    Link(userClasses, "Anim.Document", machineClasses, "ZZTest.MachineVictim");

    Engine([&] { RunCleanup(); });
    EXPECT_EQ("software\\Orlo\n", Dump(HKEY_CURRENT_USER, "software\\Orlo"));
    EXPECT_FALSE(KeyExists(userClasses, "Anim.Document"));
    ExpectVictimsUntouched();
}

TEST_F(RegistryLinkTest, LinkIntoTheMachineHiveGoesAsItself)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz(Tessaro, "Zoom", "100") }));
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\machine", machineClasses, "ZZTest.MachineVictim");

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, Tessaro); }));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Tessaro));
    ExpectVictimsUntouched();
}

// Beside it, an extension key whose name reads back by best fit as
// ".zztlink\\shell" would be opened through the link.
TEST_F(RegistryLinkTest, ExtensionThatIsALinkIsPassedOver)
{
    Link(machineClasses, ".zztlink", machineClasses, "ZZTest.MachineVictim");
    const WideName throughTheLink = Widen(".zztlink") + WCHAR(0xFF3C) + Widen("shell");
    ASSERT_EQ(ERROR_SUCCESS, SeedCountedKey(machineClasses, "", throughTheLink));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zztplain", "", "TSO5.Image") }));
    const std::string link = Dump(machineClasses, ".zztlink");

    Engine([&] { ScrubExtensionAssociations("TSO5.Image"); });
    EXPECT_TRUE(CountedKeyExists(machineClasses, "", throughTheLink));
    EXPECT_EQ(link, Dump(machineClasses, ".zztlink"));
    EXPECT_EQ(".zztplain\n", Dump(machineClasses, ".zztplain")) << "the walk went past the link";
    ExpectVictimsUntouched();
}

TEST_F(RegistryLinkTest, BrokenLinksGoAsLinks)
{
    // One link leads nowhere, one to itself, one along a chain of links.
    Link(HKEY_CURRENT_USER, "software\\ZZTest.Chain", HKEY_CURRENT_USER, "software\\ZZTest.Victim");
    const std::string chain = Dump(HKEY_CURRENT_USER, "software\\ZZTest.Chain");
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\dangling", HKEY_CURRENT_USER, "software\\ZZTest.None");
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\self", HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\self");
    Link(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\chained", HKEY_CURRENT_USER, "software\\ZZTest.Chain");

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(HKEY_CURRENT_USER, Tessaro); }));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Tessaro));
    EXPECT_EQ(chain, Dump(HKEY_CURRENT_USER, "software\\ZZTest.Chain"));
    ExpectVictimsUntouched();
}
