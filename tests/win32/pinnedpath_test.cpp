// Settings files reached only through what an ordinary user cannot redirect: the walk's
// rule over a stand-in file system (what Wine cannot show: junctions and their owners),
// and the profile functions' refusals over real files under Wine.
#include "platform/win32/pinnedpath.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <sddl.h>
#include <windows.h>
#include <winioctl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/win32/handles.h"
#include "tests/support/ScratchDrives.h"

namespace {

using platform::win32::IsTrustedOwner;
using platform::win32::NameOpener;
using platform::win32::OpenedName;
using platform::win32::PinnedPath;
using State = PinnedPath::State;

TEST(PinnedPath, TrustsOnlyTheOwnersOrdinaryUsersCannotActAs) {
  const struct {
    const wchar_t* sid;
    bool trusted;
  } owners[] = {
      {L"S-1-5-32-544", true},  // Administrators
      {L"S-1-5-18", true},      // SYSTEM
      {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
      {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478465", false},
      {L"S-1-5-32-545", false},  // Users
      {L"S-1-5-7", false},       // Anonymous: how Wine shows another Unix user
  };
  for (const auto& owner : owners) {
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(owner.sid, &sid));
    const platform::win32::LocalMemory kept(sid);
    EXPECT_EQ(IsTrustedOwner(sid), owner.trusted)
        << std::string(owner.sid, owner.sid + wcslen(owner.sid));
  }
  EXPECT_FALSE(IsTrustedOwner(nullptr));
}

// Names as a test lays them out: each answers as the system would, without a handle.
// The drives Q: and R: exist nowhere, so that nothing real is looked at.
class StandInNames final : public NameOpener {
 public:
  struct Name {
    DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
    std::wstring finalPath;  // empty: the name itself
    bool trustedOwner = false;
    std::wstring target;  // of a link
    DWORD links = 1;
  };

  std::map<std::wstring, Name> names;
  std::vector<std::wstring> dangling;  // names that neither open nor can be created

  OpenedName Open(const std::wstring& path, Kind kind) override {
    OpenedName answer;
    auto found = names.find(path);
    if (found == names.end() && kind == Kind::kNewFile) {
      for (const std::wstring& name : dangling) {
        if (name == path) {
          answer.error = ERROR_FILE_EXISTS;
          return answer;
        }
      }
      found = names.emplace(path, Name()).first;
      found->second.attributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (found == names.end()) {
      answer.error = ERROR_FILE_NOT_FOUND;
      return answer;
    }
    const Name& name = found->second;
    answer.attributes = name.attributes;
    answer.links = name.links;
    answer.finalPath = name.finalPath.empty() ? path : name.finalPath;
    answer.trustedOwner = name.trustedOwner;
    answer.index = names.size();
    return answer;
  }

  std::wstring Target(const std::wstring& path) override { return names[path].target; }

  // The folders and the file of a plain path.
  void Plain(const std::wstring& file) {
    for (std::size_t at = file.find(L'\\', 3); at != std::wstring::npos;
         at = file.find(L'\\', at + 1)) {
      names[file.substr(0, at)];
    }
    names[file.substr(0, 3)];
    names[file].attributes = FILE_ATTRIBUTE_ARCHIVE;
  }
  void Link(const std::wstring& path, const std::wstring& target, bool trusted) {
    names[path] =
        Name{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, L"", trusted, target};
  }
};

const std::wstring kFile = L"Q:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS";
const std::wstring kBin = L"Q:\\Program Files\\TAMO\\ZEL1\\BIN";
const std::wstring kElsewhere = L"R:\\Store\\BIN\\ZEL1.SYS";

TEST(PinnedPath, FollowsOnlyLinksAnAdministratorMade) {
  struct Case {
    const char* name;
    void (*layOut)(StandInNames&);
    bool createMissing;
    State state;
    std::wstring path;  // where the profile functions go, when pinned
  };
  const Case cases[] = {
      {"plain", [](StandInNames& n) { n.Plain(kFile); }, false, State::kPinned, kFile},
      {"names in another case",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names[kBin].finalPath = L"Q:\\PROGRAM FILES\\tamo\\ZEL1\\bin";
         n.names[kFile].finalPath = L"Q:\\PROGRAM FILES\\tamo\\ZEL1\\bin\\zel1.sys";
       },
       false, State::kPinned, kFile},
      {"a drive letter for a share",
       [](StandInNames& n) {
         n.Plain(kFile);
         for (auto& [path, name] : n.names) {
           name.finalPath = L"\\\\server\\share\\" + path.substr(3);
         }
       },
       false, State::kPinned, kFile},
      {"a user's junction",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.Plain(kElsewhere);
         n.Link(kBin, L"R:\\Store\\BIN", false);
       },
       false, State::kUnsafe, L""},
      {"an administrator's junction, walked again from its target's root",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.Plain(kElsewhere);
         n.Link(kBin, L"R:\\Store\\BIN", true);
       },
       false, State::kPinned, kElsewhere},
      {"an administrator's junction into a user's junction",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.Plain(kElsewhere);
         n.Link(kBin, L"R:\\Store\\BIN", true);
         n.Link(L"R:\\Store", L"Q:\\Program Files", false);
       },
       false, State::kUnsafe, L""},
      {"an administrator's link to itself",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.Link(kBin, kBin, true);
       },
       false, State::kUnsafe, L""},
      {"a folder that leads elsewhere without showing as a link",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names[kBin].finalPath = L"Z:\\tmp\\BIN";
       },
       false, State::kUnsafe, L""},
      {"a file that leads elsewhere without showing as a link",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names[kFile].finalPath = L"Z:\\etc\\shadow";
       },
       false, State::kUnsafe, L""},
      {"a second hard link",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names[kFile].links = 2;
       },
       false, State::kUnsafe, L""},
      {"a missing folder",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names.erase(kFile);
         n.names.erase(kBin);
       },
       true, State::kMissing, L""},
      {"a missing file, read",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names.erase(kFile);
       },
       false, State::kMissing, L""},
      {"a missing file, written: created in its folder",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names.erase(kFile);
       },
       true, State::kPinned, kFile},
      {"a link that leads nowhere, written",
       [](StandInNames& n) {
         n.Plain(kFile);
         n.names.erase(kFile);
         n.dangling.push_back(kFile);
       },
       true, State::kUnsafe, L""},
  };
  for (const Case& c : cases) {
    StandInNames names;
    c.layOut(names);
    const PinnedPath pin = PinnedPath::Pin(kFile, c.createMissing, names);
    EXPECT_EQ(pin.state(), c.state) << c.name;
    if (c.state == State::kPinned) {
      EXPECT_EQ(pin.path(), c.path) << c.name;
    }
  }
}

