// win32 log file (logfile.h): CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT, checked by
// GetFileType, GetFileInformationByHandle, GetFinalPathNameByHandleW and the owner of its
// security descriptor; created with CREATE_NEW; locked with LockFileEx; appended at the
// end of file whatever another writer did meanwhile.
#include "platform/logfile.h"

#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

std::string SystemMessage(DWORD code) {
  return DescribeSystemError(std::error_code(static_cast<int>(code), std::system_category()));
}

// The byte every run locks: far beyond any end of file, so that the lock, which Windows
// enforces on reads and writes, never stands in a reader's way.
OVERLAPPED LockPlace() {
  OVERLAPPED place{};
  place.OffsetHigh = 0x40000000;
  return place;
}

class Win32LogFile : public LogFile {
 public:
  explicit Win32LogFile(win32::FileHandle handle) : handle_(std::move(handle)) {}

  Lock TryLock() override {
    OVERLAPPED place = LockPlace();
    if (LockFileEx(handle_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &place)) {
      return Lock::kTaken;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
      return Lock::kBusy;
    }
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
      return Lock::kTaken;  // a file system without locks
    }
    Failed(error);
    return Lock::kFailed;
  }

  void Unlock() override {
    OVERLAPPED place = LockPlace();
    UnlockFileEx(handle_.get(), 0, 1, 0, &place);
  }

  bool Size(std::uint64_t& size) override {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(handle_.get(), &value)) {
      return Failed(GetLastError());
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
  }

  bool Read(std::uint64_t offset, std::size_t count, std::string& bytes) override {
    bytes.resize(count);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(handle_.get(), bytes.data(), static_cast<DWORD>(count), &read, &at) &&
        GetLastError() != ERROR_HANDLE_EOF) {
      return Failed(GetLastError());
    }
    bytes.resize(read);
    return true;
  }

  bool Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      // Both halves of the offset 0xFFFFFFFF: at the end of file, wherever it is now.
      OVERLAPPED end{};
      end.Offset = end.OffsetHigh = 0xFFFFFFFF;
      const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
      DWORD written = 0;
      if (!WriteFile(handle_.get(), bytes.data(), chunk, &written, &end)) {
        return Failed(GetLastError());
      }
      if (written == 0) {
        return Failed(ERROR_DISK_FULL);
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool Truncate(std::uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(handle_.get(), FileEndOfFileInfo, &end, sizeof end) ||
           Failed(GetLastError());
  }

  std::string Problem() const override { return problem_; }

 private:
  bool Failed(DWORD error) {
    problem_ = SystemMessage(error);
    return false;
  }

  win32::FileHandle handle_;
  std::string problem_;
};

std::wstring FullPath(const std::wstring& path, std::size_t* nameAt = nullptr) {
  std::wstring full(MAX_PATH, L'\0');
  wchar_t* name = nullptr;
  DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), &name);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameW(path.c_str(), length, full.data(), &name);
  }
  if (length == 0 || length >= full.size() || name == nullptr) {
    return std::wstring();
  }
  if (nameAt != nullptr) {
    *nameAt = static_cast<std::size_t>(name - full.data());
  }
  full.resize(length);
  return full;
}

// On a network share, where the server keeps the access rules and knows this PC by its
// computer account, which no local token names.
bool OnShare(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    return true;
  }
  if (full.rfind(L"\\\\", 0) == 0) {
    return full.rfind(L"\\\\?\\", 0) != 0 && full.rfind(L"\\\\.\\", 0) != 0;
  }
  wchar_t root[MAX_PATH + 1] = {};
  return GetVolumePathNameW(full.c_str(), root, MAX_PATH) && GetDriveTypeW(root) == DRIVE_REMOTE;
}

