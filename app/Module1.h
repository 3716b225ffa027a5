// The repair driver: finds installations of the ZEL inspection system and writes the new
// web-server address into their settings files.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TargetServerAddress.h"
#include "platform/profile.h"
#include "platform/scopedoverride.h"
#include "ui/frmfixPath.h"

namespace app {

// Where the settings live, below an installation folder, and which value is repaired.
inline constexpr char kSettingsFile[] = "BIN\\ZEL1.SYS";
inline constexpr char kSettingsSection[] = "web";
inline constexpr char kSettingsKey[] = "webserver";

// The folders searched by RepairAllInstallations, in this order.
inline constexpr std::array<const char*, 10> kCandidateFolders = {
    "C:\\Program Files\\TAMO\\ZEL1",       "D:\\Program Files\\TAMO\\ZEL1",
    "E:\\Program Files\\TAMO\\ZEL1",       "F:\\Program Files\\TAMO\\ZEL1",
    "G:\\Program Files\\TAMO\\ZEL1",       "C:\\Program Files (x86)\\TAMO\\ZEL1",
    "D:\\Program Files (x86)\\TAMO\\ZEL1", "E:\\Program Files (x86)\\TAMO\\ZEL1",
    "F:\\Program Files (x86)\\TAMO\\ZEL1", "G:\\Program Files (x86)\\TAMO\\ZEL1",
};

// What became of one installation found.
enum class Outcome {
  kAlreadyCorrect,   // held TargetServerAddress before anything was done
  kRepaired,         // written and read back equal
  kNeedsRepair,      // an audit found another value and wrote nothing
  kWriteFailed,      // the write failed; the record's reason says why
  kReadBackDiffers,  // the write answered success, but reading back gave another value
  kUnreadable,       // the file is there but could not be read (in use, access denied, an
                     // I/O error, an error raised while reading): nothing was written, and
                     // it is a place not checked rather than one found wrong
  kRefused,          // the program's own rule refused the file (a link an ordinary user
                     // can change, a file over 16 MiB): left untouched; rerunning will not
                     // help, so it counts as an installation that does not hold the address
  kFailed,           // an error raised after the file was read; the record's error says which
};

// One installation found: what it held, what it holds, and why.
struct InstallationRecord {
  std::string folder;  // as passed in
  std::string before;  // the value read first
  std::string after;   // the value read last (the same as before when nothing was written)
  Outcome outcome = Outcome::kAlreadyCorrect;
  // For kWriteFailed, kRefused and kUnreadable: the platform's own answer; problem kNone
  // for every other outcome.
  platform::FileResult reason;
  // For kFailed, and kUnreadable raised while reading: the error's description
  // (platform::DescribeError); empty otherwise.
  std::string error;

  // Whether the settings file holds TargetServerAddress after the check.
  bool HoldsAddress() const {
    return outcome == Outcome::kAlreadyCorrect || outcome == Outcome::kRepaired;
  }
  // Whether the file was read, so that its value is known (whatever became of it).
  bool Checked() const { return outcome != Outcome::kUnreadable; }
};

// A place that could hold an installation and was not looked at.
struct UncheckedPlace {
  enum class Why {
    kSilentDrive,  // the drive `place` ("F:") did not answer within `waited`
    kNotListable,  // the folder `place` could not be looked into (access denied)
    kInterrupted,  // the run was asked to stop; `place` is empty
  };
  Why why = Why::kNotListable;
  std::string place;
  std::chrono::milliseconds waited{};
};

// What a run found: one record per found installation, in the order checked. Everything
// the boxes, the report and the exit code say is derived from the records, here. Lists
// hold the folders exactly as they were passed in, joined by CR LF. A count raises the
// overflow error past its 32-bit range.
struct Tally {
  std::vector<InstallationRecord> records;
  // The places passed over, in the order met: silent drives come last.
  std::vector<UncheckedPlace> unchecked;

  std::int32_t FoundCount() const;    // installations found
  std::int32_t CorrectCount() const;  // of those, how many hold TargetServerAddress
  std::string FoundList() const;      // every found folder
  std::string CorrectList() const;    // the found folders that hold TargetServerAddress
  std::string FailedList() const;     // the found folders that hold another value
  bool Rewritten() const;             // some value was written and read back equal
};

// Whether looking at an installation may change it.
enum class Mode {
  kRepair,  // writes TargetServerAddress where another value is found, and reads it back
  kAudit,   // reads like a repair, and never writes
};

// Looks at one installation folder. Nothing when its settings file does not exist;
// otherwise its record.
std::optional<InstallationRecord> CheckInstallation(const std::string& folder, Mode mode);

// What the search needs of the system: the settings files, the profiles, the drives and
// the interruptions. SystemFiles() is the real one; tests pass a fake.
class InstallationFiles {
 public:
  virtual ~InstallationFiles() = default;

