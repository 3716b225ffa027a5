// The whole automatic run: what the operator sees, on real settings files, with the
// boxes recorded and the folder window a double.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <system_error>
#include <typeinfo>
#include <vector>

#include "app/Module1.h"
#include "tests/support/FakeInstallationFiles.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScratchDrives.h"

namespace {

using testsupport::ScratchDrives;
using testsupport::Settings;
using testsupport::SettingsFileOf;
using testsupport::ShadowOf;

const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";
const std::string kFirst = "C:\\Program Files\\TAMO\\ZEL1";
const std::string kSixth = "C:\\Program Files (x86)\\TAMO\\ZEL1";
const std::string kQuestion =
    "如冲突问题还存在, 是否ZEL检测系统安装在其他目录，请指定其他安装目录进行修复?";

class MainRun : public ::testing::Test {
 protected:
  void SetUp() override { app::FolderWindow.reset(); }
  void TearDown() override { app::FolderWindow.reset(); }

  bool WindowOpen() { return app::FolderWindow && app::FolderWindow->IsLoaded(); }

  ScratchDrives drives;
  testsupport::RecordingDialogs dialogs;
  testsupport::FakeWindows windows;
  app::ScopedFolderWindowOpener opener{windows.Opener()};
};

TEST_F(MainRun, CompleteRepairShowsTheCompletionBoxAndEnds) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  app::Main();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt,
            "系统自动修复已完成     \r\n\r\n"
            "如ZEL检测系统正在运行，请退出后重新运行检测系统     \r\n\r\n"
            "如运行后冲突问题仍然存在，请重新启动本修复程序          ");
  EXPECT_EQ(dialogs.boxes[0].caption, kTitle);
  EXPECT_EQ(dialogs.boxes[0].flags, 4160u);
  EXPECT_EQ(windows.opened, 0);
}

TEST_F(MainRun, ShadowCopyIsRepairedWithItsInstallation) {
  const std::string shadow = ShadowOf("zelfix-test-operator", kFirst);
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  drives.WriteFile(SettingsFileOf(shadow), Settings("10.1.1.1"));
  app::Main();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt.substr(0, 27), "系统自动修复已完成");
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kFirst)), Settings(app::TargetServerAddress));
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(shadow)), Settings(app::TargetServerAddress));
  // Nothing else in the profile was written, nothing was left beside the file.
  EXPECT_EQ(drives.List(testsupport::ProfileOf("zelfix-test-operator")),
            std::vector<std::string>{"AppData"});
  EXPECT_EQ(drives.List(shadow + "\\BIN"), std::vector<std::string>{"ZEL1.SYS"});
}

TEST_F(MainRun, ReadOnlyShadowCopyIsListedAsFailed) {
  const std::string shadow = ShadowOf("zelfix-test-operator", kFirst);
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  drives.WriteFile(SettingsFileOf(shadow), Settings("10.1.1.1"));
  drives.SetReadOnly(SettingsFileOf(shadow));
  app::Main();  // Enter: No
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, "检测到如下安装地址已完成修复\r\n" + kFirst + "\r\n\r\n" +
                                         "以下安装地址修复失败，请检查配置文件是否为只读\r\n" +
                                         shadow + "\r\n\r\n" + kQuestion + "     ");
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(shadow)), Settings("10.1.1.1"));
}

TEST_F(MainRun, NothingFoundWarnsThenOpensTheWindow) {
  app::Main();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, "系统没有定位到ZEL检测系统的安装目录，请指定          ");
  EXPECT_EQ(dialogs.boxes[0].flags, 4144u);
  ASSERT_EQ(windows.opened, 1);
  EXPECT_TRUE(WindowOpen());
  EXPECT_EQ(windows.Latest().shows, 1);
  EXPECT_EQ(windows.Latest().Caption(), kTitle);
}

TEST_F(MainRun, AlreadyCorrectAsksAndYesOpensTheWindow) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings(app::TargetServerAddress));
  dialogs.Answer(platform::kIdYes);
  app::Main();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt,
            "检测到如下安装地址已完成修复\r\n" + kFirst + "\r\n\r\n" + kQuestion + "     ");
  EXPECT_EQ(dialogs.boxes[0].flags, 65828u);  // Yes/No, No the default, no beep
  EXPECT_EQ(dialogs.beeps, 0);
  EXPECT_TRUE(WindowOpen());

  // The window's OK then repairs the chosen folder through the same run's template.
  windows.Latest().SetFolderPath(kFirst);
  windows.Latest().Press("cmdOK");
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].prompt.substr(0, 27), "指定目录已完成修复");
  EXPECT_FALSE(WindowOpen());
}

