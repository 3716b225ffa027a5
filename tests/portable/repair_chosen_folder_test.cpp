// The repair of a folder chosen in the folder window, on real settings files on the
// scratch drives, with the boxes recorded instead of shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Module1.h"
#include "common/CM_FileFolderSystem.h"
#include "messages/CM_MessageControl.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScratchDrives.h"

namespace {

using app::TargetServerAddress;
using testsupport::RecordingDialogs;
using testsupport::ScratchDrives;
using testsupport::Settings;
using testsupport::SettingsFileOf;

const std::string kInstallation = "D:\\Program Files\\TAMO\\ZEL1";
const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";
const std::string kTrailer(10, ' ');

// Written out in full rather than composed, so that a wrong template shows up here.
const std::string kCompletion =
    "指定目录已完成修复     \r\n\r\n如ZEL检测系统正在运行，请退出后重新运行检测系统     "
    "\r\n\r\n如运行后冲突问题仍然存在，请重新启动本修复程序" +
    kTrailer;

std::string NotByName(const std::string& folder) {  // message A: note the space
  return "指定目录非ZEL检测程序安装目录 \r\n\r\n" + folder + kTrailer;
}
std::string NoSettingsFile(const std::string& folder) {  // message B
  return "指定目录非ZEL检测程序安装目录\r\n\r\n" + folder + kTrailer;
}

class RepairChosenFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTitle_ = messages::MessageTitle();
    savedTemplate_ = app::AdviceTemplate;
    // As Main leaves them.
    messages::SetMessageTitle(app::kMessageTitle);
    app::AdviceTemplate = app::ComposeAdviceTemplate();
  }
  void TearDown() override {
    messages::SetMessageTitle(savedTitle_);
    app::AdviceTemplate = savedTemplate_;
  }

  std::string AddressIn(const std::string& folder) {
    return common::ReadProfileString(SettingsFileOf(folder), "web", "webserver", "<none>");
  }

  ScratchDrives drives;
  RecordingDialogs dialogs;

 private:
  std::string savedTitle_;
  std::string savedTemplate_;
};

TEST_F(RepairChosenFolder, FoldersThatStandForTheInstallationRepairIt) {
  const std::vector<std::string> chosen = {
      "D:\\Program Files\\TAMO",
      "D:\\Program Files\\Tamo",
      "D:\\Program Files\\tamo\\",
      "D:\\Program Files\\TAMO\\ZEL1",
      "D:\\Program Files\\TAMO\\zel1\\",
      "D:\\Program Files\\TAMO\\ZEL1\\BIN",
      "D:\\Program Files\\TAMO\\ZEL1\\Bin\\",
  };
  for (const std::string& folder : chosen) {
    drives.WriteFile(SettingsFileOf(kInstallation), Settings("10.1.1.1"));
    RecordingDialogs local;
    EXPECT_TRUE(app::RepairChosenFolder(folder)) << folder;
    EXPECT_EQ(AddressIn(kInstallation), TargetServerAddress) << folder;
    ASSERT_EQ(local.boxes.size(), 1u) << folder;
    EXPECT_EQ(local.boxes[0].prompt, kCompletion) << folder;
    EXPECT_EQ(local.boxes[0].caption, kTitle);
    EXPECT_EQ(local.boxes[0].flags, 4160u) << folder;
  }
}

TEST_F(RepairChosenFolder, AlreadyCorrectIsCompleteAndUntouched) {
  const std::string original = "[web]\r\nwebserver = " + std::string(TargetServerAddress) + "\r\n";
  drives.WriteFile(SettingsFileOf(kInstallation), original);
  EXPECT_TRUE(app::RepairChosenFolder(kInstallation));
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kInstallation)), original);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, kCompletion);
}

TEST_F(RepairChosenFolder, OtherNamesAreRefusedWithoutLooking) {
  // Each holds a settings file where a careless check might look; none may be touched.
  const std::string scratch = ScratchDrives::Scratch();
  const std::vector<std::string> installed = {scratch, scratch + "\\Data", scratch + "\\TAMO1"};
  const std::string original = Settings("10.1.1.1");
  for (const std::string& folder : installed) {
    drives.WriteFile(SettingsFileOf(folder), original);
  }
  const std::vector<std::string> chosen = {scratch, scratch + "\\Data", scratch + "\\Data\\",
                                           scratch + "\\TAMO1", scratch + "\\Data\\\\"};
  for (const std::string& folder : chosen) {
    RecordingDialogs local;
    EXPECT_FALSE(app::RepairChosenFolder(folder)) << folder;
    ASSERT_EQ(local.boxes.size(), 1u) << folder;
    EXPECT_EQ(local.boxes[0].prompt, NotByName(folder)) << folder;
    EXPECT_EQ(local.boxes[0].flags, 4112u) << folder;
  }
  for (const std::string& folder : installed) {
    EXPECT_EQ(drives.ReadFile(SettingsFileOf(folder)), original) << folder;
  }
}

TEST_F(RepairChosenFolder, MissingSettingsFileIsReportedWithTheFolderAsPassed) {
  // TAMO and BIN must not be checked as installations themselves: a settings file there
  // does not count.
  const std::string original = Settings("10.1.1.1");
  drives.WriteFile(SettingsFileOf("E:\\Program Files\\TAMO"), original);
  drives.WriteFile(SettingsFileOf("E:\\Program Files\\TAMO\\ZEL1\\BIN"), original);
  const std::vector<std::string> chosen = {
      "E:\\Program Files\\TAMO",       "E:\\Program Files\\TAMO\\",
      "E:\\Program Files\\TAMO\\ZEL1", "E:\\Program Files\\TAMO\\ZEL1\\BIN",
      "F:\\Nothing\\ZEL1\\",           "BIN",
  };
  for (const std::string& folder : chosen) {
    RecordingDialogs local;
    EXPECT_FALSE(app::RepairChosenFolder(folder)) << folder;
    ASSERT_EQ(local.boxes.size(), 1u) << folder;
    EXPECT_EQ(local.boxes[0].prompt, NoSettingsFile(folder)) << folder;
    EXPECT_EQ(local.boxes[0].flags, 4112u) << folder;
  }
  EXPECT_EQ(drives.ReadFile(SettingsFileOf("E:\\Program Files\\TAMO")), original);
  EXPECT_EQ(drives.ReadFile(SettingsFileOf("E:\\Program Files\\TAMO\\ZEL1\\BIN")), original);
}

TEST_F(RepairChosenFolder, ReadOnlySettingsFileIsAFailure) {
  const std::string original = Settings("10.1.1.1");
  drives.WriteFile(SettingsFileOf(kInstallation), original);
  drives.SetReadOnly(SettingsFileOf(kInstallation));
  const std::string chosen = "D:\\Program Files\\TAMO\\";
  EXPECT_FALSE(app::RepairChosenFolder(chosen));
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kInstallation)), original);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt,
            "指定目录修复失败\r\n\r\nD:\\Program Files\\TAMO\\\r\n\r\n"
            "请检查配置文件是否为只读，或以管理员身份重新运行本修复程序" +
                kTrailer);
  EXPECT_EQ(dialogs.boxes[0].flags, 4112u);
  EXPECT_EQ(dialogs.beeps, 1);
  drives.SetReadOnly(SettingsFileOf(kInstallation), false);
}

}  // namespace
