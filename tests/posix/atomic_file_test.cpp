#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::posix::FileIdentity;
using platform::posix::ReadWholeFile;
using platform::posix::ReplaceFile;
using platform::posix::ReplaceStep;
using platform::posix::SetReplaceFaultHook;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zelfix-atomic-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    SetReplaceFaultHook(nullptr);
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
  FileIdentity Identity(const std::string& name) const {
    std::string bytes;
    FileIdentity identity;
    EXPECT_TRUE(ReadWholeFile(Path(name), bytes, identity));
    return identity;
  }

  fs::path folder_;
};

TEST_F(AtomicFile, ReadsBytesAndTellsMissingFromUnreadable) {
  Put("a.ini", std::string("x\0y\r\n", 5));
  std::string bytes;
  FileIdentity identity;
  ASSERT_TRUE(ReadWholeFile(Path("a.ini"), bytes, identity));
  EXPECT_EQ(bytes, std::string("x\0y\r\n", 5));
  EXPECT_TRUE(identity.existed);
  EXPECT_EQ(identity.size, 5u);

  EXPECT_TRUE(ReadWholeFile(Path("missing.ini"), bytes, identity));
  EXPECT_FALSE(identity.existed);
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(ReadWholeFile(folder_.string(), bytes, identity));
  EXPECT_FALSE(ReadWholeFile(Path("a.ini") + "/x", bytes, identity));
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(Path("fifo"), bytes, identity));  // and does not hang
}

TEST_F(AtomicFile, ReplacesKeepingPermissions) {
  Put("a.ini", "old", 0640);
  ASSERT_TRUE(ReplaceFile(Path("a.ini"), "new", Identity("a.ini")));
  EXPECT_EQ(Get("a.ini"), "new");
  EXPECT_EQ(Mode("a.ini") & 07777, 0640u);

  const mode_t mask = umask(022);
  EXPECT_TRUE(ReplaceFile(Path("new.ini"), "[web]\r\n", Identity("new.ini")));
  umask(mask);
  EXPECT_EQ(Get("new.ini"), "[web]\r\n");
  EXPECT_EQ(Mode("new.ini") & 07777, 0644u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.ini", "new.ini"}));
}

// Renaming over a file needs no permission on the file itself, so it is checked first.
TEST_F(AtomicFile, ReadOnlyIsRefusedEvenForRoot) {
  Put("a.ini", "old", 0444);
  EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", Identity("a.ini")));
  EXPECT_EQ(Get("a.ini"), "old");

  Put("b.ini", "old", 0464);  // only the group may write, and root
  const bool replaced = ReplaceFile(Path("b.ini"), "new", Identity("b.ini"));
  EXPECT_EQ(replaced, geteuid() == 0);
  EXPECT_EQ(Get("b.ini"), replaced ? "new" : "old");
}

TEST_F(AtomicFile, FailedStepLeavesNoTrace) {
  for (const ReplaceStep failing : {ReplaceStep::kCreateTemporary, ReplaceStep::kWrite,
                                    ReplaceStep::kFlush, ReplaceStep::kRename}) {
    SCOPED_TRACE(static_cast<int>(failing));
    Put("a.ini", "old");
    int stepsSeen = 0;
    SetReplaceFaultHook([&](ReplaceStep step) {
      ++stepsSeen;
      return step == failing;
    });
    EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", Identity("a.ini")));
    EXPECT_FALSE(ReplaceFile(Path("b.ini"), "new", Identity("b.ini")));
    EXPECT_EQ(stepsSeen, 2 * (static_cast<int>(failing) + 1));
    EXPECT_EQ(Get("a.ini"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
  }
}

TEST_F(AtomicFile, SymbolicLinkStaysALink) {
  Put("target.ini", "old", 0600);
  fs::create_symlink("target.ini", folder_ / "link.ini");
  ASSERT_TRUE(ReplaceFile(Path("link.ini"), "new", Identity("link.ini")));
  EXPECT_TRUE(S_ISLNK(Mode("link.ini")));
  EXPECT_EQ(Get("target.ini"), "new");
  EXPECT_EQ(Mode("target.ini") & 07777, 0600u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.ini", "target.ini"}));
}

TEST_F(AtomicFile, ChangeSinceReadingIsRefused) {
  Put("a.ini", "old");
  FileIdentity identity = Identity("a.ini");
  Put("a.ini", "other");  // grown
  EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", identity));
  EXPECT_EQ(Get("a.ini"), "other");

  identity = Identity("a.ini");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 5}};
  ASSERT_EQ(utimensat(AT_FDCWD, Path("a.ini").c_str(), times, 0), 0);  // same size, touched
  EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", identity));
  EXPECT_EQ(Get("a.ini"), "other");

  identity = Identity("a.ini");
  fs::remove(folder_ / "a.ini");  // vanished: not to be created anew
  EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", identity));
  EXPECT_TRUE(Names().empty());

  identity = Identity("a.ini");
  Put("a.ini", "appeared");
  EXPECT_FALSE(ReplaceFile(Path("a.ini"), "new", identity));
  EXPECT_EQ(Get("a.ini"), "appeared");
}

// Replacing needs the folder's write permission, which root has regardless.
TEST_F(AtomicFile, FolderWithoutWritePermission) {
  Put("a.ini", "old");
  const FileIdentity identity = Identity("a.ini");
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  const bool replaced = ReplaceFile(Path("a.ini"), "new", identity);
  EXPECT_EQ(replaced, geteuid() == 0);
  EXPECT_EQ(Get("a.ini"), replaced ? "new" : "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
}

}  // namespace
