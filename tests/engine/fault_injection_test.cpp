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

std::vector<std::string> Strings(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

}  // namespace

TEST_F(DeleteKeyTreeCalls, LeafTakesOneOpenQueryCloseAndDelete)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Sz("ZZTest.Leaf", "", "x") }));
    const int opens = StandIn::CallCount("RegOpenKeyExA"), closes = StandIn::CallCount("RegCloseKey");
    const int subkeyReads = StandIn::CallCount("RegEnumKeyExA"), valueReads = StandIn::CallCount("RegEnumValueA");

    EXPECT_EQ(ERROR_SUCCESS, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Leaf"); }));
    EXPECT_EQ(opens + 1, StandIn::CallCount("RegOpenKeyExA"));
    EXPECT_EQ(closes + 1, StandIn::CallCount("RegCloseKey"));
    EXPECT_EQ(1, StandIn::CallCount("RegQueryInfoKeyA"));
    EXPECT_EQ(1, StandIn::CallCount("NtDeleteKey"));
    EXPECT_EQ(subkeyReads, StandIn::CallCount("RegEnumKeyExA"));
    EXPECT_EQ(valueReads, StandIn::CallCount("RegEnumValueA")) << "values go with their key";
}

TEST_F(DeleteKeyTreeCalls, TreeGoesBottomUpInIndexOrder)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, {
        Key("ZZTest.Tree\\C\\C1"), Key("ZZTest.Tree\\a\\A1"), Key("ZZTest.Tree\\B\\B1"),
    }));

    EXPECT_EQ(ERROR_SUCCESS, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }));
    EXPECT_EQ(Strings({ "HKCR\\ZZTest.Tree\\a\\A1", "HKCR\\ZZTest.Tree\\a", "HKCR\\ZZTest.Tree\\B\\B1",
                        "HKCR\\ZZTest.Tree\\B", "HKCR\\ZZTest.Tree\\C\\C1", "HKCR\\ZZTest.Tree\\C",
                        "HKCR\\ZZTest.Tree" }),
              StandIn::DeletedKeys());
}

TEST_F(DeleteKeyTreeCalls, UnopenableGrandchildStopsItsAncestorsOnly)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, {
        Key("ZZTest.Tree\\A\\A1"), Key("ZZTest.Tree\\B\\B1"), Key("ZZTest.Tree\\B\\B2"), Key("ZZTest.Tree\\C\\C1"),
    }));
    StandIn::DenyWriteAccess(HKEY_CLASSES_ROOT, "ZZTest.Tree\\B\\B2");

    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }));
    EXPECT_EQ(Strings({ "HKCR\\ZZTest.Tree\\A\\A1", "HKCR\\ZZTest.Tree\\A", "HKCR\\ZZTest.Tree\\B\\B1" }),
              StandIn::DeletedKeys());
    EXPECT_EQ("ZZTest.Tree\nZZTest.Tree\\B\nZZTest.Tree\\B\\B2\nZZTest.Tree\\C\nZZTest.Tree\\C\\C1\n",
              Dump(HKEY_CLASSES_ROOT, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedCountQueryKeepsTheLastCount)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Key("ZZTest.Tree\\A"), Key("ZZTest.Tree\\B") }));

    // The first query fails: the count stays 0, so the key is deleted with
    // its subkeys still in it, which the registry refuses.
    StandIn::FailCall("RegQueryInfoKeyA", 1, ERROR_OUTOFMEMORY);
    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }));
    EXPECT_TRUE(StandIn::DeletedKeys().empty());

    // The tree's second query (after A's own) fails: the count of 2 from its
    // first query stands, so the walk goes on to B.
    StandIn::FailCall("RegQueryInfoKeyA", 3, ERROR_OUTOFMEMORY);
    EXPECT_EQ(ERROR_SUCCESS, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedSubkeyReadEndsTheDeletion)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Key("ZZTest.Tree\\A"), Key("ZZTest.Tree\\B") }));
    StandIn::FailCall("RegEnumKeyExA", 2, ERROR_OUTOFMEMORY);

    EXPECT_EQ(ERROR_OUTOFMEMORY, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }));
    EXPECT_EQ("ZZTest.Tree\nZZTest.Tree\\B\n", Dump(HKEY_CLASSES_ROOT, "ZZTest.Tree"));
}

TEST_F(DeleteKeyTreeCalls, FailedFinalDeletionIsReturnedWithSubkeysGone)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Key("ZZTest.Tree\\A") }));
    StandIn::FailCall("NtDeleteKey", 2, STATUS_CANNOT_DELETE);

    EXPECT_EQ(ERROR_ACCESS_DENIED, Engine([] { return DeleteKeyTree(HKEY_CLASSES_ROOT, "ZZTest.Tree"); }))
        << "the native status as a Win32 code";
    EXPECT_EQ("ZZTest.Tree\n", Dump(HKEY_CLASSES_ROOT, "ZZTest.Tree"));
}

TEST_F(ScrubFailures, OtherEnumerationErrorsStillEndTheWalkAndTheScan)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, {
        Sz(".zzta", "A", "x"), Sz(".zzta", "B", "TSO5.Image"), Sz(".zztb", "", "TSO5.Image"),
    }));
    const std::string before = Dump(HKEY_CLASSES_ROOT, ".zzta") + Dump(HKEY_CLASSES_ROOT, ".zztb");

    StandIn::FailCall("RegEnumKeyA", 1, ERROR_OUTOFMEMORY);
    Engine([] { ScrubExtensionAssociations("TSO5.Image"); });
    EXPECT_EQ(1, StandIn::CallCount("RegEnumKeyA"));

    StandIn::FailCall("RegEnumValueA", 1, ERROR_OUTOFMEMORY);  // .zzta's first value
    StandIn::FailCall("RegEnumKeyA", 2, ERROR_OUTOFMEMORY);    // the name after .zzta
    Engine([] { ScrubExtensionAssociations("TSO5.Image"); });
    EXPECT_EQ(before, Dump(HKEY_CLASSES_ROOT, ".zzta") + Dump(HKEY_CLASSES_ROOT, ".zztb"));
}

