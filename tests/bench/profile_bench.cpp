// The profile functions against the floor and against Windows' own: read, write and
// read-back of one key in settings files of 1 KB, 1 MB and 10 MB, the key near the start
// or near the end. The same source builds natively (our engine and atomic replacement,
// Google Benchmark) and for Windows (the real functions under Wine, the stand-in harness
// of benchmark.h); scripts/bench.sh runs both and prints the table.
//
// - read: the first read of a file, as the program makes it. The file's time stamp is
//   moved before each one (not timed), so that a back-end that caches a parsed file
//   cannot answer from its cache.
// - write: a new value (two values of the same length in turn), as the program writes
//   it right after its read.
// - read-back: the read right after that write, as the program confirms it.
// - floor (native only): what any correct rewrite must do at least, without parsing -
//   reading the file's bytes into a new buffer (floor-read), reading them and writing
//   them to a new file that is flushed and renamed over the old one (floor-write), and
//   reading the bytes right after such a rewrite (floor-read-back).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/bench/benchmark.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace {

const std::string kValues[] = {"192.0.2.10", "192.0.2.11"};

struct Size {
  const char* name;
  std::size_t bytes;
};
const Size kSizes[] = {{"1KB", 1 << 10}, {"1MB", 1 << 20}, {"10MB", 10 << 20}};

// About `bytes` of a real-looking settings file: a GBK comment, many small sections with
// a Chinese comment each, and [web] with its address right at the start or at the end.
std::string SettingsFile(std::size_t bytes, bool nearEnd) {
  const std::string web = "[web]\r\nwebserver=" + kValues[0] + "\r\nport=80\r\n\r\n";
  std::string text = "; ZEL \xC9\xE8\xD6\xC3\r\n";  // "settings" in GBK
  if (!nearEnd) {
    text += web;
  }
  for (int section = 0; text.size() + web.size() < bytes; ++section) {
    text += "[s" + std::to_string(section) + "]\r\n; \xD7\xA2\xCA\xCD\r\n";
    for (int key = 0; key < 8 && text.size() + web.size() < bytes; ++key) {
      text += "key" + std::to_string(key) + "=C:\\ZEL\\DATA\\" + std::to_string(section) + "\r\n";
    }
    text += "\r\n";
  }
  return nearEnd ? text + web : text;
}

#ifdef _WIN32
std::string Folder() {
  return "C:\\zelfix-bench";
}
std::string HostPath(const std::string& name) {
  return Folder() + "\\" + name;
}
void MakeFolder() {
  CreateDirectoryA(Folder().c_str(), nullptr);
}
// Moves the file's last-write time to a new moment.
void Touch(const std::string& hostPath) {
  static ULONGLONG moment = 130000000000000000ULL;
  moment += 10000000;
  HANDLE file = CreateFileA(hostPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  FILETIME time = {static_cast<DWORD>(moment), static_cast<DWORD>(moment >> 32)};
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}
#else
// A private Wine-style prefix whose C: is a scratch folder.
std::string& Prefix() {
  static std::string prefix;
  return prefix;
}
std::string Folder() {
  return Prefix() + "/drive_c/zelfix-bench";
}
std::string HostPath(const std::string& name) {
  return Folder() + "/" + name;
}
void MakeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zelfix-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  Prefix() = pattern;
  std::filesystem::create_directories(Folder());
  std::filesystem::create_directories(Prefix() + "/dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", Prefix() + "/dosdevices/c:");
  setenv("WINEPREFIX", Prefix().c_str(), 1);
}
void Touch(const std::string& hostPath) {
  static long long moment = 1300000000;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {++moment, 0}};
  utimensat(AT_FDCWD, hostPath.c_str(), times, 0);
}

// The floor: the file's bytes read, and written to a new file that replaces it the way
// a safe rewrite must (flush, rename, flush the folder), with plain system calls.
bool ReadBytes(const std::string& hostPath, std::string& bytes) {
  const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    return false;
  }
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got <= 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return close(fd) == 0 && done == bytes.size();
}
bool RewriteBytes(const std::string& hostPath) {
  std::string bytes;
  if (!ReadBytes(hostPath, bytes)) {
    return false;
  }
  const std::string temporary = hostPath + ".floor";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  bool ok = fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok && rename(temporary.c_str(), hostPath.c_str()) == 0;
  const int folder = open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = ok && fsync(folder) == 0;
  close(folder);
  return ok;
}
#endif