  enum class Presence {
    kThere,    // the file is there
    kMissing,  // neither it nor its folder is there (a silent drive counts as missing)
    kUnseen,   // its folder, or one on the way to it, could not be looked into
  };
  virtual Presence Find(const std::string& settingsPath) = 0;
  // The key's value; `result` says why a file that is there could not be read.
  virtual std::string Read(const std::string& settingsPath, platform::FileResult& result) = 0;
  virtual platform::FileResult Write(const std::string& settingsPath, const std::string& value) = 0;
  virtual std::string SystemDrive() = 0;
  // The user profiles (platform/userfolders.h); nothing when their folder, named by
  // ProfilesFolder(), exists but could not be listed.
  virtual std::optional<std::vector<std::string>> Profiles() = 0;
  virtual std::string ProfilesFolder() = 0;
  virtual void ProbeDrivesOf(const std::vector<std::string>& folders) = 0;
  virtual std::vector<UncheckedPlace> SilentDrives() = 0;
  virtual bool StopRequested() = 0;
};

// The system's files and drives. `hearStops`: whether StopRequested() asks the process
// (unattended runs) or always answers false (the interactive run).
InstallationFiles& SystemFiles(bool hearStops);

// Has the interactive run (Main, through CheckAllInstallations without files) search
// through `files` for as long as the guard lives (for tests).
class ScopedInstallationFiles : public platform::ScopedOverride<InstallationFiles*> {
 public:
  explicit ScopedInstallationFiles(InstallationFiles& files);
};

// Checks and repairs one installation folder, adding its record to `tally` when its
// settings file exists. True when it exists and holds TargetServerAddress afterwards.
bool RepairInstallation(std::string Folder, Tally& tally);

// Where a user's copy of an installation folder lies, below the user's profile folder
// and followed by the installation folder without its drive. Windows makes such a copy
// of a settings file when an older program without a manifest writes below Program
// Files without administrator rights (file virtualization); that program then reads the
// copy, not the file, for that user.
inline constexpr char kShadowFolder[] = "AppData\\Local\\VirtualStore";

// Starts `tally` afresh and checks, in this order:
// 1. every candidate folder, in the order above;
// 2. the shadow copies of the installations found in step 1 on the system drive: for
//    each user profile, sorted by name without regard to case, the shadow of each such
//    installation in candidate order. A shadow is checked and counted like an
//    installation and listed by its full folder. A shadow whose installation is missing
//    is not looked at, nor is anything else in a profile.
// A folder that could not be looked into, a profiles folder that could not be listed and
// the drives that did not answer are added to tally.unchecked. An error raised while
// checking one installation is that installation's record (kUnreadable while reading,
// kFailed after), and the search goes on. Once files.StopRequested() answers true, the
// search stops before the next installation and adds an interruption. An error raised
// outside any installation leaves `tally` with what was made before it.
void CheckAllInstallations(Mode mode, Tally& tally, InstallationFiles& files);
// The same over SystemFiles(false), or the files a ScopedInstallationFiles put in place.
void CheckAllInstallations(Mode mode, Tally& tally);

// CheckAllInstallations(Mode::kRepair, tally). True when some installation or shadow
// was found.
bool RepairAllInstallations(Tally& tally);

// The title of every message box and of the folder window; Main sets it first.
inline constexpr char kMessageTitle[] = "修复ZEL服务器迁移IP地址冲突";

// The template of the completion boxes: "%1" takes the headline, two advice lines
// follow. Main composes it at start (AdviceTemplate = ComposeAdviceTemplate()); the
// chosen-folder repair only reads it. Empty until then.
extern std::string AdviceTemplate;
std::string ComposeAdviceTemplate();

// Repairs the installation that the folder chosen in the folder window stands for, told
// by the folder's last name: "tamo" stands for its "zel1" subfolder, "zel1" for itself,
// "bin" for the folder above it (any letter case). Shows the outcome: the completion box
// and true when the settings file now holds TargetServerAddress; otherwise an error box
// - not an installation folder, no settings file, or a value that could not be written -
// and false, so that the operator can choose again. The texts show `Folder` as passed.
// Raises what RepairInstallation and the message boxes raise.
bool RepairChosenFolder(std::string Folder);

// The startup procedure and the program's only entry: sets the message title, composes
// AdviceTemplate, repairs every installation it finds and tells the operator:
// - all found installations hold the address and some had to be rewritten: the
//   completion box, and the run ends;
// - nothing found: a warning, then the folder window;
// - otherwise (some installation still holds another value, or none needed rewriting):
//   a question listing what was repaired and what failed, Yes opening the folder window.
// Returns without waiting for the window. Any run-time error ends the run with an error
// box "发现错误 - " and its description.
void Main();

// The folder window of the run, created by Main when first needed; empty until then.
extern std::unique_ptr<ui::frmfixPath> FolderWindow;

// Opens the folder window through `opener` instead of platform::OpenWindow for as long
// as the guard lives (for tests: a double, before calling Main).
class ScopedFolderWindowOpener : public platform::ScopedOverride<ui::frmfixPath::WindowOpener> {
 public:
  explicit ScopedFolderWindowOpener(ui::frmfixPath::WindowOpener opener);
};

}  // namespace app
