#!/usr/bin/python3
"""Drives that answer late or not at all, as FUSE file systems for the end-to-end suite.

    slowfs.py dead MOUNTPOINT          a drive whose server has gone
    slowfs.py slow MOUNTPOINT BACKING  BACKING's files, the names in its root found late

dead: the root itself answers at once (its attributes, its volume data, the label and
serial files that Wine looks for when its server starts), so that Wine can start; every
other lookup and the root's listing answer only after HANG seconds, as a mapped network
drive does whose server moved.
slow: BACKING's files, except that each name in the root and the root's listing take
DELAY seconds the first time, as on a disk spinning up.

Runs in the foreground until killed; ready once MOUNTPOINT is a mount point.
"""
import errno
import os
import stat
import sys
import time

import fusepy
from fusepy import FUSE, FuseOSError, Operations

HANG = 60  # far beyond any bound the program may keep
DELAY = 2
# What Wine reads on every drive when its server starts.
WINE_PROBES = ("/.windows-label", "/.windows-serial")


def wait(seconds):
    """Sleeps, but gives up with EINTR once the caller is gone: the kernel keeps a killed
    process waiting for an answer to a request already sent, as a network drive's
    client would not."""
    end = time.time() + seconds
    while time.time() < end:
        if fusepy._libfuse.fuse_interrupted():
            raise FuseOSError(errno.EINTR)
        time.sleep(0.05)


class Dead(Operations):
    def __init__(self):
        now = time.time()
        self.root = {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2, "st_atime": now,
                     "st_mtime": now, "st_ctime": now}

    def getattr(self, path, fh=None):
        if path == "/":
            return self.root
        if path not in WINE_PROBES:
            wait(HANG)
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        wait(HANG)
        return [".", ".."]

    def statfs(self, path):
        return {"f_bsize": 4096, "f_frsize": 4096, "f_blocks": 1, "f_namemax": 255}


class Slow(Operations):
    """A pass-through to BACKING."""

    def __init__(self, backing):
        self.backing = backing
        self.answered = set()  # what was read once answers at once, as from a cache

    def real(self, path):
        return self.backing + path

    def late(self, what, path):
        if path.count("/") == 1 and path not in WINE_PROBES and (what, path) not in self.answered:
            wait(DELAY)
            self.answered.add((what, path))

    def getattr(self, path, fh=None):
        if path != "/":
            self.late("lookup", path)
        try:
            info = os.lstat(self.real(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        return {key: getattr(info, key) for key in (
            "st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime",
            "st_ctime")}

    def readdir(self, path, fh):
        self.late("listing", path)
        return [".", ".."] + os.listdir(self.real(path))

    def statfs(self, path):
        info = os.statvfs(self.real(path))
        return {key: getattr(info, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def fsyncdir(self, path, datasync, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def unlink(self, path):
        os.unlink(self.real(path))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times)

    def link(self, target, source):
        os.link(self.real(source), self.real(target))


def main():
    mode, mountpoint = sys.argv[1], sys.argv[2]
    operations = Dead() if mode == "dead" else Slow(os.path.abspath(sys.argv[3]))
    # allow_other: Wine runs as another user; intr: interrupted requests are told. A slow
    # drive's names are kept by the kernel a while, as a disk that has spun up answers at
    # once; everything goes through this one mount, so nothing kept goes stale.
    cache = {"entry_timeout": 30, "attr_timeout": 30, "negative_timeout": 30} \
        if mode == "slow" else {}
    FUSE(operations, mountpoint, foreground=True, allow_other=True, intr=True, **cache)


if __name__ == "__main__":
    main()
