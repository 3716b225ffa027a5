#include "app/Module1.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/CM_FileFolderSystem.h"
#include "common/CM_GeneralRoutines.h"
#include "common/Overflow.h"
#include "messages/CM_MessageControl.h"
#include "platform/dialogs.h"
#include "platform/driveprobe.h"
#include "platform/drives.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/userfolders.h"

namespace app {

namespace {

void AppendLine(std::string& list, const std::string& line) {
  if (!list.empty()) {
    list += "\r\n";
  }
  list += line;
}

// The folders of the records that `wanted` picks, as a list.
template <typename Wanted>
std::string ListOf(const std::vector<InstallationRecord>& records, Wanted wanted) {
  std::string list;
  for (const InstallationRecord& record : records) {
    if (wanted(record)) {
      AppendLine(list, record.folder);
    }
  }
  return list;
}

// The two "not an installation" headlines differ only in the trailing space, which
// tells support which check refused the folder: its name, or its missing settings file.
const std::string kNotInstallation = "指定目录非ZEL检测程序安装目录";
const std::string kLineBreak2 = "\r\n\r\n";

// `path` without its last folder name, ending in the backslash before it; empty when
// nothing comes before that name.
std::string ParentFolder(const std::string& path) {
  const std::string withBackslash = common::AddBackslash(path);
  const std::size_t nameLength = common::LastFolderName(path).size();
  return withBackslash.substr(0, withBackslash.size() - 1 - nameLength);
}

}  // namespace

std::int32_t Tally::FoundCount() const {
  return common::CheckedCount(records.size());
}

std::int32_t Tally::CorrectCount() const {
  return common::CheckedCount(static_cast<std::size_t>(
      std::count_if(records.begin(), records.end(),
                    [](const InstallationRecord& record) { return record.HoldsAddress(); })));
}

std::string Tally::FoundList() const {
  return ListOf(records, [](const InstallationRecord&) { return true; });
}

std::string Tally::CorrectList() const {
  return ListOf(records, [](const InstallationRecord& record) { return record.HoldsAddress(); });
}

std::string Tally::FailedList() const {
  return ListOf(records, [](const InstallationRecord& record) { return !record.HoldsAddress(); });
}

bool Tally::Rewritten() const {
  return std::any_of(records.begin(), records.end(), [](const InstallationRecord& record) {
    return record.outcome == Outcome::kRepaired;
  });
}

namespace {

// Where an error raised while checking one installation arose.
enum class Stage { kLooking, kReading, kWriting };

// Looks at one installation folder through `files`; `stage` follows it, so that an error
// it raises can be told as a failed read or a failed repair.
std::optional<InstallationRecord> Inspect(const std::string& folder, Mode mode,
                                          InstallationFiles& files,
                                          InstallationFiles::Presence& presence, Stage& stage) {
  stage = Stage::kLooking;
  const std::string settingsPath = common::AddBackslash(folder) + kSettingsFile;
  presence = files.Find(settingsPath);
  if (presence != InstallationFiles::Presence::kThere) {
    return std::nullopt;
  }
  InstallationRecord record;
  record.folder = folder;
  stage = Stage::kReading;
  platform::FileResult read;
  record.before = files.Read(settingsPath, read);
  record.after = record.before;
  if (read.problem != platform::FileProblem::kNone) {
    // Nothing is written over a value that could not be read.
    record.before.clear();
    record.after.clear();
    const bool refused = read.problem == platform::FileProblem::kUnsafePath ||
                         read.problem == platform::FileProblem::kTooLarge;
    record.outcome = refused ? Outcome::kRefused : Outcome::kUnreadable;
    record.reason = read;
    return record;
  }
  if (record.before == TargetServerAddress) {
    record.outcome = Outcome::kAlreadyCorrect;
  } else if (mode == Mode::kAudit) {
    record.outcome = Outcome::kNeedsRepair;
  } else {
    stage = Stage::kWriting;
    const platform::FileResult written = files.Write(settingsPath, TargetServerAddress);
    // Reading back decides, whatever the write answered.
    platform::FileResult readBack;
    record.after = files.Read(settingsPath, readBack);
    if (record.after == TargetServerAddress) {
      record.outcome = Outcome::kRepaired;
    } else if (written.problem == platform::FileProblem::kUnsafePath ||
               written.problem == platform::FileProblem::kTooLarge) {
      record.outcome = Outcome::kRefused;
      record.reason = written;
    } else if (written.problem != platform::FileProblem::kNone) {
      record.outcome = Outcome::kWriteFailed;
      record.reason = written;
    } else {
      record.outcome = Outcome::kReadBackDiffers;
    }
  }
  return record;
}

// The folder of a settings file's path: everything before its last backslash.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

class PlatformFiles : public InstallationFiles {
 public:
  explicit PlatformFiles(bool hearStops) : hearStops_(hearStops) {}

