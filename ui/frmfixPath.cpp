#include "ui/frmfixPath.h"

#include <exception>
#include <utility>

#include "common/CM_GeneralRoutines.h"
#include "messages/CM_MessageControl.h"
#include "platform/error.h"
#include "platform/filesearch.h"
#include "platform/folderlists.h"

namespace ui {

namespace {

// Folders and hidden entries; plain files always count.
constexpr std::uint32_t kFolderExistMask =
    platform::kAttributeDirectory | platform::kAttributeHidden;

const char kPathField[] = "txtPath";
const char kOkButton[] = "cmdOK";
const char kCancelButton[] = "Command2";

platform::ControlSpec Control(std::string name, platform::ControlKind kind, std::string text,
                              int left, int top, int width, int height, int tabIndex) {
  platform::ControlSpec control;
  control.name = std::move(name);
  control.kind = kind;
  control.text = std::move(text);
  control.left = left;
  control.top = top;
  control.width = width;
  control.height = height;
  control.tabIndex = tabIndex;
  return control;
}

// Runs one step whose failure only skips it.
template <typename Step>
void Try(Step step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

frmfixPath::frmfixPath(RepairRoutine repairChosenFolder, WindowOpener openWindow)
    : repairChosenFolder_(std::move(repairChosenFolder)), openWindow_(std::move(openWindow)) {}

platform::WindowSpec frmfixPath::Layout() {
  using platform::ControlKind;
  platform::WindowSpec layout;
  layout.caption = "指定ZEL检测系统的安装目录";
  layout.clientWidth = 5310;
  layout.clientHeight = 6975;

  auto& c = layout.controls;
  c.push_back(
      Control("Label1(0)", ControlKind::kLabel, "指定本地安装磁盘:", 150, 120, 1485, 195, 6));
  c.push_back(Control("drvSource", ControlKind::kDriveList, "", 150, 360, 4995, 315, 0));
  c.back().songtiFont = true;
  c.push_back(Control("Label2", ControlKind::kLabel,
                      "指定本地安装目录:  可定位在 tamo\\zel1\\bin 任意一层", 150, 780, 4065, 195,
                      7));
  c.push_back(Control("DirPath", ControlKind::kFolderList, "", 150, 1020, 4995, 5265, 1));
  c.back().songtiFont = true;
  // Label5 and txtPath lie inside the folder list and nothing reads the field: hidden.
  c.push_back(Control("Label5", ControlKind::kLabel, "Path :", 540, 3270, 495, 240, 5));
  c.back().songtiFont = true;
  c.back().visible = false;
  c.push_back(Control(kPathField, ControlKind::kTextField, "", 420, 3450, 4035, 360, 4));
  c.back().songtiFont = true;
  c.back().visible = false;
  c.back().buttonFaceBackground = true;
  c.push_back(Control("Label1(1)", ControlKind::kLabel, "指定后按【确定】进行修复", 210, 6390, 2160,
                      195, 8));
  c.push_back(Control(kOkButton, ControlKind::kButton, "确定", 3120, 6450, 885, 360, 2));
  c.back().role = platform::ButtonRole::kOk;
  c.push_back(Control(kCancelButton, ControlKind::kButton, "取消", 4110, 6450, 885, 360, 3));
  c.back().role = platform::ButtonRole::kCancel;
  return layout;
}

platform::Window& frmfixPath::Form() {
  if (!window_ || !window_->IsLoaded()) {
    window_ = openWindow_(Layout(), *this);
  }
  return *window_;
}

void frmfixPath::Show() {
  Form().Show();
}

bool frmfixPath::IsLoaded() const {
  return window_ && window_->IsLoaded();
}

bool frmfixPath::InitSystem(std::string sPath, std::string sTitle) {
  Try([&] {
    if (!common::IsBlank(sTitle)) {
      Form().SetCaption(sTitle);
    }
  });
  // A folder check that fails counts as an existing folder.
  bool exists = true;
  Try([&] { exists = CheckFolderExist(sPath); });

  std::string drive = "C:";
  std::string folder = "C:\\";
  const std::size_t colon = sPath.find(':');
  if (exists && colon != std::string::npos) {
    drive = sPath.substr(0, colon + 1);
    folder = sPath;
  }
  Try([&] { Form().SetDrive(drive); });
  Try([&] { Form().SetFolderPath(folder); });
  return true;
}

bool frmfixPath::CheckFolderExist(std::string path) {
  if (common::IsBlank(path)) {
    return false;
  }
  return !common::IsBlank(platform::DirectorySearch(path, kFolderExistMask));
}

void frmfixPath::Loaded(platform::Window& window) {
  window.SetCaption(messages::MessageTitle());
}

void frmfixPath::DriveChanged() {
  // A drive without a medium keeps the folder list where it was, without a word.
  Try([&] { window_->SetFolderPath(window_->Drive()); });
}

void frmfixPath::FolderClicked() {
  const int index = window_->HighlightedFolderIndex();
  window_->SetText(kPathField, window_->FolderPathAt(index));
}

void frmfixPath::FolderChanged() {}

void frmfixPath::ButtonClicked(const std::string& name) {
  if (name == kOkButton) {
    cmdOK_Click();
  } else if (name == kCancelButton) {
    window_->Unload();
  }
}

void frmfixPath::cmdOK_Click() {
  // The operator gets the error and can choose again; the window must not go down with it.
  try {
    // The highlighted entry, not the path field: the field is never read.
    const int index = window_->HighlightedFolderIndex();
    if (repairChosenFolder_(window_->FolderPathAt(index))) {
      window_->Unload();
    }
  } catch (const std::exception& error) {
    messages::ShowError("发现错误 - " + platform::DescribeError(error), "");
  }
}

}  // namespace ui