std::string WindowsPath(const std::string& name) {
  return "C:\\zelfix-bench\\" + name;
}

void Put(const std::string& name, const std::string& bytes) {
  std::ofstream(HostPath(name), std::ios::binary | std::ios::trunc) << bytes;
}

void Register(const std::string& name, void (*body)(benchmark::State&, const std::string&),
              const std::string& file) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [body, file](benchmark::State& state) { body(state, file); })
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime()
      ->MinTime(0.5);
}

bool ReadsAs(const std::string& path, const std::string& expected) {
  std::string value;
  platform::FileResult result;
  platform::GetProfileEntry("web", "webserver", value, path, result);
  return value == expected;
}

void Read(benchmark::State& state, const std::string& name) {
  const std::string path = WindowsPath(name);
  std::string value;
  platform::FileResult result;
  for (auto _ : state) {
    state.PauseTiming();
    Touch(HostPath(name));
    state.ResumeTiming();
    benchmark::DoNotOptimize(platform::GetProfileEntry("web", "webserver", value, path, result));
  }
  if (value.empty()) {
    state.SkipWithError("nothing read");
  }
}

void Write(benchmark::State& state, const std::string& name) {
  const std::string path = WindowsPath(name);
  std::size_t turn = 0;
  for (auto _ : state) {
    if (platform::PutProfileEntry("web", "webserver", kValues[++turn % 2], path).problem !=
        platform::FileProblem::kNone) {
      state.SkipWithError("write failed");
      break;
    }
  }
  if (!ReadsAs(path, kValues[turn % 2])) {
    state.SkipWithError("the value written does not read back");
  }
}

void ReadBack(benchmark::State& state, const std::string& name) {
  const std::string path = WindowsPath(name);
  std::size_t turn = 0;
  std::string value;
  platform::FileResult result;
  for (auto _ : state) {
    state.PauseTiming();
    platform::PutProfileEntry("web", "webserver", kValues[++turn % 2], path);
    state.ResumeTiming();
    platform::GetProfileEntry("web", "webserver", value, path, result);
    if (value != kValues[turn % 2]) {
      state.SkipWithError("the value written does not read back");
      break;
    }
  }
}

#ifndef _WIN32
void FloorRead(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    std::string bytes;  // a new buffer each time, as for any reader that hands it on
    if (!ReadBytes(HostPath(name), bytes)) {
      state.SkipWithError("cannot read");
      break;
    }
    benchmark::DoNotOptimize(bytes.data());
  }
}

void FloorReadBack(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    state.PauseTiming();
    const bool rewritten = RewriteBytes(HostPath(name));
    state.ResumeTiming();
    std::string bytes;
    if (!rewritten || !ReadBytes(HostPath(name), bytes)) {
      state.SkipWithError("cannot rewrite or read");
      break;
    }
    benchmark::DoNotOptimize(bytes.data());
  }
}

void FloorWrite(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    if (!RewriteBytes(HostPath(name))) {
      state.SkipWithError("cannot rewrite");
      break;
    }
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  MakeFolder();
  for (const Size& size : kSizes) {
    for (const bool nearEnd : {false, true}) {
      const std::string position = nearEnd ? "end" : "start";
      const std::string name = std::string(size.name) + "-" + position + ".sys";
      Put(name, SettingsFile(size.bytes, nearEnd));
      const std::string row = std::string(size.name) + "/" + position;
      Register("read/" + row, Read, name);
      Register("write/" + row, Write, name);
      Register("read-back/" + row, ReadBack, name);
#ifndef _WIN32
      Register("floor-read/" + row, FloorRead, name);
      Register("floor-write/" + row, FloorWrite, name);
      Register("floor-read-back/" + row, FloorReadBack, name);
#endif
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#ifndef _WIN32
  std::filesystem::remove_all(Prefix());
#endif
  return 0;
}
