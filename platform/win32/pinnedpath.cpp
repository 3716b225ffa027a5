// win32 pinned paths: CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT, one name at a time;
// GetFileInformationByHandle, GetFinalPathNameByHandleW and GetSecurityInfo on the handles.
//
// Not done: impersonating the user whose profile holds a shadow copy. The same rule
// covers those folders, and needs no token of a user who may not be logged on.
#include "platform/win32/pinnedpath.h"

#include <aclapi.h>

#include <cstring>
#include <utility>

namespace platform::win32 {

namespace {

constexpr int kMostLinksFollowed = 8;

std::wstring WithoutVerbatimPrefix(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    return L"\\\\" + path.substr(8);
  }
  if (path.rfind(L"\\\\?\\", 0) == 0) {
    return path.substr(4);
  }
  return path;
}

// Windows names match without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

// `path` as the profile functions take it, made full, with long names (as final paths
// give them) where it exists; empty when it cannot be made full.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full;
  if (path.find_first_of(L"\\/") == std::wstring::npos) {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
      return std::wstring();
    }
    full = Join(std::wstring(folder, length), path);
  } else {
    full.resize(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr));
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
      return std::wstring();
    }
    full.resize(length);
  }
  full = WithoutVerbatimPrefix(full);
  std::wstring longer(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
  const DWORD length =
      GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
  if (length != 0 && length < longer.size()) {
    longer.resize(length);
    full = longer;
  }
  return full;
}

struct SplitPath {
  std::wstring root;  // "C:\" or "\\server\share\"
  std::vector<std::wstring> names;
};

// False for a path with no name below its root, and for device paths ("\\.\", "\\?\").
bool Split(const std::wstring& full, SplitPath& split) {
  std::size_t start = 0;
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    start = 3;
  } else if (full.rfind(L"\\\\", 0) == 0) {
    const std::size_t server = full.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : full.find(L'\\', server + 1);
    if (server == std::wstring::npos || server == 2 || share == std::wstring::npos ||
        share == server + 1 || full.compare(2, server - 2, L".") == 0 ||
        full.compare(2, server - 2, L"?") == 0) {
      return false;
    }
    start = share + 1;
  } else {
    return false;
  }
  split.root = full.substr(0, start);
  split.names.clear();
  for (std::size_t at = start; at < full.size();) {
    std::size_t end = full.find(L'\\', at);
    if (end == std::wstring::npos) {
      end = full.size();
    }
    if (end > at) {
      split.names.push_back(full.substr(at, end - at));
    }
    at = end + 1;
  }
  return !split.names.empty();
}

bool NotThere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring FinalPath(HANDLE handle) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      return std::wstring();
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return WithoutVerbatimPrefix(buffer);
    }
    buffer.resize(length);  // the size it needs, its NUL included
  }
}

