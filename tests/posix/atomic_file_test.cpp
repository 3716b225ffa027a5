#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::posix::FileAsRead;
using platform::posix::ReadWholeFile;
using platform::posix::ReplaceFile;
using platform::posix::ReplaceStep;
using platform::posix::ScopedNamedTemporaryFiles;
using platform::posix::ScopedReplaceFaultHook;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zelfix-atomic-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes, mode_t mode = 0644) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    ASSERT_EQ(chmod(Path(name).c_str(), mode), 0);
  }
  std::string Get(const std::string& name) const {
    std::ostringstream bytes;
    bytes << std::ifstream(Path(name), std::ios::binary).rdbuf();
    return bytes.str();
  }
  mode_t Mode(const std::string& name) const {
    struct stat info {};
    EXPECT_EQ(lstat(Path(name).c_str(), &info), 0);
    return info.st_mode;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The names of the folder's temporary files, each with whether a writer holds it.
  std::map<std::string, bool> Temporaries() const {
    std::map<std::string, bool> held;
    for (const std::string& name : Names()) {
      if (name.find(".zelfix-") != std::string::npos) {
        const int fd = open(Path(name).c_str(), O_RDONLY | O_CLOEXEC);
        held[name] = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);
      }
    }
    return held;
  }
  // The file's extended attributes but the system's own (security.*).
  std::map<std::string, std::string> Attributes(const std::string& name) const {
    std::map<std::string, std::string> attributes;
    char names[4096];
    const ssize_t size = listxattr(Path(name).c_str(), names, sizeof names);
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
      char value[4096];
      const ssize_t length = getxattr(Path(name).c_str(), names + at, value, sizeof value);
      if (std::string(names + at).rfind("security.", 0) != 0 && length >= 0) {
        attributes[names + at] = std::string(value, static_cast<std::size_t>(length));
      }
    }
    return attributes;
  }
  FileAsRead Read(const std::string& name) const {
    std::string bytes;
    FileAsRead read;
    EXPECT_TRUE(ReadWholeFile(Path(name), bytes, read));
    return read;
  }

  fs::path folder_;
};

TEST_F(AtomicFile, ReadsBytesAndTellsMissingFromUnreadable) {
  Put("a.ini", std::string("x\0y\r\n", 5));
  std::string bytes;
  FileAsRead read;
  ASSERT_TRUE(ReadWholeFile(Path("a.ini"), bytes, read));
  EXPECT_EQ(bytes, std::string("x\0y\r\n", 5));
  EXPECT_TRUE(read.identity.existed);
  EXPECT_EQ(read.identity.size, 5u);

  EXPECT_TRUE(ReadWholeFile(Path("missing.ini"), bytes, read));
  EXPECT_FALSE(read.identity.existed);
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(ReadWholeFile(folder_.string(), bytes, read));
  EXPECT_FALSE(ReadWholeFile(Path("a.ini") + "/x", bytes, read));
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(Path("fifo"), bytes, read));  // and does not hang
}