  Presence Find(const std::string& settingsPath) override {
    if (common::FileExists(settingsPath)) {
      return Presence::kThere;
    }
    return platform::CheckFolder(FolderOf(settingsPath)) == platform::FolderState::kAccessDenied
               ? Presence::kUnseen
               : Presence::kMissing;
  }
  std::string Read(const std::string& settingsPath, platform::FileResult& result) override {
    return common::ReadProfileString(settingsPath, kSettingsSection, kSettingsKey, "", result);
  }
  platform::FileResult Write(const std::string& settingsPath, const std::string& value) override {
    return common::WriteProfileString(settingsPath, kSettingsSection, kSettingsKey, value);
  }
  std::string SystemDrive() override { return platform::SystemDrive(); }
  std::optional<std::vector<std::string>> Profiles() override {
    std::vector<std::string> profiles = platform::ProfileFolders();
    if (profiles.empty() &&
        platform::CheckFolder(platform::ProfilesFolder()) == platform::FolderState::kAccessDenied) {
      return std::nullopt;
    }
    return profiles;
  }
  std::string ProfilesFolder() override { return platform::ProfilesFolder(); }
  void ProbeDrivesOf(const std::vector<std::string>& folders) override {
    platform::ProbeDrivesOf(folders);
  }
  std::vector<UncheckedPlace> SilentDrives() override {
    std::vector<UncheckedPlace> places;
    for (const platform::SilentDrive& drive : platform::SilentDrives()) {
      places.push_back({UncheckedPlace::Why::kSilentDrive,
                        std::string(1, platform::AsciiUpper(drive.letter)) + ":", drive.waited});
    }
    return places;
  }
  bool StopRequested() override { return hearStops_ && platform::StopRequested(); }

