// The automatic repair over real settings files on the scratch drives C: to G:.
#include <gtest/gtest.h>

#include <string>

#include "app/Module1.h"
#include "common/CM_FileFolderSystem.h"
#include "tests/support/ScratchDrives.h"

namespace {

using app::Tally;
using app::TargetServerAddress;
using testsupport::ScratchDrives;
using testsupport::Settings;
using testsupport::SettingsFileOf;
using testsupport::ShadowOf;

const std::string kFirst = "C:\\Program Files\\TAMO\\ZEL1";
const std::string kSecond = "D:\\Program Files\\TAMO\\ZEL1";
const std::string kSixth = "C:\\Program Files (x86)\\TAMO\\ZEL1";
const std::string kSeventh = "D:\\Program Files (x86)\\TAMO\\ZEL1";
const std::string kTenth = "G:\\Program Files (x86)\\TAMO\\ZEL1";

std::string AddressIn(const std::string& folder) {
  return common::ReadProfileString(SettingsFileOf(folder), "web", "webserver", "<none>");
}

TEST(RepairAllInstallations, NothingInstalledTouchesNothing) {
  ScratchDrives drives;
  Tally tally;
  tally.records.resize(7, {kFirst, "1", "2", app::Outcome::kRepaired, {}, ""});  // starts afresh
  EXPECT_FALSE(app::RepairAllInstallations(tally));
  EXPECT_EQ(tally.FoundCount(), 0);
  EXPECT_EQ(tally.CorrectCount(), 0);
  EXPECT_EQ(tally.FoundList(), "");
  EXPECT_FALSE(tally.Rewritten());
  EXPECT_FALSE(drives.Exists("C:\\Program Files\\TAMO"));
}

TEST(RepairAllInstallations, FindsEachCandidateAlone) {
  // Written out here rather than taken from the program, so that a typo in any of the
  // program's texts fails.
  const char* const candidates[] = {
      "C:\\Program Files\\TAMO\\ZEL1",       "D:\\Program Files\\TAMO\\ZEL1",
      "E:\\Program Files\\TAMO\\ZEL1",       "F:\\Program Files\\TAMO\\ZEL1",
      "G:\\Program Files\\TAMO\\ZEL1",       "C:\\Program Files (x86)\\TAMO\\ZEL1",
      "D:\\Program Files (x86)\\TAMO\\ZEL1", "E:\\Program Files (x86)\\TAMO\\ZEL1",
      "F:\\Program Files (x86)\\TAMO\\ZEL1", "G:\\Program Files (x86)\\TAMO\\ZEL1",
  };
  for (const std::string folder : candidates) {
    SCOPED_TRACE(folder);
    ScratchDrives drives;
    drives.WriteFile(SettingsFileOf(folder), Settings("10.1.1.1"));
    Tally tally;
    EXPECT_TRUE(app::RepairAllInstallations(tally));
    EXPECT_EQ(tally.FoundCount(), 1);
    EXPECT_EQ(tally.CorrectCount(), 1);
    EXPECT_EQ(tally.FoundList(), folder);
    EXPECT_TRUE(tally.Rewritten());
    EXPECT_EQ(AddressIn(folder), TargetServerAddress);
  }
}

TEST(RepairAllInstallations, RewritesAnotherAddress) {
  ScratchDrives drives;
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  Tally tally;
  EXPECT_TRUE(app::RepairAllInstallations(tally));
  EXPECT_EQ(tally.FoundCount(), 1);
  EXPECT_EQ(tally.CorrectCount(), 1);
  EXPECT_EQ(tally.FoundList(), kFirst);
  EXPECT_TRUE(tally.Rewritten());
  EXPECT_EQ(AddressIn(kFirst), TargetServerAddress);
}

TEST(RepairAllInstallations, AlreadyCorrectIsNotWritten) {
  ScratchDrives drives;
  // Spacing that any rewrite would normalise: the file must come back byte for byte.
  const std::string original =
      "[web]\r\nwebserver = " + std::string(TargetServerAddress) + "\r\n\r\n[other]\r\nx=1\r\n";
  drives.WriteFile(SettingsFileOf(kTenth), original);
  Tally tally;
  EXPECT_TRUE(app::RepairAllInstallations(tally));
  EXPECT_EQ(tally.FoundCount(), 1);
  EXPECT_EQ(tally.CorrectCount(), 1);
  EXPECT_EQ(tally.FoundList(), kTenth);
  EXPECT_FALSE(tally.Rewritten());
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kTenth)), original);
}