// Real files on the scratch drives, through the profile functions.

const std::string kSettings = "C:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS";

// The value read, or why the read was refused.
std::string Read(const std::string& path) {
  std::string value;
  platform::FileResult result;
  platform::GetProfileEntry("web", "webserver", value, path, result);
  switch (result.problem) {
    case platform::FileProblem::kUnsafePath:
      return "(unsafe)";
    case platform::FileProblem::kTooLarge:
      return "(too large)";
    default:
      return value;
  }
}

platform::FileProblem WriteProblemOf(const std::string& path) {
  return platform::PutProfileEntry("web", "webserver", "10.9.9.9", path).problem;
}

TEST(PinnedPath, HardLinkedFileIsNeitherReadNorWritten) {
  testsupport::ScratchDrives drives;
  const std::string original = testsupport::Settings("10.1.1.1");
  drives.WriteFile(kSettings, original);
  const std::string other = "C:\\Program Files\\TAMO\\other.SYS";
  ASSERT_TRUE(CreateHardLinkW(L"C:\\Program Files\\TAMO\\other.SYS",
                              L"C:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS", nullptr));
  EXPECT_EQ(Read(kSettings), "(unsafe)");
  EXPECT_EQ(WriteProblemOf(kSettings), platform::FileProblem::kUnsafePath);
  EXPECT_EQ(drives.ReadFile(other), original);
  // Alone again, it is the settings file it always was.
  ASSERT_TRUE(DeleteFileW(L"C:\\Program Files\\TAMO\\other.SYS"));
  EXPECT_EQ(Read(kSettings), "10.1.1.1");
}

// A sparse file of `size` bytes that starts with a settings file.
void MakeSparse(testsupport::ScratchDrives& drives, const std::string& path, LONGLONG size) {
  drives.WriteFile(path, testsupport::Settings("10.1.1.1"));
  const platform::win32::FileHandle file(CreateFileW(std::wstring(path.begin(), path.end()).c_str(),
                                                     GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                                     nullptr));
  ASSERT_TRUE(file);
  DWORD ignored = 0;
  DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = size;
  ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file.get()));
}

LONGLONG SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(std::wstring(path.begin(), path.end()).c_str(), GetFileExInfoStandard,
                       &data);
  return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(PinnedPath, FileOverSixteenMebibytesIsNeitherReadNorWritten) {
  testsupport::ScratchDrives drives;
  const LONGLONG bound = 16ll * 1024 * 1024;
  for (const LONGLONG size : {15'000'000'000'000ll, bound + 1}) {
    SCOPED_TRACE(size);
    MakeSparse(drives, kSettings, size);
    EXPECT_EQ(Read(kSettings), "(too large)");
    EXPECT_EQ(WriteProblemOf(kSettings), platform::FileProblem::kTooLarge);
    EXPECT_EQ(SizeOf(kSettings), size);
  }
  // Never read whole: the test program, with all it has done so far, stays small.
  PROCESS_MEMORY_COUNTERS memory{};
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory));
  EXPECT_LT(memory.PeakWorkingSetSize, 100u * 1024 * 1024);
  MakeSparse(drives, kSettings, bound);
  EXPECT_EQ(Read(kSettings), "10.1.1.1");  // the largest still read
}

}  // namespace