 private:
  bool hearStops_;
};

}  // namespace

InstallationFiles& SystemFiles(bool hearStops) {
  static PlatformFiles unattended(true);
  static PlatformFiles interactive(false);
  return hearStops ? unattended : interactive;
}

std::optional<InstallationRecord> CheckInstallation(const std::string& folder, Mode mode) {
  InstallationFiles::Presence presence{};
  Stage stage{};
  return Inspect(folder, mode, SystemFiles(false), presence, stage);
}

bool RepairInstallation(std::string Folder, Tally& tally) {
  std::optional<InstallationRecord> record = CheckInstallation(Folder, Mode::kRepair);
  if (!record) {
    return false;
  }
  tally.records.push_back(std::move(*record));
  return tally.records.back().HoldsAddress();
}

std::string AdviceTemplate;

std::string ComposeAdviceTemplate() {
  const std::string spaces(5, ' ');
  return "%1" + spaces + kLineBreak2 + "如ZEL检测系统正在运行，请退出后重新运行检测系统" + spaces +
         kLineBreak2 + "如运行后冲突问题仍然存在，请重新启动本修复程序";
}

namespace {

// The shadow folders of `installations` (in the order given) in every user profile (in
// the platform's order). Only folders on the system drive have shadows: Windows
// virtualizes its own Program Files folders, not those of other drives. A profiles
// folder that could not be listed is added to `tally` as unchecked.
std::vector<std::string> ShadowFolders(const std::vector<std::string>& installations,
                                       InstallationFiles& files, Tally& tally) {
  const std::string systemDrive = platform::AsciiLower(files.SystemDrive());
  std::vector<std::string> belowDrive;  // such as "\Program Files\TAMO\ZEL1"
  for (const std::string& folder : installations) {
    if (!systemDrive.empty() &&
        platform::AsciiLower(folder.substr(0, systemDrive.size())) == systemDrive) {
      belowDrive.push_back(folder.substr(systemDrive.size()));
    }
  }
  std::vector<std::string> shadows;
  if (belowDrive.empty()) {
    return shadows;  // no profile is even listed
  }
  const std::optional<std::vector<std::string>> profiles = files.Profiles();
  if (!profiles) {
    tally.unchecked.push_back({UncheckedPlace::Why::kNotListable, files.ProfilesFolder(), {}});
    return shadows;
  }
  for (const std::string& profile : *profiles) {
    for (const std::string& path : belowDrive) {
      shadows.push_back(common::AddBackslash(profile) + kShadowFolder + path);
    }
  }
  return shadows;
}

// Checks one folder for CheckAllInstallations: its record, if any, goes to `tally`. An
// error raised on the way is the installation's own record. True when an installation
// was found there.
bool CheckInto(const std::string& folder, Mode mode, InstallationFiles& files, Tally& tally) {
  InstallationFiles::Presence presence = InstallationFiles::Presence::kMissing;
  Stage stage = Stage::kLooking;
  try {
    if (std::optional<InstallationRecord> record = Inspect(folder, mode, files, presence, stage)) {
      tally.records.push_back(std::move(*record));
      return true;
    }
  } catch (const std::exception& error) {
    InstallationRecord record;
    record.folder = folder;
    record.outcome = stage == Stage::kWriting ? Outcome::kFailed : Outcome::kUnreadable;
    record.error = platform::DescribeError(error);
    tally.records.push_back(std::move(record));
    return stage != Stage::kLooking;
  }
  if (presence == InstallationFiles::Presence::kUnseen) {
    tally.unchecked.push_back({UncheckedPlace::Why::kNotListable, folder, {}});
  }
  return false;
}

// The search itself; stops early when asked to, telling so in `tally`.
void Search(Mode mode, Tally& tally, InstallationFiles& files) {
  const auto stopped = [&files, &tally] {
    if (!files.StopRequested()) {
      return false;
    }
    tally.unchecked.push_back({UncheckedPlace::Why::kInterrupted, "", {}});
    return true;
  };
  // The candidates' drives are probed together: several that do not answer cost the
  // search one wait, and a drive that holds no candidate is not looked at.
  files.ProbeDrivesOf({kCandidateFolders.begin(), kCandidateFolders.end()});
  std::vector<std::string> installed;
  for (const char* folder : kCandidateFolders) {
    if (stopped()) {
      return;
    }
    if (CheckInto(folder, mode, files, tally)) {
      installed.emplace_back(folder);
    }
  }
  if (stopped()) {
    return;
  }
  // A user whose copy still holds the old address would go on using it.
  for (const std::string& shadow : ShadowFolders(installed, files, tally)) {
    if (stopped()) {
      return;
    }
    CheckInto(shadow, mode, files, tally);
  }
}

}  // namespace

void CheckAllInstallations(Mode mode, Tally& tally, InstallationFiles& files) {
  tally = Tally{};
  const auto addSilentDrives = [&tally, &files] {
    for (UncheckedPlace& drive : files.SilentDrives()) {
      tally.unchecked.push_back(std::move(drive));
    }
  };
  try {
    Search(mode, tally, files);
  } catch (...) {
    addSilentDrives();
    throw;
  }
  addSilentDrives();
}

namespace {

InstallationFiles* InteractiveFiles = nullptr;  // SystemFiles(false) when null

}  // namespace

ScopedInstallationFiles::ScopedInstallationFiles(InstallationFiles& files)
    : ScopedOverride(InteractiveFiles, &files) {}

void CheckAllInstallations(Mode mode, Tally& tally) {
  CheckAllInstallations(mode, tally, InteractiveFiles ? *InteractiveFiles : SystemFiles(false));
}

bool RepairAllInstallations(Tally& tally) {
  CheckAllInstallations(Mode::kRepair, tally);
  return tally.FoundCount() > 0;
}

bool RepairChosenFolder(std::string Folder) {
  const std::string name = platform::AsciiLower(common::LastFolderName(Folder));
  std::string checked;
  if (name == "tamo") {
    checked = common::AddBackslash(Folder) + "zel1";
  } else if (name == "zel1") {
    checked = Folder;
  } else if (name == "bin") {
    // The settings file lies in BIN itself, so BIN stands for the folder above it.
    checked = ParentFolder(Folder);
  } else {
    messages::ShowError(kNotInstallation + " " + kLineBreak2 + Folder, "");
    return false;
  }

  Tally tally;
  if (!checked.empty()) {
    RepairInstallation(checked, tally);
  }
  if (tally.FoundCount() == 0) {
    messages::ShowError(kNotInstallation + kLineBreak2 + Folder, "");
    return false;
  }
  if (tally.CorrectCount() == 0) {
    // Found but still holding another value (read-only, or no rights to write): the
    // window stays open so that the operator can fix that and try again.
    messages::ShowError("指定目录修复失败" + kLineBreak2 + Folder + kLineBreak2 +
                            "请检查配置文件是否为只读，或以管理员身份重新运行本修复程序",
                        "");
    return false;
  }
  messages::ShowInformation(
      messages::FormatMessage(AdviceTemplate, "指定目录已完成修复", "", "", "", ""), "");
  return true;
}

std::unique_ptr<ui::frmfixPath> FolderWindow;

namespace {

ui::frmfixPath::WindowOpener FolderWindowOpener = &platform::OpenWindow;

// The question after an incomplete repair. Repaired and failed installations are listed
// apart, so that a failure is never reported under the "repaired" line.
std::string IncompleteRepairQuestion(const Tally& tally) {
  std::string text;
  const std::string correct = tally.CorrectList();
  const std::string failed = tally.FailedList();
  if (!correct.empty()) {
    text += "检测到如下安装地址已完成修复\r\n" + correct + kLineBreak2;
  }
  if (!failed.empty()) {
    text += "以下安装地址修复失败，请检查配置文件是否为只读\r\n" + failed + kLineBreak2;
  }
  return text + "如冲突问题还存在, 是否ZEL检测系统安装在其他目录，" + "请指定其他安装目录进行修复?";
}

void ShowFolderWindow() {
  if (!FolderWindow) {
    FolderWindow = std::make_unique<ui::frmfixPath>(&RepairChosenFolder, FolderWindowOpener);
  }
  FolderWindow->Show();
}

}  // namespace

ScopedFolderWindowOpener::ScopedFolderWindowOpener(ui::frmfixPath::WindowOpener opener)
    : ScopedOverride(FolderWindowOpener, std::move(opener)) {}

void Main() {
  try {
    messages::SetMessageTitle(kMessageTitle);
    AdviceTemplate = ComposeAdviceTemplate();

    Tally tally;
    RepairAllInstallations(tally);

    // An error in one installation no longer ends the search, but it ends the run as it
    // always did, with its box.
    bool failed = false;
    for (const InstallationRecord& record : tally.records) {
      if (!record.error.empty()) {
        messages::ShowError("发现错误 - " + record.error, "");
        failed = true;
      }
    }
    if (failed) {
      return;
    }
    const std::int32_t found = tally.FoundCount();
    if (found > 0 && tally.CorrectCount() == found && tally.Rewritten()) {
      messages::ShowInformation(
          messages::FormatMessage(AdviceTemplate, "系统自动修复已完成", "", "", "", ""), "");
    } else if (found == 0) {
      messages::ShowWarning("系统没有定位到ZEL检测系统的安装目录，请指定", "");
      ShowFolderWindow();
    } else if (messages::AskQuestion(IncompleteRepairQuestion(tally), "", false, 0) ==
               platform::kIdYes) {
      ShowFolderWindow();
    }
  } catch (const std::exception& error) {
    messages::ShowError("发现错误 - " + platform::DescribeError(error), "");
  }
}

}  // namespace app