TEST_F(ScrubFailures, UnopenableExtensionIsPassedOver)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Sz(".zzta", "", "TSO5.Bild"), Sz(".zztb", "", "TSO5.Bild") }));
    StandIn::DenyWriteAccess(HKEY_CLASSES_ROOT, ".zzta");

    Engine([] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(".zzta\n.zzta : [] type 1 = TSO5.Bild\\x00\n", Dump(HKEY_CLASSES_ROOT, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(HKEY_CLASSES_ROOT, ".zztb"));
}

TEST_F(ScrubFailures, FailedValueDeletionIsIgnoredAndTheKeyClosed)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Sz(".zzta", "", "TSO5.Bild"), Sz(".zztb", "", "TSO5.Bild") }));
    StandIn::FailCall("RegDeleteValueA", 1, ERROR_ACCESS_DENIED);

    Engine([] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(".zzta\n.zzta : [] type 1 = TSO5.Bild\\x00\n", Dump(HKEY_CLASSES_ROOT, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(HKEY_CLASSES_ROOT, ".zztb"));
}

TEST_F(ScrubFailures, OnlyExtensionKeysAreOpened)
{
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, {
        Key(".zzta"), Key(".zztb"), Key("ZZTest.A"), Key("ZZTest.B"), Key("ZZTest.C"),
    }));
    const int opens = StandIn::CallCount("RegOpenKeyExA");

    Engine([] { ScrubExtensionAssociations("TSO5.Bild"); });
    EXPECT_EQ(opens + 2, StandIn::CallCount("RegOpenKeyExA"));
    EXPECT_EQ(6, StandIn::CallCount("RegEnumKeyA")) << "five names and the end of the list";
}

TEST_F(RunCleanupRhythm, PumpsAfterEveryTargetOfBothPasses)
{
    for (const CleanupTarget& target : CleanupPlan)
        ASSERT_EQ(ERROR_SUCCESS, Seed(target.root, { Key((std::string(target.path) + "\\Sub").c_str()) }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Sz(".zzta", "", "Image.Document") }));

    // At each drain: how many planned keys are gone, and is .zzta scrubbed.
    std::vector<std::string> seen;
    StandIn::OnQueueEmpty([&] {
        int gone = 0;
        for (const CleanupTarget& target : CleanupPlan)
            gone += KeyExists(target.root, target.path) ? 0 : 1;
        seen.push_back(std::to_string(gone) + (Dump(HKEY_CLASSES_ROOT, ".zzta") == ".zzta\n" ? " scrubbed" : ""));
    });
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);

    Engine([] { RunCleanup(); });
    EXPECT_EQ(Strings({ "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                        "11", "11", "11", "11", "11", "11", "11", "11", "11 scrubbed", "11 scrubbed", "11 scrubbed" }),
              seen);
    ASSERT_EQ(1u, StandIn::DispatchedMessages().size());
    EXPECT_EQ(static_cast<UINT>(WM_APP), StandIn::DispatchedMessages()[0].message);
}

TEST_F(RunCleanupRhythm, FailingRowDoesNotStopTheRowsAfterIt)
{
    for (const CleanupTarget& target : CleanupPlan)
        ASSERT_EQ(ERROR_SUCCESS, Seed(target.root, { Key((std::string(target.path) + "\\Sub").c_str()) }));
    ASSERT_EQ(ERROR_SUCCESS, Seed(HKEY_CLASSES_ROOT, { Sz(".zzta", "", "TSO5.Image"), Sz(".zztb", "", "Image.Document") }));
    StandIn::DenyWriteAccess(HKEY_CLASSES_ROOT, "TSO5.Image\\Sub");
    StandIn::FailCall("NtDeleteKey", 2, STATUS_CANNOT_DELETE);  // TSO5.BrowserFile, after its Sub

    Engine([] { RunCleanup(); });
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "TSO5.Image\\Sub"));
    EXPECT_EQ("TSO5.BrowserFile\n", Dump(HKEY_CLASSES_ROOT, "TSO5.BrowserFile"));
    for (int i = 2; i < CleanupTargetCount; ++i)
        EXPECT_FALSE(KeyExists(CleanupPlan[i].root, CleanupPlan[i].path)) << CleanupPlan[i].path;
    EXPECT_EQ(".zzta\n", Dump(HKEY_CLASSES_ROOT, ".zzta"));
    EXPECT_EQ(".zztb\n", Dump(HKEY_CLASSES_ROOT, ".zztb"));
}

TEST_F(RunCleanupRhythm, SecondRunDeletesNoKey)
{
    for (const CleanupTarget& target : CleanupPlan)
        ASSERT_EQ(ERROR_SUCCESS, Seed(target.root, { Key(target.path) }));

    Engine([] { RunCleanup(); });
    EXPECT_EQ(11u, StandIn::DeletedKeys().size());
    Engine([] { RunCleanup(); });
    EXPECT_EQ(11u, StandIn::DeletedKeys().size());
    EXPECT_EQ(44, StandIn::EmptyQueueCount());
}
