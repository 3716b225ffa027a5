// The folder selection window's logic, through a test double of the platform window
// over the scratch drives, with the repair routine and the message boxes recorded.
#include "ui/frmfixPath.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/CM_GeneralRoutines.h"
#include "messages/CM_MessageControl.h"
#include "platform/error.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScopedCurrentFolder.h"
#include "tests/support/ScratchDrives.h"

namespace {

using testsupport::FakeWindow;

const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";
const std::string kTamo = "C:\\zelfix-test\\TAMO";
const std::string kZel1 = kTamo + "\\ZEL1";
const std::string kBin = kZel1 + "\\BIN";

class FolderWindow : public testing::Test {
 protected:
  FolderWindow() {
    drives.MakeFolder(kBin);
    drives.MakeFolder(kZel1 + "\\LOG");
    drives.MakeFolder("D:\\work\\sub");
    current.emplace(drives, "D:\\work");
    messages::SetMessageTitle(kTitle);
  }

  // Shows the window open on `folder`, as the operator finds it.
  FakeWindow& ShowOn(const std::string& folder) {
    form.Show();
    windows.Latest().SetFolderPath(folder);
    return windows.Latest();
  }

  testsupport::ScratchDrives drives;
  std::optional<testsupport::ScopedCurrentFolder> current;
  testsupport::RecordingDialogs dialogs;
  testsupport::FakeWindows windows;
  std::vector<std::string> repaired;  // every folder handed to the repair routine
  bool repairAnswer = true;
  bool repairError = false;  // the repair routine raises instead of answering
  ui::frmfixPath form{[this](std::string Folder) {
                        repaired.push_back(Folder);
                        if (repairError) {
                          throw platform::PathNotFoundError();
                        }
                        return repairAnswer;
                      },
                      windows.Opener()};
};

TEST_F(FolderWindow, LoadsWithTheMessageTitleAndShowsOnce) {
  form.Show();
  FakeWindow& window = windows.Latest();
  EXPECT_EQ(window.captions, std::vector<std::string>{kTitle});
  EXPECT_EQ(window.shows, 1);
  form.Show();
  EXPECT_EQ(windows.opened, 1);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FolderWindow, OkWithoutAClickRepairsTheOpenFolder) {
  FakeWindow& window = ShowOn(kZel1);
  window.Press("cmdOK");
  EXPECT_EQ(repaired, std::vector<std::string>{kZel1});
  EXPECT_FALSE(window.IsLoaded());
  EXPECT_FALSE(form.IsLoaded());
}

TEST_F(FolderWindow, ClickedParentGoesToThePathFieldAndToTheRepair) {
  FakeWindow& window = ShowOn(kZel1);
  window.Click(-2);
  EXPECT_EQ(window.Text("txtPath"), kTamo);
  window.Press("cmdOK");
  EXPECT_EQ(repaired, std::vector<std::string>{kTamo});
}

TEST_F(FolderWindow, ClickedSubfolderIsRepairedWhileItsParentStaysOpen) {
  FakeWindow& window = ShowOn(kZel1);
  window.Click(0);  // BIN, before LOG
  EXPECT_EQ(window.Text("txtPath"), kBin);
  window.Press("cmdOK");
  EXPECT_EQ(repaired, std::vector<std::string>{kBin});
  EXPECT_EQ(window.FolderPath(), kZel1);
}

TEST_F(FolderWindow, PathFieldIsNeverRead) {
  FakeWindow& window = ShowOn(kZel1);
  window.SetText("txtPath", "D:\\typed by the operator");
  window.Press("cmdOK");
  EXPECT_EQ(repaired, std::vector<std::string>{kZel1});
}

TEST_F(FolderWindow, DoubleClickOpensAndLeavesThePathField) {
  FakeWindow& window = ShowOn(kZel1);
  window.DoubleClick(0);
  EXPECT_EQ(window.FolderPath(), kBin);
  EXPECT_EQ(window.Text("txtPath"), "");
  EXPECT_TRUE(window.textsSet.empty());

  window.Click(-2);        // ZEL1
  window.DoubleClick(-3);  // TAMO
  EXPECT_EQ(window.FolderPath(), kTamo);
  EXPECT_EQ(window.Text("txtPath"), kZel1);
  // The opened folder is highlighted: OK takes it.
  window.Press("cmdOK");
  EXPECT_EQ(repaired, std::vector<std::string>{kTamo});
}

TEST_F(FolderWindow, DriveChangeOpensThatDriveUnlessItHasNoMedium) {
  FakeWindow& window = ShowOn(kZel1);
  window.ChooseDrive("e:");
  EXPECT_EQ(window.FolderPath(), "E:\\");
  window.ChooseDrive("d:");  // the current folder is on D:
  EXPECT_EQ(window.FolderPath(), "D:\\work");

  window.SetFolderPath(kZel1);
  window.Click(0);
  EXPECT_NO_THROW(window.ChooseDrive("h:"));
  EXPECT_EQ(window.Drive(), "h:");
  EXPECT_EQ(window.FolderPath(), kZel1);
  EXPECT_EQ(window.HighlightedFolderIndex(), 0);
  EXPECT_EQ(window.Text("txtPath"), kBin);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_TRUE(window.IsLoaded());
}

TEST_F(FolderWindow, RepairAnsweringFalseLeavesEverythingAsItWas) {
  repairAnswer = false;
  FakeWindow& window = ShowOn(kZel1);
  window.Click(-2);
  const std::string drive = window.Drive();
  window.Press("cmdOK");
  window.Press("cmdOK");
  EXPECT_EQ(repaired, (std::vector<std::string>{kTamo, kTamo}));
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_EQ(window.Drive(), drive);
  EXPECT_EQ(window.FolderPath(), kZel1);
  EXPECT_EQ(window.HighlightedFolderIndex(), -2);
  EXPECT_EQ(window.Text("txtPath"), kTamo);
  EXPECT_EQ(window.Caption(), kTitle);
  // The repair routine tells the operator itself; the window adds no box.
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FolderWindow, ErrorInTheRepairIsShownAndTheWindowStays) {
  repairError = true;
  FakeWindow& window = ShowOn(kZel1);
  window.Click(0);
  EXPECT_NO_THROW(window.Press("cmdOK"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(common::TrimSpaces(dialogs.boxes[0].prompt), "发现错误 - 路径未找到");
  EXPECT_EQ(dialogs.boxes[0].caption, kTitle);
  EXPECT_EQ(dialogs.boxes[0].flags & platform::kMbIconMask, platform::kMbIconHand);
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_EQ(window.FolderPath(), kZel1);
  EXPECT_EQ(window.HighlightedFolderIndex(), 0);
}

TEST_F(FolderWindow, CancelUnloadsWithoutRepairing) {
  FakeWindow& window = ShowOn(kZel1);
  window.Click(0);
  window.Press("Command2");
  EXPECT_FALSE(window.IsLoaded());
  EXPECT_TRUE(repaired.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FolderWindow, InitSystemSetsTheCaptionOnlyWhenNotBlank) {
  EXPECT_TRUE(form.InitSystem(kZel1, ""));
  EXPECT_TRUE(form.InitSystem(kZel1, "   "));
  FakeWindow& window = windows.Latest();
  EXPECT_EQ(window.captions, std::vector<std::string>{kTitle});
  EXPECT_TRUE(form.InitSystem(kZel1, "  另一个标题 "));
  EXPECT_EQ(window.Caption(), "  另一个标题 ");
  // Presetting loads the window without showing it; Show then uses that window.
  EXPECT_EQ(window.shows, 0);
  form.Show();
  EXPECT_EQ(windows.opened, 1);
  EXPECT_EQ(window.shows, 1);
}

TEST_F(FolderWindow, InitSystemOpensAnExistingFolderOnItsDrive) {
  drives.MakeFolder("E:\\Program Files\\TAMO\\ZEL1");
  EXPECT_TRUE(form.InitSystem("E:\\Program Files\\TAMO\\ZEL1", ""));
  FakeWindow& window = windows.Latest();
  EXPECT_EQ(window.Drive().substr(0, 2), "e:");
  EXPECT_EQ(window.FolderPath(), "E:\\Program Files\\TAMO\\ZEL1");
  // An empty folder given with a trailing backslash exists too.
  drives.MakeFolder("F:\\empty");
  EXPECT_TRUE(form.InitSystem("F:\\empty\\", ""));
  EXPECT_EQ(window.Drive().substr(0, 2), "f:");
  EXPECT_EQ(window.FolderPath(), "F:\\empty");
}

TEST_F(FolderWindow, InitSystemFallsBackToDriveC) {
  // Each of these starts on D:\work (the current folder) and must end on C:\.
  for (const std::string path : {"D:\\missing", "", "   ", "sub"}) {
    ui::frmfixPath fresh([](std::string) { return true; }, windows.Opener());
    EXPECT_TRUE(fresh.InitSystem(path, ""));
    FakeWindow& window = windows.Latest();
    EXPECT_EQ(window.Drive().substr(0, 2), "c:") << "\"" << path << "\"";
    EXPECT_EQ(window.FolderPath(), "C:\\") << "\"" << path << "\"";
  }
  // "sub" exists (in D:\work), but without a drive letter it is not followed.
  EXPECT_TRUE(form.CheckFolderExist("sub"));
}

TEST_F(FolderWindow, CheckFolderExistFindsFoldersHiddenOnesFilesAndPatterns) {
  drives.MakeFolder(kZel1 + "\\.hidden");
  drives.MakeHidden(kZel1 + "\\.hidden");
  drives.WriteFile(kBin + "\\ZEL1.SYS", "[web]\r\n");
  EXPECT_FALSE(form.CheckFolderExist(""));
  EXPECT_FALSE(form.CheckFolderExist("   "));
  EXPECT_TRUE(form.CheckFolderExist(kZel1));
  EXPECT_TRUE(form.CheckFolderExist(kZel1 + "\\.hidden"));
  EXPECT_TRUE(form.CheckFolderExist(kBin + "\\ZEL1.SYS"));
  EXPECT_TRUE(form.CheckFolderExist(kTamo + "\\z*"));
  EXPECT_FALSE(form.CheckFolderExist(kTamo + "\\*.none"));
  EXPECT_FALSE(form.CheckFolderExist(kTamo + "\\missing"));
  // Asking does not load the window.
  EXPECT_EQ(windows.opened, 0);
}

TEST(FolderWindowLayout, MatchesTheWindowDescription) {
  const platform::WindowSpec layout = ui::frmfixPath::Layout();
  EXPECT_EQ(layout.caption, "指定ZEL检测系统的安装目录");
  EXPECT_EQ(layout.clientWidth, 5310);
  EXPECT_EQ(layout.clientHeight, 6975);

  using platform::ControlKind;
  const struct {
    const char* name;
    ControlKind kind;
    const char* text;
    int left, top, width, height, tabIndex;
    bool songti, visible;
  } expected[] = {
      {"Label1(0)", ControlKind::kLabel, "指定本地安装磁盘:", 150, 120, 1485, 195, 6, false, true},
      {"drvSource", ControlKind::kDriveList, "", 150, 360, 4995, 315, 0, true, true},
      {"Label2", ControlKind::kLabel, "指定本地安装目录:  可定位在 tamo\\zel1\\bin 任意一层", 150,
       780, 4065, 195, 7, false, true},
      {"DirPath", ControlKind::kFolderList, "", 150, 1020, 4995, 5265, 1, true, true},
      {"Label5", ControlKind::kLabel, "Path :", 540, 3270, 495, 240, 5, true, false},
      {"txtPath", ControlKind::kTextField, "", 420, 3450, 4035, 360, 4, true, false},
      {"Label1(1)", ControlKind::kLabel, "指定后按【确定】进行修复", 210, 6390, 2160, 195, 8, false,
       true},
      {"cmdOK", ControlKind::kButton, "确定", 3120, 6450, 885, 360, 2, false, true},
      {"Command2", ControlKind::kButton, "取消", 4110, 6450, 885, 360, 3, false, true},
  };
  ASSERT_EQ(layout.controls.size(), std::size(expected));
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const platform::ControlSpec& control = layout.controls[i];
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(control.name, expected[i].name);
    EXPECT_EQ(control.kind, expected[i].kind);
    EXPECT_EQ(control.text, expected[i].text);
    EXPECT_EQ(control.left, expected[i].left);
    EXPECT_EQ(control.top, expected[i].top);
    EXPECT_EQ(control.width, expected[i].width);
    EXPECT_EQ(control.height, expected[i].height);
    EXPECT_EQ(control.tabIndex, expected[i].tabIndex);
    EXPECT_EQ(control.songtiFont, expected[i].songti);
    EXPECT_EQ(control.visible, expected[i].visible);
    EXPECT_EQ(control.buttonFaceBackground, control.name == "txtPath");
  }
  EXPECT_EQ(layout.controls[7].role, platform::ButtonRole::kOk);
  EXPECT_EQ(layout.controls[8].role, platform::ButtonRole::kCancel);
}

}  // namespace