std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= path.size()) {
    path.resize(length);
    length = GetFinalPathNameByHandleW(handle, path.data(), length,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  path.resize(length < path.size() ? length : 0);
  return path;
}

// Whether what `handle` opened is the entry that `path` names in its folder, not a file
// elsewhere that a link in the last part led to. Wine shows a Unix link to a file as no
// link at all, so the final path of the file is compared with that of the folder.
bool ReachedByItsOwnName(HANDLE handle, const std::wstring& path) {
  std::size_t nameAt = 0;
  std::wstring full = FullPath(path, &nameAt);
  if (full.empty()) {
    return true;  // nothing to compare with; the attributes were checked
  }
  // A short (8.3) name stands for the long one the final path has.
  std::wstring longName(full.size() + MAX_PATH, L'\0');
  const DWORD longLength =
      GetLongPathNameW(full.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
  std::wstring name = full.substr(nameAt);
  if (longLength > 0 && longLength < longName.size()) {
    longName.resize(longLength);
    const std::size_t slash = longName.find_last_of(L"\\/");
    name = longName.substr(slash == std::wstring::npos ? 0 : slash + 1);
  }
  const std::wstring folderPath = full.substr(0, nameAt);
  const win32::FileHandle folder(CreateFileW(folderPath.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
  std::wstring expected = folder ? FinalPath(folder.get()) : std::wstring();
  const std::wstring reached = FinalPath(handle);
  if (expected.empty() || reached.empty()) {
    return true;
  }
  if (expected.back() != L'\\') {
    expected += L'\\';
  }
  expected += name;
  return CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), reached.c_str(),
                              static_cast<int>(reached.size()), TRUE) == CSTR_EQUAL;
}

template <typename Information>
std::vector<unsigned char> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS what) {
  DWORD size = 0;
  GetTokenInformation(token, what, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size >= sizeof(Information) ? size : 0);
  if (buffer.empty() || !GetTokenInformation(token, what, buffer.data(), size, &size)) {
    buffer.clear();
  }
  return buffer;
}

// Whether the file belongs to this run's user: the token's user, or a group the token
// may make owner of what it creates (Administrators, for an elevated run or SYSTEM).
bool OwnedByThisRun(HANDLE file) {
  FILE_REMOTE_PROTOCOL_INFO remote{};
  if (GetFileInformationByHandleEx(file, FileRemoteProtocolInfo, &remote, sizeof remote)) {
    return true;  // the server decides (OnShare)
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const win32::LocalMemory ownDescriptor(descriptor);
  if (owner == nullptr) {
    return true;  // a file system without owners (FAT): nobody owns anything there
  }
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
    return false;
  }
  const win32::KernelHandle token(rawToken);
  const auto user = TokenInformation<TOKEN_USER>(rawToken, TokenUser);
  if (!user.empty() &&
      EqualSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, owner)) {
    return true;
  }
  const auto groups = TokenInformation<TOKEN_GROUPS>(rawToken, TokenGroups);
  if (groups.empty()) {
    return false;
  }
  const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    if ((list->Groups[i].Attributes & SE_GROUP_OWNER) != 0 &&
        EqualSid(list->Groups[i].Sid, owner)) {
      return true;
    }
  }
  return false;
}

// Why the file open as `handle`, named `path`, must not be the log; nothing when it may.
std::optional<std::string> Refusal(HANDLE handle, const std::wstring& path) {
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    return "它不是普通文件，而是管道、套接字或设备";
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) {
    return SystemMessage(GetLastError());
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      !ReachedByItsOwnName(handle, path)) {
    return "它是一个链接";
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return "它是一个目录";
  }
  if (information.nNumberOfLinks > 1) {
    return "它有多个硬链接";
  }
  if (!OwnedByThisRun(handle)) {
    return "它属于其他用户";
  }
  return std::nullopt;
}

// The security a new log gets: on a local drive an access list of its own, protected from
// what the folder passes on, that lets in only its owner, SYSTEM and Administrators; on a
// share what the folder passes on, since a list naming this PC's accounts would lock the
// PC's own computer account out there.
class NewFileSecurity {
 public:
  explicit NewFileSecurity(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!full.empty() && !OnShare(full) &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;OW)(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
      descriptor_ = win32::LocalMemory(descriptor);
      attributes_.nLength = sizeof attributes_;
      attributes_.lpSecurityDescriptor = descriptor;
    }
  }

  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  win32::LocalMemory descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::unique_ptr<LogFile> OpenLogFile(const std::string& path, std::string& why) {
  const std::wstring wide = win32::Widen(path);
  // Read as well: what it holds decides how to append. Others may read and append too.
  constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  const auto open = [&](DWORD disposition, SECURITY_ATTRIBUTES* security) {
    return win32::FileHandle(
        CreateFileW(wide.c_str(), kAccess, kShare, security, disposition, kFlags, nullptr));
  };
  win32::FileHandle handle = open(OPEN_EXISTING, nullptr);
  DWORD error = handle ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) {
    NewFileSecurity security(wide);
    handle = open(CREATE_NEW, security.Attributes());
    error = handle ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_FILE_EXISTS) {
      // Another run was first - or the name is a link that leads nowhere.
      handle = open(OPEN_EXISTING, nullptr);
      error = handle ? ERROR_SUCCESS : GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) {
        why = "它是一个链接";
        return nullptr;
      }
    }
  }
  if (!handle) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    why = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
              ? "它是一个目录"
              : SystemMessage(error);
    return nullptr;
  }
  if (const auto refusal = Refusal(handle.get(), wide)) {
    why = *refusal;
    return nullptr;
  }
  return std::make_unique<Win32LogFile>(std::move(handle));
}

LogEncoding NewLogEncoding() {
  return LogEncoding::kUtf16LE;
}

}  // namespace platform