TEST_F(AtomicFile, ReplacesKeepingPermissions) {
  Put("a.ini", "old", 0640);
  ASSERT_TRUE(ReplaceFile(Read("a.ini"), "new"));
  EXPECT_EQ(Get("a.ini"), "new");
  EXPECT_EQ(Mode("a.ini") & 07777, 0640u);

  const mode_t mask = umask(022);
  EXPECT_TRUE(ReplaceFile(Read("new.ini"), "[web]\r\n"));
  umask(mask);
  EXPECT_EQ(Get("new.ini"), "[web]\r\n");
  EXPECT_EQ(Mode("new.ini") & 07777, 0644u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.ini", "new.ini"}));
}

// A POSIX ACL as stored in system.posix_acl_*: a version, then tag, permissions and id
// of each entry, little-endian.
std::string Acl(std::initializer_list<std::array<unsigned, 3>> entries) {
  std::string bytes("\x02\0\0\0", 4);
  for (const auto& [tag, permissions, id] : entries) {
    for (const auto& [value, size] : {std::pair{tag, 2}, {permissions, 2}, {id, 4}}) {
      for (int i = 0; i < size; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
      }
    }
  }
  return bytes;
}

// Every extended attribute goes over to the new file: the ACL that lets another account
// write, the user's own, root's trusted ones; and none that the folder's default ACL
// would give a new file. Another hard link keeps the old contents.
TEST_F(AtomicFile, KeepsExtendedAttributes) {
  const unsigned kUserObject = 1, kUser = 2, kGroupObject = 4, kMask = 0x10, kOther = 0x20,
                 kNoId = 0xFFFFFFFF;
  const std::string acl = Acl({{kUserObject, 6, kNoId},
                               {kUser, 6, 65534},
                               {kGroupObject, 4, kNoId},
                               {kMask, 6, kNoId},
                               {kOther, 0, kNoId}});
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named" : "unnamed");
    const ScopedNamedTemporaryFiles scopedNamed(named);
    Put("a.ini", "old", 0640);
    ASSERT_EQ(setxattr(Path("a.ini").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0),
              0);
    ASSERT_EQ(setxattr(Path("a.ini").c_str(), "user.zelfix", "kept", 4, 0), 0);
    if (geteuid() == 0) {
      ASSERT_EQ(setxattr(Path("a.ini").c_str(), "trusted.zelfix", "root's", 6, 0), 0);
    }
    fs::create_hard_link(Path("a.ini"), Path("b.ini"));
    const std::map<std::string, std::string> attributes = Attributes("a.ini");
    const mode_t mode = Mode("a.ini");
    ASSERT_TRUE(ReplaceFile(Read("a.ini"), "new"));
    EXPECT_EQ(Get("a.ini"), "new");
    EXPECT_EQ(Get("b.ini"), "old");
    EXPECT_EQ(Attributes("a.ini"), attributes);
    EXPECT_EQ(Attributes("a.ini").count("system.posix_acl_access"), 1u);
    EXPECT_EQ(Mode("a.ini"), mode);
    fs::remove(Path("a.ini"));
    fs::remove(Path("b.ini"));
  }

  Put("c.ini", "old", 0600);
  const std::string inherited = Acl({{kUserObject, 6, kNoId},
                                     {kUser, 7, 65534},
                                     {kGroupObject, 4, kNoId},
                                     {kMask, 7, kNoId},
                                     {kOther, 4, kNoId}});
  ASSERT_EQ(
      setxattr(folder_.c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0),
      0);
  ASSERT_TRUE(ReplaceFile(Read("c.ini"), "new"));
  EXPECT_TRUE(Attributes("c.ini").empty());
  EXPECT_EQ(Mode("c.ini") & 07777, 0600u);
}

