// The whole cleanup against whichever registry the build has.
#include "registry_test.h"

#include "../../cleanup/cleanup.h"

#include <string>

using RunCleanupTest = RegistryTest;

TEST(CleanupPlan, HoldsTheElevenTargetsInOrder)
{
    const struct
    {
        HKEY root;
        std::string path;
    } expected[] = {
        { HKEY_CLASSES_ROOT, "TSO5.Image" },
        { HKEY_CLASSES_ROOT, "TSO5.BrowserFile" },
        { HKEY_CLASSES_ROOT, "TSO5.FichierVisionneuse" },
        { HKEY_CLASSES_ROOT, "TSO5.Bild" },
        { HKEY_CLASSES_ROOT, "Imagen de TSO5" },
        { HKEY_CLASSES_ROOT, "TSO5.Archivo de examinador" },
        { HKEY_CLASSES_ROOT, "Anim.Document" },
        { HKEY_CLASSES_ROOT, "Flickard.Animation" },
        { HKEY_CLASSES_ROOT, "Image.Document" },
        { HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5" },
        { HKEY_CURRENT_USER, "software\\Orlo\\Flickard" },
    };
    ASSERT_EQ(11, CleanupTargetCount);
    for (int i = 0; i < CleanupTargetCount; ++i)
    {
        EXPECT_EQ(expected[i].root, CleanupPlan[i].root) << "row " << i + 1;
        EXPECT_EQ(expected[i].path, CleanupPlan[i].path) << "row " << i + 1;
    }
}

namespace
{
const char* const classIds[] = { "TSO5.Image", "TSO5.BrowserFile", "TSO5.FichierVisionneuse",
                                 "TSO5.Bild", "Imagen de TSO5", "TSO5.Archivo de examinador",
                                 "Anim.Document", "Flickard.Animation", "Image.Document" };
}

TEST_F(RunCleanupTest, RemovesEveryPlannedTreeAndReferenceFromBothStores)
{
    for (const char* classId : classIds)
    {
        const std::string key = classId;
        ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
            Sz(key.c_str(), "", "Document"),
            Sz((key + "\\DefaultIcon").c_str(), "", "tessaro.exe,1"),
            Sz((key + "\\shell\\open\\command").c_str(), "", "tessaro.exe \"%1\""),
        }));
    }
    // The user's own registrations: other subkeys than the machine's, in
    // other letter case.
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, {
        Sz("TSO5.IMAGE\\shell\\edit\\command", "", "tessaro.exe /edit \"%1\""), Sz("TSO5.IMAGE", "", "Mine"),
        Sz("flickard.animation\\CurVer", "", "Flickard.Animation.2"),
    }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\Orlo\\Tessaro 5\\Recent Files", "File1", "c:\\a.tso"),
        Sz("software\\Orlo\\Tessaro 5", "Zoom", "100"),
        Sz("software\\Orlo\\Flickard\\Window", "Left", "10"),
    }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".zzta", "", "TSO5.Image"), Sz(".zzta", "Content Type", "image/x-tso"),
        Sz(".zztb", "", "tso5.bild"), Sz(".zztb", "Alt", "Flickard.Animation"),
        Sz(".zztc", "", "ZZTest.Unrelated"), ExpandSz(".zztc", "Expand", "Anim.Document"),
        Sz(".zztd", "", "Image.Document "),
        Sz(".zzth", "", "software\\Orlo\\Tessaro 5"), Sz(".zzth", "Other", "SOFTWARE\\orlo\\flickard"),
        Sz("ZZTest.Unrelated", "", "TSO5.Image"),
    }));
    // .zztb in both stores; two values naming one class, one another; near
    // misses, which stay.
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, {
        Sz(".zztb", "", "TSO5.Bild"),
        Sz(".zztu", "", "TSO5.Image"), Sz(".zztu", "Alt", "tso5.image"), Sz(".zztu", "Other", "Anim.Document"),
        Sz(".zztv", "", "TSO5.Image "), ExpandSz(".zztv", "Expand", "Flickard.Animation"),
        Sz("ZZTest.Unrelated", "", "Image.Document"),
    }));
    const std::string userPaths = Dump(machineClasses, ".zzth");
    const std::string nearMisses = Dump(userClasses, ".zztv") + Dump(userClasses, "ZZTest.Unrelated");

    Engine([&] { RunCleanup(); });

    for (const CleanupTarget& target : CleanupPlan)
        EXPECT_FALSE(PlannedKeyLeft(target)) << target.path;
    EXPECT_EQ("software\\Orlo\n", Dump(HKEY_CURRENT_USER, "software\\Orlo"));
    EXPECT_EQ(".zzta\n.zzta : [Content Type] type 1 = image/x-tso\\x00\n", Dump(machineClasses, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(machineClasses, ".zztb"));
    EXPECT_EQ(".zztb\n", Dump(userClasses, ".zztb"));
    EXPECT_EQ(".zztc\n"
              ".zztc : [Expand] type 2 = Anim.Document\\x00\n"
              ".zztc : [] type 1 = ZZTest.Unrelated\\x00\n",
              Dump(machineClasses, ".zztc"));
    EXPECT_EQ(".zztd\n.zztd : [] type 1 = Image.Document \\x00\n", Dump(machineClasses, ".zztd"));
    EXPECT_EQ(userPaths, Dump(machineClasses, ".zzth")) << "only class identifiers are scrubbed";
    EXPECT_EQ("ZZTest.Unrelated\nZZTest.Unrelated : [] type 1 = TSO5.Image\\x00\n",
              Dump(machineClasses, "ZZTest.Unrelated"));
    EXPECT_EQ(".zztu\n.zztu : [Alt] type 1 = tso5.image\\x00\n", Dump(userClasses, ".zztu")) << "once per class";
    EXPECT_EQ(nearMisses, Dump(userClasses, ".zztv") + Dump(userClasses, "ZZTest.Unrelated"));
}

