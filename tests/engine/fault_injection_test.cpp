// Behaviour that only the host stand-in can show: the exact calls made,
// their order, the message pump's rhythm, and failures injected mid-way.
#include "registry_test.h"

#include "../../cleanup/cleanup.h"
#include "stand_in.h"

#include <string>
#include <vector>

using DeleteKeyTreeCalls = RegistryTest;
using ScrubFailures = RegistryTest;
using RunCleanupRhythm = RegistryTest;

namespace
{
const LONG STATUS_CANNOT_DELETE = static_cast<LONG>(0xC0000121);
#define HKLM_CLASSES "HKLM\\SOFTWARE\\Classes\\"  // where DeletedKeys() has the machine store

std::vector<std::string> Strings(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

}  // namespace

TEST_F(DeleteKeyTreeCalls, LeafTakesOneOpenQueryCloseAndDelete)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz("ZZTest.Leaf", "", "x") }));
    const int opens = StandIn::CallCount("RegOpenKeyExA"), closes = StandIn::CallCount("RegCloseKey");
    const int subkeyReads = StandIn::CallCount("RegEnumKeyExA"), valueReads = StandIn::CallCount("RegEnumValueA");

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Leaf"); }));
    EXPECT_EQ(opens + 1, StandIn::CallCount("RegOpenKeyExA"));
    EXPECT_EQ(closes + 1, StandIn::CallCount("RegCloseKey"));
    EXPECT_EQ(1, StandIn::CallCount("RegQueryInfoKeyA"));
    EXPECT_EQ(1, StandIn::CallCount("NtDeleteKey"));
    EXPECT_EQ(subkeyReads, StandIn::CallCount("RegEnumKeyExA"));
    EXPECT_EQ(valueReads, StandIn::CallCount("RegEnumValueA")) << "values go with their key";
}

TEST_F(DeleteKeyTreeCalls, TreeGoesBottomUpInIndexOrder)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Key("ZZTest.Tree\\C\\C1"), Key("ZZTest.Tree\\a\\A1"), Key("ZZTest.Tree\\B\\B1"),
    }));

    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_EQ(Strings({ HKLM_CLASSES "ZZTest.Tree\\a\\A1", HKLM_CLASSES "ZZTest.Tree\\a",
                        HKLM_CLASSES "ZZTest.Tree\\B\\B1", HKLM_CLASSES "ZZTest.Tree\\B",
                        HKLM_CLASSES "ZZTest.Tree\\C\\C1", HKLM_CLASSES "ZZTest.Tree\\C", HKLM_CLASSES "ZZTest.Tree" }),
              StandIn::DeletedKeys());
}

TEST_F(DeleteKeyTreeCalls, UnopenableGrandchildStopsItsAncestorsOnly)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Key("ZZTest.Tree\\A\\A1"), Key("ZZTest.Tree\\B\\B1"), Key("ZZTest.Tree\\B\\B2"), Key("ZZTest.Tree\\C\\C1"),
    }));
    StandIn::DenyWriteAccess(HKEY_LOCAL_MACHINE, "Software\\Classes\\ZZTest.Tree\\B\\B2");

    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_EQ(Strings({ HKLM_CLASSES "ZZTest.Tree\\A\\A1", HKLM_CLASSES "ZZTest.Tree\\A",
                        HKLM_CLASSES "ZZTest.Tree\\B\\B1" }),
              StandIn::DeletedKeys());
    EXPECT_EQ("ZZTest.Tree\nZZTest.Tree\\B\nZZTest.Tree\\B\\B2\nZZTest.Tree\\C\nZZTest.Tree\\C\\C1\n",
              Dump(machineClasses, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedCountQueryKeepsTheLastCount)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Key("ZZTest.Tree\\A"), Key("ZZTest.Tree\\B") }));

    // The first query fails: the count stays 0, so the key is deleted with
    // its subkeys still in it, which the registry refuses.
    StandIn::FailCall("RegQueryInfoKeyA", 1, ERROR_OUTOFMEMORY);
    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_TRUE(StandIn::DeletedKeys().empty());

    // The tree's second query (after A's own) fails: the count of 2 from its
    // first query stands, so the walk goes on to B.
    StandIn::FailCall("RegQueryInfoKeyA", 3, ERROR_OUTOFMEMORY);
    EXPECT_EQ(ERROR_SUCCESS, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_FALSE(KeyExists(machineClasses, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedSubkeyReadEndsTheDeletion)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Key("ZZTest.Tree\\A"), Key("ZZTest.Tree\\B") }));
    StandIn::FailCall("RegEnumKeyExA", 2, ERROR_OUTOFMEMORY);

    EXPECT_EQ(ERROR_OUTOFMEMORY, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }));
    EXPECT_EQ("ZZTest.Tree\nZZTest.Tree\\B\n", Dump(machineClasses, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedFinalDeletionIsReturnedWithSubkeysGone)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Key("ZZTest.Tree\\A") }));
    StandIn::FailCall("NtDeleteKey", 2, STATUS_CANNOT_DELETE);

    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([&] { return DeleteKeyTree(machineClasses, "ZZTest.Tree"); }))
        << "the native status as a Win32 code";
    EXPECT_EQ("ZZTest.Tree\n", Dump(machineClasses, "ZZTest.Tree"));
}