// While the new contents are written the temporary file has no name (unless forced, as
// where the file system has no unnamed files); it gets one right before the rename, and
// a writer holds it locked for as long as it has one.
TEST_F(AtomicFile, TemporaryFileIsNamedOnlyForTheRename) {
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named" : "unnamed");
    const ScopedNamedTemporaryFiles scopedNamed(named);
    Put("a.ini", "old");
    std::map<ReplaceStep, std::map<std::string, bool>> seen;
    const ScopedReplaceFaultHook fault([&](ReplaceStep step) {
      seen[step] = Temporaries();
      return false;
    });
    ASSERT_TRUE(ReplaceFile(Read("a.ini"), "new"));
    EXPECT_TRUE(seen[ReplaceStep::kCreateTemporary].empty());
    for (const ReplaceStep step :
         {ReplaceStep::kWrite, ReplaceStep::kCopyAttributes, ReplaceStep::kFlush}) {
      ASSERT_EQ(seen[step].size(), named ? 1u : 0u) << static_cast<int>(step);
    }
    ASSERT_EQ(seen[ReplaceStep::kRename].size(), 1u);
    const auto& [name, held] = *seen[ReplaceStep::kRename].begin();
    EXPECT_EQ(name.rfind(".a.ini.zelfix-", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string(".a.ini.zelfix-XXXXXX").size()) << name;
    EXPECT_TRUE(held) << name;
    EXPECT_EQ(Get("a.ini"), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
  }
}

// Temporary files of this file that nobody holds are what killed writers left; a write
// removes them, and nothing else.
TEST_F(AtomicFile, StaleTemporaryFilesAreRemoved) {
  const std::pair<std::string, bool> files[] = {
      {".a.ini.zelfix-Ab12Yz", true},  {".a.ini.zelfix-held00", false},
      {".a.ini.zelfix-Ab12Y", false},  {".a.ini.zelfix-Ab12Y_", false},
      {".b.ini.zelfix-Ab12Yz", false}, {"a.ini.zelfix-Ab12Yz", false},
      {".a.ini.zelfix-folder", false},
  };
  Put("a.ini", "old");
  std::vector<std::string> kept = {"a.ini"};
  for (const auto& [name, stale] : files) {
    if (name.find("folder") != std::string::npos) {
      fs::create_directory(Path(name));
    } else {
      Put(name, "left");
    }
    if (!stale) {
      kept.push_back(name);
    }
  }
  const int holder = open(Path(".a.ini.zelfix-held00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_TRUE(ReplaceFile(Read("a.ini"), "new"));
  close(holder);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(), kept);
  EXPECT_EQ(Get("a.ini"), "new");
}

// Renaming over a file needs no permission on the file itself, so it is checked first.
TEST_F(AtomicFile, ReadOnlyIsRefusedEvenForRoot) {
  Put("a.ini", "old", 0444);
  EXPECT_FALSE(ReplaceFile(Read("a.ini"), "new"));
  EXPECT_EQ(Get("a.ini"), "old");

  Put("b.ini", "old", 0464);  // only the group may write, and root
  const bool replaced = ReplaceFile(Read("b.ini"), "new");
  EXPECT_EQ(replaced, geteuid() == 0);
  EXPECT_EQ(Get("b.ini"), replaced ? "new" : "old");
}

TEST_F(AtomicFile, FailedStepLeavesNoTrace) {
  constexpr int kSteps = static_cast<int>(ReplaceStep::kRename) + 1;
  for (int run = 0; run < 2 * kSteps; ++run) {
    const ReplaceStep failing = static_cast<ReplaceStep>(run % kSteps);
    SCOPED_TRACE(run);
    const ScopedNamedTemporaryFiles scopedNamed(run >= kSteps);
    Put("a.ini", "old");
    int stepsSeen = 0;
    const ScopedReplaceFaultHook fault([&](ReplaceStep step) {
      ++stepsSeen;
      return step == failing;
    });
    EXPECT_FALSE(ReplaceFile(Read("a.ini"), "new"));
    EXPECT_FALSE(ReplaceFile(Read("b.ini"), "new"));
    EXPECT_EQ(stepsSeen, 2 * (static_cast<int>(failing) + 1));
    EXPECT_EQ(Get("a.ini"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
  }
}

TEST_F(AtomicFile, SymbolicLinkStaysALink) {
  Put("target.ini", "old", 0600);
  fs::create_symlink("target.ini", folder_ / "link.ini");
  ASSERT_TRUE(ReplaceFile(Read("link.ini"), "new"));
  EXPECT_TRUE(S_ISLNK(Mode("link.ini")));
  EXPECT_EQ(Get("target.ini"), "new");
  EXPECT_EQ(Mode("target.ini") & 07777, 0600u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.ini", "target.ini"}));
}

TEST_F(AtomicFile, ChangeSinceReadingIsRefused) {
  Put("a.ini", "old");
  FileAsRead read = Read("a.ini");
  Put("a.ini", "other");  // grown
  EXPECT_FALSE(ReplaceFile(read, "new"));
  EXPECT_EQ(Get("a.ini"), "other");

  read = Read("a.ini");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 5}};
  ASSERT_EQ(utimensat(AT_FDCWD, Path("a.ini").c_str(), times, 0), 0);  // same size, touched
  EXPECT_FALSE(ReplaceFile(read, "new"));
  EXPECT_EQ(Get("a.ini"), "other");

  read = Read("a.ini");
  fs::remove(folder_ / "a.ini");  // vanished: not to be created anew
  EXPECT_FALSE(ReplaceFile(read, "new"));
  EXPECT_TRUE(Names().empty());

  read = Read("a.ini");
  Put("a.ini", "appeared");
  EXPECT_FALSE(ReplaceFile(read, "new"));
  EXPECT_EQ(Get("a.ini"), "appeared");
}

// Replacing needs the folder's write permission, which root has regardless.
TEST_F(AtomicFile, FolderWithoutWritePermission) {
  Put("a.ini", "old");
  const FileAsRead read = Read("a.ini");
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  const bool replaced = ReplaceFile(read, "new");
  EXPECT_EQ(replaced, geteuid() == 0);
  EXPECT_EQ(Get("a.ini"), replaced ? "new" : "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
}

}  // namespace