TEST_F(RunCleanupTest, NothingToRemoveChangesNothing)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzte", "", "ZZTest.Other") }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, { Sz("software\\ZZTest", "Kept", "1") }));
    const std::string extension = Dump(machineClasses, ".zzte");
    const std::string settings = Dump(HKEY_CURRENT_USER, "software\\ZZTest");

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(extension, Dump(machineClasses, ".zzte"));
    EXPECT_EQ(settings, Dump(HKEY_CURRENT_USER, "software\\ZZTest"));
}

TEST_F(RunCleanupTest, OnlyPlannedUserKeyGoesAndItsParentStays)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CURRENT_USER, {
        Sz("software\\Orlo\\Tessaro 5\\Tools\\Brush", "Size", "4"),
        Sz("software\\Orlo\\Tessaro 5", "Zoom", "100"),
    }));

    Engine([&] { RunCleanup(); });
    EXPECT_EQ("software\\Orlo\n", Dump(HKEY_CURRENT_USER, "software\\Orlo"));
}

TEST_F(RunCleanupTest, MissingClassKeyStillHasItsReferencesScrubbed)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zztf", "", "TSO5.Archivo de examinador") }));
    ASSERT_FALSE(PlannedKeyLeft(CleanupPlan[5]));

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(".zztf\n", Dump(machineClasses, ".zztf"));
}

TEST_F(RunCleanupTest, SecondRunRemovesOnlyTheSecondMatchLeftInAKey)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz("Imagen de TSO5", "", "Imagen"),
        Sz(".zztg", "", "Imagen de TSO5"), Sz(".zztg", "Second", "IMAGEN DE TSO5"), Sz(".zztg", "Third", "x"),
    }));

    Engine([&] { RunCleanup(); });
    EXPECT_FALSE(KeyExists(machineClasses, "Imagen de TSO5"));
    EXPECT_EQ(".zztg\n"
              ".zztg : [Second] type 1 = IMAGEN DE TSO5\\x00\n"
              ".zztg : [Third] type 1 = x\\x00\n",
              Dump(machineClasses, ".zztg"));

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(".zztg\n.zztg : [Third] type 1 = x\\x00\n", Dump(machineClasses, ".zztg"));
}

TEST_F(RunCleanupTest, DrainsTheThreadQueueWithQuitIncluded)
{
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 1, 2));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 3, 4));
    PostQuitMessage(7);

    Engine([&] { RunCleanup(); });
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "message " << msg.message << " was left";
}

// A subkey named NUL + "hidden" reads back through the A calls as "", which
// opens its parent again: it must stop only the copy or tree it is in.
TEST_F(RunCleanupTest, CutNameStopsOnlyItsOwnCopyAndTheRunGoesOn)
{
    const WideName hidden = Widen(std::string("\0hidden", 7));
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey("shell"));
    ASSERT_EQ(ERROR_SUCCESS, SeedCountedKey(userClasses, "TSO5.Image\\shell", hidden));
    ASSERT_EQ(ERROR_SUCCESS, SeedCountedKey(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\Recent", hidden));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zztw", "", "TSO5.Image") }));

    Engine([&] { RunCleanup(); });
    EXPECT_TRUE(CountedKeyExists(userClasses, "TSO5.Image\\shell", hidden));
    EXPECT_FALSE(KeyExists(machineClasses, "TSO5.Image")) << "the machine's copy of the same class";
    EXPECT_TRUE(CountedKeyExists(HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5\\Recent", hidden));
    for (int i = 1; i < CleanupTargetCount; ++i)
    {
        if (i == 9)
            continue;
        EXPECT_FALSE(PlannedKeyLeft(CleanupPlan[i])) << CleanupPlan[i].path;
    }
    EXPECT_EQ(".zztw\n", Dump(machineClasses, ".zztw"));
}