TEST_F(ScrubFailures, OtherEnumerationErrorsStillEndTheWalkAndTheScan)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { Sz(".zztu", "", "TSO5.Image") }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Sz(".zzta", "A", "x"), Sz(".zzta", "B", "TSO5.Image"), Sz(".zztb", "", "TSO5.Image"),
    }));
    const std::string before = Dump(machineClasses, ".zzta") + Dump(machineClasses, ".zztb");

    // After .zztu and the end of the per-user store: the failed read ends
    // the machine store's walk, and only that one.
    StandIn::FailCall("RegEnumKeyA", 3, ERROR_OUTOFMEMORY);
    Engine([&] { ScrubExtensionAssociations("TSO5.Image"); });
    EXPECT_EQ(3, StandIn::CallCount("RegEnumKeyA"));
    EXPECT_EQ(".zztu\n", Dump(userClasses, ".zztu"));

    StandIn::FailCall("RegEnumValueA", 2, ERROR_OUTOFMEMORY);  // .zzta's first value, after .zztu's end
    StandIn::FailCall("RegEnumKeyA", 4, ERROR_OUTOFMEMORY);    // the name after .zzta
    Engine([&] { ScrubExtensionAssociations("TSO5.Image"); });
    EXPECT_EQ(before, Dump(machineClasses, ".zzta") + Dump(machineClasses, ".zztb"));
}

TEST_F(ScrubFailures, UnopenableExtensionIsPassedOver)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "TSO5.Bild"), Sz(".zztb", "", "TSO5.Bild") }));
    StandIn::DenyWriteAccess(HKEY_LOCAL_MACHINE, "Software\\Classes\\.zzta");

    Engine([&] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(".zzta\n.zzta : [] type 1 = TSO5.Bild\\x00\n", Dump(machineClasses, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(machineClasses, ".zztb"));
}

TEST_F(ScrubFailures, FailedValueDeletionIsIgnoredAndTheKeyClosed)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "TSO5.Bild"), Sz(".zztb", "", "TSO5.Bild") }));
    StandIn::FailCall("RegDeleteValueA", 1, ERROR_ACCESS_DENIED);

    Engine([&] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(".zzta\n.zzta : [] type 1 = TSO5.Bild\\x00\n", Dump(machineClasses, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(machineClasses, ".zztb"));
}

TEST_F(ScrubFailures, OnlyExtensionKeysAreOpened)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, {
        Key(".zzta"), Key(".zztb"), Key("ZZTest.A"), Key("ZZTest.B"), Key("ZZTest.C"),
    }));
    const int opens = StandIn::CallCount("RegOpenKeyExA");

    Engine([&] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(opens + 4, StandIn::CallCount("RegOpenKeyExA")) << "the two stores and the two extensions";
    EXPECT_EQ(7, StandIn::CallCount("RegEnumKeyA")) << "five names and the end of each store";
}