TEST_F(MainRun, AlreadyCorrectAndNoEndsTheRun) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings(app::TargetServerAddress));
  dialogs.Answer(platform::kIdNo);
  app::Main();
  EXPECT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(windows.opened, 0);
}

TEST_F(MainRun, FailedInstallationsAreListedApart) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  drives.SetReadOnly(SettingsFileOf(kFirst));
  drives.WriteFile(SettingsFileOf(kSixth), Settings("10.6.6.6"));
  app::Main();  // Enter: No
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, "检测到如下安装地址已完成修复\r\n" + kSixth + "\r\n\r\n" +
                                         "以下安装地址修复失败，请检查配置文件是否为只读\r\n" +
                                         kFirst + "\r\n\r\n" + kQuestion + "     ");
  EXPECT_EQ(drives.ReadFile(SettingsFileOf(kFirst)), Settings("10.1.1.1"));
  EXPECT_EQ(windows.opened, 0);
}

TEST_F(MainRun, OnlyFailuresLeaveOutTheRepairedBlock) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  drives.SetReadOnly(SettingsFileOf(kFirst));
  app::Main();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, "以下安装地址修复失败，请检查配置文件是否为只读\r\n" + kFirst +
                                         "\r\n\r\n" + kQuestion + "     ");
}

TEST_F(MainRun, AnErrorEndsTheRunWithItsDescription) {
  drives.WriteFile(SettingsFileOf(kFirst), Settings("10.1.1.1"));
  // The program's own errors keep their description; the run-time library's are told in
  // Chinese too.
  const struct {
    std::function<void()> fail;
    std::string prompt;
  } cases[] = {
      // 19 bytes in GBK, widened to the title's 27, then ten more spaces.
      {[&] { dialogs.FailNextBox(platform::RuntimeError(51, "内部错误")); },
       "发现错误 - 内部错误" + std::string(8 + 10, ' ')},
      {[&] { dialogs.FailNextBox(std::bad_alloc()); },
       "发现错误 - 内存不足" + std::string(8 + 10, ' ')},
      {[&] {
         dialogs.FailNextBox(std::filesystem::filesystem_error(
             "remove", std::make_error_code(std::errc::permission_denied)));
       },
       "发现错误 - 拒绝的权限" + std::string(6 + 10, ' ')},
      {[&] { dialogs.FailNextBox(std::bad_cast()); },
       "发现错误 - 内部错误" + std::string(8 + 10, ' ')},
  };
  for (const auto& c : cases) {
    dialogs.boxes.clear();
    c.fail();
    app::Main();
    ASSERT_EQ(dialogs.boxes.size(), 1u) << c.prompt;
    EXPECT_EQ(dialogs.boxes[0].prompt, c.prompt);
    EXPECT_EQ(dialogs.boxes[0].flags, 4112u);
    EXPECT_EQ(windows.opened, 0);
  }
}

TEST_F(MainRun, AnErrorInOneInstallationShowsItsBoxAndTheOthersAreRepaired) {
  testsupport::FakeInstallationFiles files;
  files.values = {{SettingsFileOf(kFirst), "10.1.1.1"}, {SettingsFileOf(kSixth), "10.1.1.1"}};
  files.throwOnWrite = {SettingsFileOf(kFirst)};
  const app::ScopedInstallationFiles scoped(files);
  app::Main();
  // What the operator sees is what an error ending the run showed.
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].prompt, "发现错误 - 内存不足" + std::string(8 + 10, ' '));
  EXPECT_EQ(dialogs.boxes[0].flags, 4112u);
  EXPECT_EQ(windows.opened, 0);
  EXPECT_EQ(files.values[SettingsFileOf(kFirst)], "10.1.1.1");
  EXPECT_EQ(files.values[SettingsFileOf(kSixth)], app::TargetServerAddress);
}

}  // namespace