TEST(RepairAllInstallations, ListsFoldersInCandidateOrder) {
  ScratchDrives drives;
  drives.WriteFile(SettingsFileOf(kSeventh), Settings("10.7.7.7"));
  drives.WriteFile(SettingsFileOf(kFirst), Settings(TargetServerAddress));
  // Not an installation: the settings "file" is a folder.
  drives.MakeFolder(SettingsFileOf("E:\\Program Files\\TAMO\\ZEL1"));
  Tally tally;
  app::RepairAllInstallations(tally);
  EXPECT_EQ(tally.FoundCount(), 2);
  EXPECT_EQ(tally.CorrectCount(), 2);
  EXPECT_EQ(tally.FoundList(), kFirst + "\r\n" + kSeventh);
  EXPECT_TRUE(tally.Rewritten());
}

TEST(RepairAllInstallations, ShadowCopiesFollowByProfileThenCandidate) {
  ScratchDrives drives;
  const std::string aFirst = ShadowOf("zelfix-test-a", kFirst);
  const std::string aSixth = ShadowOf("zelfix-test-a", kSixth);
  const std::string bFirst = ShadowOf("ZELFIX-TEST-B", kFirst);
  // Made in the other order; sorted without regard to case, user a comes first.
  drives.WriteFile(SettingsFileOf(bFirst), Settings("10.2.2.2"));
  drives.WriteFile(SettingsFileOf(aSixth), Settings(TargetServerAddress));
  drives.WriteFile(SettingsFileOf(aFirst), Settings("10.1.1.1"));
  drives.MakeFolder(testsupport::ProfileOf("zelfix-test-c"));  // a profile without a shadow
  drives.WriteFile(SettingsFileOf(kSixth), Settings("10.6.6.6"));
  drives.WriteFile(SettingsFileOf(kFirst), Settings(TargetServerAddress));
  Tally tally;
  app::RepairAllInstallations(tally);
  EXPECT_EQ(tally.FoundList(),
            kFirst + "\r\n" + kSixth + "\r\n" + aFirst + "\r\n" + aSixth + "\r\n" + bFirst);
  EXPECT_EQ(tally.FoundCount(), 5);
  EXPECT_EQ(tally.CorrectCount(), 5);
  EXPECT_TRUE(tally.Rewritten());
  EXPECT_EQ(AddressIn(aFirst), TargetServerAddress);
  EXPECT_EQ(AddressIn(bFirst), TargetServerAddress);
}

TEST(RepairAllInstallations, ShadowOfAMissingInstallationIsUntouched) {
  ScratchDrives drives;
  // Installed on D: only, which Windows does not virtualize: the shadows in the profile
  // belong to C: installations that are gone.
  drives.WriteFile(SettingsFileOf(kSecond), Settings("10.2.2.2"));
  const std::string old = Settings("10.1.1.1");
  drives.WriteFile(SettingsFileOf(ShadowOf("zelfix-test-a", kFirst)), old);
  drives.WriteFile(SettingsFileOf(ShadowOf("zelfix-test-a", kSixth)), old);
  Tally tally;
  app::RepairAllInstallations(tally);
  EXPECT_EQ(tally.FoundList(), kSecond);
  EXPECT_EQ(tally.FoundCount(), 1);
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(ShadowOf("zelfix-test-a", kFirst))), old);
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(ShadowOf("zelfix-test-a", kSixth))), old);
}

TEST(RepairInstallation, MissingSectionIsCreated) {
  ScratchDrives drives;
  drives.WriteFile(SettingsFileOf(kFirst), "[other]\r\nkey=value\r\n");
  Tally tally;
  EXPECT_TRUE(app::RepairInstallation(kFirst, tally));
  EXPECT_EQ(tally.CorrectCount(), 1);
  EXPECT_TRUE(tally.Rewritten());
  EXPECT_EQ(AddressIn(kFirst), TargetServerAddress);
  EXPECT_EQ(common::ReadProfileString(SettingsFileOf(kFirst), "other", "key", ""), "value");
}