TEST_F(RunCleanupRhythm, PumpsAfterEveryTargetOfBothPasses)
{
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey("Sub"));
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { Sz(".zztu", "", "Image.Document") }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "Image.Document") }));

    // At each drain: how many planned keys are gone from every store, and
    // are both extensions scrubbed.
    std::vector<std::string> seen;
    StandIn::OnQueueEmpty([&] {
        int gone = 0;
        for (const CleanupTarget& target : CleanupPlan)
            gone += PlannedKeyLeft(target) ? 0 : 1;
        const bool scrubbed = Dump(userClasses, ".zztu") == ".zztu\n" && Dump(machineClasses, ".zzta") == ".zzta\n";
        seen.push_back(std::to_string(gone) + (scrubbed ? " scrubbed" : ""));
    });
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(Strings({ "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                        "11", "11", "11", "11", "11", "11", "11", "11", "11 scrubbed", "11 scrubbed", "11 scrubbed" }),
              seen);
    ASSERT_EQ(1u, StandIn::DispatchedMessages().size());
    EXPECT_EQ(static_cast<UINT>(WM_APP), StandIn::DispatchedMessages()[0].message);
}

TEST_F(RunCleanupRhythm, FailingCopyDoesNotStopTheCopiesAndRowsAfterIt)
{
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey("Sub"));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "TSO5.Image"), Sz(".zztb", "", "Image.Document") }));
    StandIn::DenyWriteAccess(HKEY_LOCAL_MACHINE, "Software\\Classes\\TSO5.Image\\Sub");
    // Both TSO5.Image\Sub and TSO5.Image of the user, then TSO5.BrowserFile's
    // four keys: the last is the machine's copy, after its Sub.
    StandIn::FailCall("NtDeleteKey", 6, STATUS_CANNOT_DELETE);

    Engine([&] { RunCleanup(); });
    EXPECT_TRUE(KeyExists(machineClasses, "TSO5.Image\\Sub"));
    EXPECT_FALSE(KeyExists(userClasses, "TSO5.Image"));
    EXPECT_EQ("TSO5.BrowserFile\n", Dump(machineClasses, "TSO5.BrowserFile"));
    EXPECT_FALSE(KeyExists(userClasses, "TSO5.BrowserFile"));
    for (int i = 2; i < CleanupTargetCount; ++i)
        EXPECT_FALSE(PlannedKeyLeft(CleanupPlan[i])) << CleanupPlan[i].path;
    EXPECT_EQ(".zzta\n", Dump(machineClasses, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(machineClasses, ".zztb"));
}

TEST_F(RunCleanupRhythm, MachineStoreRefusedStillRemovesTheUsersCopies)
{
    // A user without administrator rights: the per-machine store, and all
    // below it, refuses all access.
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey("Sub"));
    ASSERT_EQ(ERROR_SUCCESS, Seed(userClasses, { Sz(".zztu", "", "TSO5.Bild") }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "TSO5.Bild") }));
    const std::string machine = Dump(HKEY_LOCAL_MACHINE, "Software\\Classes");
    StandIn::DenyWriteAccess(HKEY_LOCAL_MACHINE, "Software\\Classes");

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(machine, Dump(HKEY_LOCAL_MACHINE, "Software\\Classes"));
    for (const CleanupTarget& target : CleanupPlan)
        EXPECT_FALSE(KeyExists(target.root == HKEY_CLASSES_ROOT ? userClasses : target.root, target.path))
            << target.path;
    EXPECT_EQ(".zztu\n", Dump(userClasses, ".zztu"));
    EXPECT_EQ("software\\Orlo\n", Dump(HKEY_CURRENT_USER, "software\\Orlo"));
}

TEST_F(RunCleanupRhythm, StoreThatCannotBeOpenedIsPassedOver)
{
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey(""));
    ASSERT_EQ(ERROR_SUCCESS, Seed(machineClasses, { Sz(".zzta", "", "Image.Document") }));
    // The first open of a run is the per-user store, for TSO5.Image.
    StandIn::FailCall("RegOpenKeyExA", 1, ERROR_FILE_NOT_FOUND);

    Engine([&] { RunCleanup(); });
    EXPECT_TRUE(KeyExists(userClasses, "TSO5.Image"));
    EXPECT_FALSE(KeyExists(machineClasses, "TSO5.Image"));
    for (int i = 1; i < CleanupTargetCount; ++i)
        EXPECT_FALSE(PlannedKeyLeft(CleanupPlan[i])) << CleanupPlan[i].path;
    EXPECT_EQ(".zzta\n", Dump(machineClasses, ".zzta"));
}

TEST_F(RunCleanupRhythm, SecondRunDeletesNoKey)
{
    ASSERT_EQ(ERROR_SUCCESS, SeedEveryPlannedKey(""));

    Engine([&] { RunCleanup(); });
    EXPECT_EQ(20u, StandIn::DeletedKeys().size()) << "nine classes in two stores and two settings trees";
    Engine([&] { RunCleanup(); });
    EXPECT_EQ(20u, StandIn::DeletedKeys().size());
    EXPECT_EQ(44, StandIn::EmptyQueueCount());
}