// Whether the link `path` (held open, so that it is the one just opened) belongs to a
// trusted owner.
bool OwnerTrusted(const std::wstring& path) {
  const FileHandle link(
      CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link) {
    return false;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(link.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const LocalMemory kept(descriptor);
  return IsTrustedOwner(owner);
}

class SystemNameOpener final : public NameOpener {
 public:
  OpenedName Open(const std::wstring& path, Kind kind) override {
    OpenedName name;
    // Traverse access takes part in sharing: without delete sharing, nobody may rename
    // or remove the folder while it is held. Attribute access alone takes no part.
    const DWORD access =
        kind == Kind::kFolder ? FILE_TRAVERSE | FILE_READ_ATTRIBUTES : FILE_READ_ATTRIBUTES;
    name.handle =
        FileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               kind == Kind::kNewFile ? CREATE_NEW : OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!name.handle || !GetFileInformationByHandle(name.handle.get(), &info)) {
      name.error = GetLastError();
      name.handle.reset();
      return name;
    }
    name.attributes = info.dwFileAttributes;
    name.links = info.nNumberOfLinks;
    name.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    name.volume = info.dwVolumeSerialNumber;
    name.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    name.finalPath = FinalPath(name.handle.get());
    if ((name.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      name.trustedOwner = OwnerTrusted(path);
    }
    return name;
  }

  std::wstring Target(const std::wstring& path) override {
    const FileHandle followed(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return followed ? FinalPath(followed.get()) : std::wstring();
  }
};

}  // namespace

NameOpener& SystemNames() {
  static SystemNameOpener names;
  return names;
}

bool IsTrustedOwner(PSID owner) {
  if (owner == nullptr || !IsValidSid(owner)) {
    return false;
  }
  if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      IsWellKnownSid(owner, WinLocalSystemSid)) {
    return true;
  }
  // NT SERVICE\TrustedInstaller, which owns Windows' own files: no well-known constant.
  static const DWORD kTrustedInstaller[] = {80,          956008885u,  3418522649u,
                                            1831038044u, 1853292631u, 2271478464u};
  const SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (std::memcmp(GetSidIdentifierAuthority(owner)->Value, nt.Value, sizeof nt.Value) != 0 ||
      *GetSidSubAuthorityCount(owner) != 6) {
    return false;
  }
  for (DWORD i = 0; i < 6; ++i) {
    if (*GetSidSubAuthority(owner, i) != kTrustedInstaller[i]) {
      return false;
    }
  }
  return true;
}

PinnedPath PinnedPath::Refused(State state, DWORD error) {
  PinnedPath refused;
  refused.state_ = state;
  refused.error_ = error;
  return refused;
}

PinnedPath PinnedPath::Pin(const std::wstring& path, bool createMissing, NameOpener& names) {
  using Kind = NameOpener::Kind;
  std::wstring full = FullPath(path);
  for (int followed = 0; followed <= kMostLinksFollowed; ++followed) {
    SplitPath split;
    if (!Split(full, split)) {
      return Refused(State::kFailed, ERROR_BAD_PATHNAME);
    }
    PinnedPath pin;
    OpenedName root = names.Open(split.root, Kind::kFolder);
    if (root.error != ERROR_SUCCESS) {
      return Refused(NotThere(root.error) ? State::kMissing : State::kFailed, root.error);
    }
    // The folder reached so far, as the system names it: a drive letter may stand for a
    // network share or another folder (subst), so each name is checked against this.
    std::wstring reached = root.finalPath;
    pin.held_.push_back(std::move(root.handle));
    std::wstring requested = split.root;
    std::wstring instead;  // after a trusted link: the path to walk, from its root
    for (std::size_t i = 0; i < split.names.size() && instead.empty(); ++i) {
      const bool last = i + 1 == split.names.size();
      requested = Join(requested, split.names[i]);
      OpenedName name = names.Open(requested, last ? Kind::kFile : Kind::kFolder);
      if (last && createMissing && name.error == ERROR_FILE_NOT_FOUND) {
        name = names.Open(requested, Kind::kNewFile);
        if (name.error == ERROR_FILE_EXISTS || name.error == ERROR_ALREADY_EXISTS) {
          // A name is there that would not open: a link that leads nowhere.
          return Refused(State::kUnsafe, name.error);
        }
      }
      if (name.error != ERROR_SUCCESS) {
        return Refused(NotThere(name.error) ? State::kMissing : State::kFailed, name.error);
      }
      if ((name.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if (!name.trustedOwner) {
          return Refused(State::kUnsafe, ERROR_SUCCESS);
        }
        instead = names.Target(requested);
        if (instead.empty()) {
          return Refused(State::kMissing, ERROR_PATH_NOT_FOUND);
        }
        for (std::size_t rest = i + 1; rest < split.names.size(); ++rest) {
          instead = Join(instead, split.names[rest]);
        }
        continue;
      }
      if (reached.empty() || name.finalPath.empty() ||
          !SamePath(name.finalPath, Join(reached, split.names[i]))) {
        return Refused(State::kUnsafe, ERROR_SUCCESS);
      }
      reached = name.finalPath;
      if (last) {
        if ((name.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.links > 1) {
          return Refused(State::kUnsafe, ERROR_SUCCESS);
        }
        pin.size_ = name.size;
        pin.volume_ = name.volume;
        pin.index_ = name.index;
      }
      pin.held_.push_back(std::move(name.handle));
    }
    if (instead.empty()) {
      pin.state_ = State::kPinned;
      pin.path_ = requested;
      return pin;
    }
    full = instead;  // what was held so far goes with `pin`
  }
  // A longer chain of links is a loop, as far as the program is concerned.
  return Refused(State::kUnsafe, ERROR_CANT_RESOLVE_FILENAME);
}

bool PinnedPath::SameFile(const PinnedPath& other) const {
  return volume_ == other.volume_ && index_ == other.index_;
}

}  // namespace platform::win32