TEST(RepairInstallation, ReadOnlyFileIsFoundButNotCorrect) {
  ScratchDrives drives;
  const std::string original = Settings("10.1.1.1");
  drives.WriteFile(SettingsFileOf(kFirst), original);
  drives.SetReadOnly(SettingsFileOf(kFirst));
  Tally tally;
  tally.records.push_back({kSixth, "1", TargetServerAddress, app::Outcome::kRepaired, {}, ""});
  EXPECT_FALSE(app::RepairInstallation(kFirst, tally));
  EXPECT_EQ(tally.FoundCount(), 2);
  EXPECT_EQ(tally.CorrectCount(), 1);
  EXPECT_EQ(tally.FoundList(), kSixth + "\r\n" + kFirst);
  EXPECT_EQ(tally.FailedList(), kFirst);
  EXPECT_EQ(tally.CorrectList(), kSixth);
  EXPECT_TRUE(tally.Rewritten());  // a failure never takes back an earlier repair
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kFirst)), original);
}

TEST(RepairInstallation, TrailingBackslashIsKeptInTheList) {
  ScratchDrives drives;
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  Tally tally;
  EXPECT_TRUE(app::RepairInstallation(kFirst + "\\", tally));
  EXPECT_EQ(tally.FoundList(), kFirst + "\\");
  EXPECT_EQ(tally.CorrectList(), kFirst + "\\");
}

TEST(RepairInstallation, SplitsCorrectAndFailedFolders) {
  ScratchDrives drives;
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  drives.SetReadOnly(SettingsFileOf(kFirst));
  drives.WriteFile(SettingsFileOf(kSeventh), Settings("10.7.7.7"));
  drives.WriteFile(SettingsFileOf(kTenth), Settings("10.9.9.9"));
  drives.SetReadOnly(SettingsFileOf(kTenth));
  Tally tally;
  app::RepairAllInstallations(tally);
  EXPECT_EQ(tally.FoundCount(), 3);
  EXPECT_EQ(tally.CorrectCount(), 1);
  EXPECT_EQ(tally.CorrectList(), kSeventh);
  EXPECT_EQ(tally.FailedList(), kFirst + "\r\n" + kTenth);
}

}  // namespace

TEST(CheckAllInstallations, RecordsSayBeforeAfterAndWhy) {
  for (const app::Mode mode : {app::Mode::kRepair, app::Mode::kAudit}) {
    const bool audit = mode == app::Mode::kAudit;
    SCOPED_TRACE(audit ? "audit" : "repair");
    ScratchDrives drives;
    drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
    drives.WriteFile(SettingsFileOf(kSecond), Settings("10.1.1.1"));
    drives.SetReadOnly(SettingsFileOf(kSecond));
    drives.WriteFile(SettingsFileOf(kTenth), Settings(TargetServerAddress));
    Tally tally;
    app::CheckAllInstallations(mode, tally);
    ASSERT_EQ(tally.records.size(), 3u);
    const app::InstallationRecord& first = tally.records[0];
    const app::InstallationRecord& second = tally.records[1];
    EXPECT_EQ(first.folder, kFirst);
    EXPECT_EQ(first.before, "10.1.1.1");
    EXPECT_EQ(first.after, audit ? "10.1.1.1" : TargetServerAddress);
    EXPECT_EQ(first.outcome, audit ? app::Outcome::kNeedsRepair : app::Outcome::kRepaired);
    EXPECT_EQ(first.reason.problem, platform::FileProblem::kNone);
    EXPECT_EQ(second.after, "10.1.1.1");
    EXPECT_EQ(second.outcome, audit ? app::Outcome::kNeedsRepair : app::Outcome::kWriteFailed);
    // The write's own answer, with the system's number, reaches the record.
    EXPECT_EQ(second.reason.problem,
              audit ? platform::FileProblem::kNone : platform::FileProblem::kReadOnly);
    EXPECT_EQ(second.reason.systemCode != 0, !audit);
    EXPECT_EQ(tally.records[2].outcome, app::Outcome::kAlreadyCorrect);
    EXPECT_EQ(tally.CorrectCount(), audit ? 1 : 2);
    // An audit leaves every byte as it was.
    EXPECT_EQ(drives.ReadFile(SettingsFileOf(kFirst)),
              Settings(audit ? "10.1.1.1" : TargetServerAddress));
    EXPECT_EQ(drives.ReadFile(SettingsFileOf(kSecond)), Settings("10.1.1.1"));
    drives.SetReadOnly(SettingsFileOf(kSecond), false);
  }
}
