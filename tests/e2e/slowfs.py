#!/usr/bin/python3
"""Drives that answer late or not at all, as FUSE file systems for the end-to-end suite.

    slowfs.py dead MOUNTPOINT              a drive whose server has gone
    slowfs.py slow MOUNTPOINT BACKING      BACKING's files, the names in its root found late
    slowfs.py spinning MOUNTPOINT BACKING  BACKING's files on a disk that has to spin up

dead: the root itself answers at once (its attributes, and the label and serial files
that Wine looks for when its server starts), so that Wine can start; every other lookup
and the root's listing answer only after HANG seconds, as a mapped network drive does
whose server has gone.
slow: BACKING's files, passed through as they are (no link: a link would be refused as
one an ordinary user made); each name in the root, and the root's listing, take DELAY
seconds the first time, as on a disk spinning up; below them nothing waits.
spinning: as slow, but every lookup in the root waits until SPIN_UP seconds after the
first one, as on a disk that wakes only when asked; then all answer at once.

Each lookup made to wait is logged on standard output: "lookup <path> by <pid> <command>",
the command being the asker's first argument (under Wine, its Windows command line).

Runs in the foreground until killed; ready once MOUNTPOINT is a mount point.
"""
import errno
import os
import stat
import sys
import threading
import time

import fusepy
from fusepy import FUSE, FuseOSError, Operations

HANG = 60  # far beyond any bound the program may keep
DELAY = 2
SPIN_UP = 12  # longer than the bound of a drive that may go away, within a local disk's
# What Wine reads on every drive when its server starts.
WINE_PROBES = ("/.windows-label", "/.windows-serial")
ROOT = {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}


def wait(seconds):
    """Sleeps, but gives up with EINTR once the caller is gone: the kernel keeps a killed
    process waiting for the answer to a request already sent."""
    end = time.time() + seconds
    while time.time() < end:
        if fusepy._libfuse.fuse_interrupted():
            raise FuseOSError(errno.EINTR)
        time.sleep(0.05)


def asked(path):
    """Says who made a lookup that is about to wait."""
    pid = fusepy.fuse_get_context()[2]
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            program = cmdline.read().split(b"\0")[0].decode(errors="replace")
    except OSError:
        program = "?"
    print(f"lookup {path} by {pid} {program.strip()}", flush=True)


class Dead(Operations):
    def getattr(self, path, fh=None):
        if path == "/":
            return ROOT
        if path not in WINE_PROBES:
            asked(path)
            wait(HANG)
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        asked(path)
        wait(HANG)
        return [".", ".."]


class Slow(Operations):
    def __init__(self, backing, spinning):
        self.backing = backing
        self.answered = set()  # what was read once answers at once, as from a cache
        self.spinning = spinning
        self.awake = None  # spinning: when the disk has spun up
        self.lock = threading.Lock()

    def late(self, what):
        with self.lock:
            self.awake = self.awake or time.time() + SPIN_UP
        if time.time() < self.awake if self.spinning else what not in self.answered:
            asked(what)
            wait(self.awake - time.time() if self.spinning else DELAY)
            self.answered.add(what)

    def real(self, path):
        """BACKING's name for `path`, once the root's name it lies under has answered."""
        if path != "/" and path not in WINE_PROBES:
            self.late("/" + path.split("/")[1])
        return self.backing + path

    def getattr(self, path, fh=None):
        if path in WINE_PROBES:
            raise FuseOSError(errno.ENOENT)
        info = os.lstat(self.real(path))
        return {key: getattr(info, key) for key in (
            "st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_ino", "st_atime",
            "st_mtime", "st_ctime")}

    def readdir(self, path, fh):
        if path == "/":
            self.late("listing")
        return [".", ".."] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def statfs(self, path):
        info = os.statvfs(self.real(path))
        return {key: getattr(info, key) for key in (
            "f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail", "f_files", "f_ffree",
            "f_favail", "f_flag", "f_namemax")}

    def owned(self, path):
        """Gives what the asker made to the asker, as a disk would."""
        uid, gid, _ = fusepy.fuse_get_context()
        os.lchown(self.real(path), uid, gid)

    def open(self, path, flags):
        return os.open(self.real(path), flags & ~os.O_CREAT)

    def create(self, path, mode, fi=None):
        fd = os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
        self.owned(path)
        return fd

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is None:
            os.truncate(self.real(path), length)
        else:
            os.ftruncate(fh, length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)
        self.owned(path)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, source):
        os.link(self.real(source), self.real(target))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))
        self.owned(target)

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.lchown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times, follow_symlinks=False)


def main():
    mode, mountpoint = sys.argv[1], sys.argv[2]
    operations = Dead() if mode == "dead" else Slow(os.path.abspath(sys.argv[3]),
                                                      mode == "spinning")
    # allow_other: Wine runs as another user; intr: interrupted requests are told;
    # auto_unmount: the mount goes with this process, even when it is killed.
    # use_ino: the backing files' own numbers, so that a file keeps its identity.
    FUSE(operations, mountpoint, foreground=True, allow_other=True, intr=True,
         auto_unmount=True, use_ino=True)


if __name__ == "__main__":
    main()
