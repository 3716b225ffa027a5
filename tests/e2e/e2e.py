#!/usr/bin/env python3
"""End-to-end suite: the real program, driven as an operator drives it.

Each scenario runs on three builds, each named in its result line:
- x64 and x86: the Windows x86_64 and i686 executables under Wine (the i686 one under
  32-bit Wine, as on 64-bit Windows) inside Xvfb (with a small window manager, so that
  screenshots show frames and captions), code page 936, in a throwaway prefix whose C: to
  G: are fresh folders. Boxes are answered and the window is driven with xdotool
  (keyboard only). Each box's text comes from Wine's msgbox channel, which cuts long texts
  short, and in full from boxreader.exe of the same bitness; its flags, caption and answer
  from Wine's relay trace of MessageBoxW; its caption as the operator sees it from the X
  window's name.
- native: the Linux build, with the same answers on standard input and the boxes taken
  from its ZELFIX_BOX_TRANSCRIPT, in a Wine-style prefix folder with the same drives.
Each must show exactly the expected boxes in order, end with the expected exit code and
leave exactly the expected file bytes on the drives; so they agree with each other too.
Scenarios with a command line (/check, /quiet, /log) run the unattended front end: on
Wine the window program, or its console twin zelfix.com where its output is checked,
with the X window list watched all the while and the MessageBoxW trace read afterwards
(neither may show anything); natively as the unprivileged user when run as root. Their
report (in the log and on standard output) is checked row by row, the log as PowerShell's
Get-Content reads it, and every file they do not repair must keep its modification time.
Logs an ordinary user could plant (a link, a FIFO, a hard link, a file of root's) must be
refused at once; a small tmpfs under the log stands for a full disk.

On the Windows builds the relay trace must show critical-error boxes turned off before the
program's first file lookup. Some scenarios are the Windows builds' alone: installations
that an ordinary user redirected with a Unix link (standing in for a junction) or made
too large, which must be refused and reported while the file the link leads to keeps its
bytes, and a run from a folder holding a planted userenv.dll, which must not load (a
program that imports userenv, run there first, shows that it would).

Drives that answer late or never are FUSE file systems (slowfs.py, with Debian's Python
and python3-fusepy), mounted afresh for each run and always unmounted after it. Where FUSE
cannot mount, their scenarios are skipped with a SKIP line saying why; they never pass.
Which drives the program looked at is read from the lookups they logged, not guessed from
how long the program took: time on a busy machine says little.

Every wait is for a state, polled until one deadline; a failure says what was awaited,
for how long, and what was seen last. <build>/e2e/logs holds, per scenario and build, the
program's output and the suite's steps (each key, each run of boxreader with its exit
status and standard error).

    tests/e2e/e2e.py [--build build] [--builds x64,x86,native] [scenario ...]

Screenshots go to <build>/e2e/shots, logs and the drives of every run to <build>/e2e.
Wine never runs as root here (root ignores the read-only attribute): as root, the Wine
side runs as the unprivileged user "zelfix-wine", as cmake/wine-run.sh does.
"""
import argparse
import ctypes
import fcntl
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from contextlib import contextmanager
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
TIMEOUT = 20  # seconds for a box, the window or the program's end to appear
SPIN_UP = 12  # seconds slowfs.py's spinning disk takes to answer; added to TIMEOUT there
SLOWFS = Path(__file__).resolve().parent / "slowfs.py"
DEBIAN_PYTHON = "/usr/bin/python3"  # where python3-fusepy is installed
WINE_USER = "zelfix-wine"
PR_SET_PDEATHSIG = 1  # prctl: the signal a child gets when its parent ends
# The drive types as Wine's registry (winecfg) holds them, honoured by both builds: the
# dead drives stand for shares whose server has gone, D: for a second hard disk.
DRIVE_TYPES = {"d": "hd", "f": "network", "m": "network"}
# C: to G: hold the scenarios' files; M:, a mapped drive, holds no candidate folder.
LETTERS = "cdefgm"
# A lookup that slowfs.py logged, made by the program (not by Wine's own processes).
BY_PROGRAM = re.compile(r"^lookup .* by \d+ .*[/\\]zelfix(\.exe|\.com)?( |$)")

TITLE = "修复ZEL服务器迁移IP地址冲突"
TARGET = "192.0.2.10"  # the build's default address; checked against both build caches

# Message box flags as MessageBoxW gets them.
INFORMATION = 0x1040  # MB_OK | MB_ICONASTERISK | MB_SYSTEMMODAL
WARNING = 0x1030  # MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL
ERROR = 0x1010  # MB_OK | MB_ICONHAND | MB_SYSTEMMODAL
QUESTION = 0x10124  # MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND

# The texts exactly as the boxes show them; trailing spaces spelt out as counts.
COMPLETION = ("系统自动修复已完成     \r\n\r\n"
              "如ZEL检测系统正在运行，请退出后重新运行检测系统     \r\n\r\n"
              "如运行后冲突问题仍然存在，请重新启动本修复程序" + " " * 10)
CHOSEN_COMPLETION = ("指定目录已完成修复     \r\n\r\n"
                     "如ZEL检测系统正在运行，请退出后重新运行检测系统     \r\n\r\n"
                     "如运行后冲突问题仍然存在，请重新启动本修复程序" + " " * 10)
NOTHING_FOUND = "系统没有定位到ZEL检测系统的安装目录，请指定" + " " * 10
ASK_OTHER = "如冲突问题还存在, 是否ZEL检测系统安装在其他目录，请指定其他安装目录进行修复?" + " " * 5
ALREADY_CORRECT = "检测到如下安装地址已完成修复\r\nC:\\Program Files\\TAMO\\ZEL1\r\n\r\n" + ASK_OTHER
SOME_FAILED = ("检测到如下安装地址已完成修复\r\n"
               "C:\\Program Files\\TAMO\\ZEL1\r\nG:\\Program Files (x86)\\TAMO\\ZEL1\r\n\r\n"
               "以下安装地址修复失败，请检查配置文件是否为只读\r\n"
               "D:\\Program Files\\TAMO\\ZEL1\r\n\r\n" + ASK_OTHER)
SHADOWS = ("检测到如下安装地址已完成修复\r\n"
           "C:\\Program Files\\TAMO\\ZEL1\r\nD:\\Program Files (x86)\\TAMO\\ZEL1\r\n"
           "C:\\users\\operator\\AppData\\Local\\VirtualStore\\Program Files\\TAMO\\ZEL1\r\n\r\n"
           "以下安装地址修复失败，请检查配置文件是否为只读\r\n"
           "C:\\users\\inspector\\AppData\\Local\\VirtualStore\\Program Files\\TAMO\\ZEL1"
           "\r\n\r\n" + ASK_OTHER)
NOT_BY_NAME = "指定目录非ZEL检测程序安装目录 \r\n\r\nD:\\Data" + " " * 10  # message A
CHOSEN_FAILED = ("指定目录修复失败\r\n\r\nD:\\TAMO\r\n\r\n"
                 "请检查配置文件是否为只读，或以管理员身份重新运行本修复程序" + " " * 10)


def settings(address):
    """A settings file in the form that Wine's profile write leaves as it is (CR LF line
    ends, no blank lines, no spaces around "="), so that the bytes of both runs compare.
    Everything but the value must survive: a comment, other sections, other keys, the old
    address elsewhere, GBK text."""
    return ("; ZEL1 系统配置\r\n[system]\r\nstation=检测站一号\r\n[web]\r\nport=8080\r\n"
            f"webserver={address}\r\ntimeout=30\r\n[db]\r\nhost=10.1.1.1\r\n").encode("gbk")


OLD = settings("10.1.1.1")
NEW = settings(TARGET)


@dataclass
class Box:
    flags: int
    text: str
    answer: str  # "ok", "yes" or "no"


@dataclass
class Window:
    """The folder window is (still) open; its state as boxreader reports it."""
    expect: dict = field(default_factory=dict)


@dataclass
class Key:
    """A key for the Wine window; `native` is the terminal command that does the same (a
    key that only moves the focus has none); `expect` is the window's state afterwards."""
    key: str
    native: str = None
    expect: dict = field(default_factory=dict)


# answer: (xdotool key, native input line, button code)
ANSWERS = {"ok": ("Return", "", 1), "yes": ("y", "y", 6), "no": ("n", "n", 7)}
BUTTONS = {0: ["确定"], 4: ["是(Y)", "否(N)"]}


@dataclass
class Scenario:
    name: str
    files: dict  # "D:/path" -> bytes, before the run
    steps: list
    changed: dict = field(default_factory=dict)  # "D:/path" -> bytes after the run
    readonly: tuple = ()
    folders: tuple = ()  # empty folders
    exit_code: int = 0
    # A command line: the unattended front end, which must show no box and no window and
    # leave every file it does not repair with its bytes and modification time.
    args: tuple = ()  # "{log}" stands for the log's path as the build names it
    console: bool = False  # Windows: the console twin zelfix.com, whose output is checked
    report: tuple = None  # ("检查" or "修复", rows of folder, before, after, result)
    log: str = None  # "D:/path": where the log goes; its report is checked when `report` is
    readonly_folders: tuple = ()
    locked: tuple = ()  # files and folders with mode 000: not even listed or read
    # drive letter -> "dead", "slow" or "spinning" (slowfs.py)
    fuse: dict = field(default_factory=dict)
    # drive letter -> how many of the program's lookups that drive made wait: a drive that
    # never answers is looked at once, by its probe, and never again.
    lookups: dict = field(default_factory=dict)
    # Native, as root only: root runs it over drives given to the unprivileged user (and the
    # prefix to "nobody" when `shared`), who made each path a link to a file of root's
    # ("file"), its folder a link to root's folder ("folder") or another name of root's file
    # ("hard": root stands in, as the kernel forbids it). Root's file must stay as it was.
    # `said`: what standard error must hold.
    as_root: bool = False
    shared: bool = False
    root_links: dict = field(default_factory=dict)
    said: tuple = ()
    log_before: bytes = None  # what the log holds before the run
    # At the log's path instead of a log of the run's own (plant): "link", "fifo",
    # "folder", "hard link", "other owner", "full disk".
    planted: str = None
    error: str = None  # what standard error must say; "{log}" is the log's path
    runs: int = 1  # runs started together, on the same log
    # Unix links made as an ordinary user would: "D:/path" -> a folder or file outside the
    # drives ("outside/..."), whose bytes in `outside` ("outside/path" -> bytes) must stay.
    links: dict = field(default_factory=dict)
    outside: dict = field(default_factory=dict)
    # Windows: the executables run from a folder holding a planted userenv.dll.
    dll_planted: bool = False
    builds: tuple = None  # the builds it is played on; None: all
    # Native: a FUSE drive letter; once the program's first lookup there waits, it gets
    # SIGTERM.
    interrupt: str = None


C_INSTALL = "C:/Program Files/TAMO/ZEL1/BIN/ZEL1.SYS"
D_INSTALL = "D:/Program Files/TAMO/ZEL1/BIN/ZEL1.SYS"
G86_INSTALL = "G:/Program Files (x86)/TAMO/ZEL1/BIN/ZEL1.SYS"
D_APPS = "D:/Apps/TAMO/ZEL1/BIN/ZEL1.SYS"  # not a candidate folder
D_TAMO = "D:/TAMO/ZEL1/BIN/ZEL1.SYS"
# Two users' shadow copies of the C: installation, and one of a D: installation that
# Windows never makes (D: is not the system drive): that one is left alone.
SHADOW = "C:/users/{}/AppData/Local/VirtualStore/Program Files{}/TAMO/ZEL1/BIN/ZEL1.SYS"
OPERATOR_SHADOW = SHADOW.format("operator", "")
INSPECTOR_SHADOW = SHADOW.format("inspector", "")
STRAY_SHADOW = SHADOW.format("operator", " (x86)")
D86_INSTALL = "D:/Program Files (x86)/TAMO/ZEL1/BIN/ZEL1.SYS"

# The folder window from the drive list: choose D:, then into the folder list.
TO_D = [Key("d", "d d", {"drive": "d:", "focus": "ComboBox"}),
        Key("Tab", None, {"focus": "ListBox", "highlighted": "D:\\"})]

# One installation on C:, one on G:, which answers late; in dead-drive F: never answers.
SLOW_FILES = {C_INSTALL: OLD, G86_INSTALL: OLD}
SLOW_CHANGED = {C_INSTALL: NEW, G86_INSTALL: NEW}

SCENARIOS = [
    Scenario("typical-road", {C_INSTALL: OLD}, [Box(INFORMATION, COMPLETION, "ok")],
             changed={C_INSTALL: NEW}),
    Scenario("tenth-candidate", {G86_INSTALL: OLD, D_APPS: OLD},
             [Box(INFORMATION, COMPLETION, "ok")], changed={G86_INSTALL: NEW}),
    Scenario("nothing-found-cancel", {D_APPS: OLD}, [
        Box(WARNING, NOTHING_FOUND, "ok"),
        Window({"focus": "ComboBox", "drive": "c:", "highlighted": "C:\\"}),
        Key("Escape", "cancel"),
    ]),
    Scenario("nothing-found-pick-zel1", {D_APPS: OLD}, [
        Box(WARNING, NOTHING_FOUND, "ok"),
        Window({"focus": "ComboBox"}),
        *TO_D,
        Key("Down", None, {"rows": ["D:\\", "Apps"], "highlighted": "Apps"}),
        Key("Return", "o 0", {"rows": ["D:\\", "Apps", "TAMO"]}),
        Key("Down", None, {"highlighted": "TAMO"}),
        Key("Return", "o 0", {"rows": ["D:\\", "Apps", "TAMO", "ZEL1"]}),
        Key("Down", "c 0", {"highlighted": "ZEL1"}),
        Key("Tab", None, {"focus": "Button"}),
        Key("Return", "ok"),
        Box(INFORMATION, CHOSEN_COMPLETION, "ok"),
    ], changed={D_APPS: NEW}),
    Scenario("already-correct-no", {C_INSTALL: NEW, D_APPS: OLD},
             [Box(QUESTION, ALREADY_CORRECT, "no")]),
    Scenario("already-correct-yes-pick-bin", {C_INSTALL: NEW, D_APPS: OLD}, [
        Box(QUESTION, ALREADY_CORRECT, "yes"),
        Window({"focus": "ComboBox", "drive": "c:"}),
        *TO_D,
        Key("Down", None, {"rows": ["D:\\", "Apps", "Data"], "highlighted": "Apps"}),
        Key("Return", "o 0", {"rows": ["D:\\", "Apps", "TAMO"], "highlighted": "Apps"}),
        Key("Down", None, {"highlighted": "TAMO"}),
        Key("Return", "o 0", {"rows": ["D:\\", "Apps", "TAMO", "ZEL1"]}),
        Key("Down", None, {"highlighted": "ZEL1"}),
        Key("Return", "o 0", {"rows": ["D:\\", "Apps", "TAMO", "ZEL1", "BIN"]}),
        Key("Down", "c 0", {"highlighted": "BIN"}),
        Key("Tab", None, {"focus": "Button"}),
        Key("Return", "ok"),
        Box(INFORMATION, CHOSEN_COMPLETION, "ok"),
    ], changed={D_APPS: NEW}, folders=("D:/Data",)),
    Scenario("read-only-listed-as-failed", {C_INSTALL: OLD, D_INSTALL: OLD, G86_INSTALL: NEW},
             [Box(QUESTION, SOME_FAILED, "no")], changed={C_INSTALL: NEW},
             readonly=(D_INSTALL,)),
    Scenario("shadow-copies", {C_INSTALL: OLD, OPERATOR_SHADOW: OLD, INSPECTOR_SHADOW: OLD,
                               D86_INSTALL: NEW, STRAY_SHADOW: OLD},
             [Box(QUESTION, SHADOWS, "no")], changed={C_INSTALL: NEW, OPERATOR_SHADOW: NEW},
             readonly=(INSPECTOR_SHADOW,)),
    Scenario("chosen-folder-not-installation", {D_TAMO: OLD}, [
        Box(WARNING, NOTHING_FOUND, "ok"),
        Window({"focus": "ComboBox"}),
        *TO_D,
        Key("Down", "c 0", {"rows": ["D:\\", "Data", "TAMO"], "highlighted": "Data"}),
        Key("Tab", None, {"focus": "Button"}),
        Key("Return", "ok"),
        Box(ERROR, NOT_BY_NAME, "ok"),
        Window({"rows": ["D:\\", "Data", "TAMO"], "highlighted": "Data"}),
        # The same window, another choice: an installation whose file is read-only.
        Key("shift+Tab", None, {"focus": "ListBox"}),
        Key("Down", "c 1", {"highlighted": "TAMO"}),
        Key("Tab", None, {"focus": "Button"}),
        Key("Return", "ok"),
        Box(ERROR, CHOSEN_FAILED, "ok"),
        Window({"highlighted": "TAMO"}),
        Key("Escape", "cancel"),
    ], readonly=(D_TAMO,), folders=("D:/Data",)),
    Scenario("slow-drive", SLOW_FILES, [Box(INFORMATION, COMPLETION, "ok")],
             changed=SLOW_CHANGED, fuse={"g": "slow"}),
    Scenario("dead-drive", SLOW_FILES, [Box(INFORMATION, COMPLETION, "ok")],
             changed=SLOW_CHANGED, fuse={"f": "dead", "g": "slow"}, lookups={"f": 1}),
    Scenario("dead-drive-window", {D_APPS: OLD}, [
        Box(WARNING, NOTHING_FOUND, "ok"),
        Window({"focus": "ComboBox", "drive": "c:", "highlighted": "C:\\"}),
        # Like a drive without a medium: no box, the folder list keeps its folder.
        Key("f", "d f", {"drive": "f:", "highlighted": "C:\\"}),
        Key("Escape", "cancel"),
    ], fuse={"f": "dead"}, lookups={"f": 1}),
    # M: never answers and holds no candidate folder: the search never looks at it.
    Scenario("dead-other-drive", {C_INSTALL: OLD}, [Box(INFORMATION, COMPLETION, "ok")],
             changed={C_INSTALL: NEW}, fuse={"m": "dead"}, lookups={"m": 0}),
    # D: is a local disk that answers only once it has spun up, later than a share may
    # take: it is waited for, and its installation repaired.
    Scenario("spinning-disk", {D_INSTALL: OLD}, [Box(INFORMATION, COMPLETION, "ok")],
             changed={D_INSTALL: NEW}, fuse={"d": "spinning"}),
]


# A site as a fleet would have it: one installation with the old address, one already
# correct, one read-only with the old address, and a user's shadow copy with the old one.
MIXED = {C_INSTALL: OLD, D_INSTALL: NEW, G86_INSTALL: OLD, OPERATOR_SHADOW: OLD}
C_FOLDER, D_FOLDER = "C:\\Program Files\\TAMO\\ZEL1", "D:\\Program Files\\TAMO\\ZEL1"
ZEL1, ZEL1_SYS = "{}:\\Program Files{}\\TAMO\\ZEL1", "{}:/Program Files{}/TAMO/ZEL1/BIN/ZEL1.SYS"
ROOT_ONLY = b"[web]\r\nwebserver=root's own\r\n"
BIG = OLD + b";" * (17 << 20) + b"\r\n"  # more than any settings file
G86_FOLDER = "G:\\Program Files (x86)\\TAMO\\ZEL1"
SHADOW_FOLDER = "C:\\users\\operator\\AppData\\Local\\VirtualStore\\Program Files\\TAMO\\ZEL1"
LOG = "D:/logs/PC-0012.txt"
SUMMARY = "（汇总）"
HEADING = ["计算机", "时间", "版本", "目标地址", "模式", "安装目录", "原地址", "现地址", "结果"]
MIXED_CHECKED = [
    (C_FOLDER, "10.1.1.1", "10.1.1.1", "需要修复"),
    (D_FOLDER, TARGET, TARGET, "已是新地址"),
    (G86_FOLDER, "10.1.1.1", "10.1.1.1", "需要修复"),
    (SHADOW_FOLDER, "10.1.1.1", "10.1.1.1", "需要修复"),
    (SUMMARY, "", "", "找到 4 个，其中 1 个为新地址，退出代码 1")]

SCENARIOS += [
    Scenario("check-mixed-site", MIXED, [], readonly=(G86_INSTALL,), exit_code=1,
             args=("/check",), console=True, report=("检查", MIXED_CHECKED)),
    Scenario("quiet-log-mixed-site", MIXED, [], readonly=(G86_INSTALL,), exit_code=1,
             changed={C_INSTALL: NEW, OPERATOR_SHADOW: NEW}, folders=("D:/logs",),
             args=("/QUIET", "/log:{log}"), log=LOG, report=("修复", [
                 (C_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 (D_FOLDER, TARGET, TARGET, "已是新地址"),
                 (G86_FOLDER, "10.1.1.1", "10.1.1.1", "修复失败: 文件只读"),
                 (SHADOW_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 (SUMMARY, "", "", "找到 4 个，其中 3 个为新地址，退出代码 1")])),
    Scenario("quiet-nothing-installed", {D_APPS: OLD}, [], exit_code=2, args=("-quiet",)),
    # Refused before the log is even opened: no log appears.
    Scenario("misspelled-switch-refused", MIXED, [], exit_code=3, folders=("D:/logs",),
             args=("/chek", "/log:{log}"), log=LOG, console=True),
    # A drive that does not answer is listed in the report: what was on it went unchecked.
    Scenario("check-dead-drive", {C_INSTALL: NEW}, [], fuse={"f": "dead"}, lookups={"f": 1},
             exit_code=4, args=("/check",), console=True, report=("检查", [
                 (C_FOLDER, TARGET, TARGET, "已是新地址"),
                 ("", "", "", "备注: 驱动器 F: 在 8 秒内没有响应，按不存在处理，其上的安装目录未检查"),
                 (SUMMARY, "", "", "找到 1 个，其中 1 个为新地址，退出代码 4")])),
    # Stopped while its drives are probed: nothing more is checked, and it says so.
    Scenario("quiet-interrupted", {C_INSTALL: OLD}, [], fuse={"f": "dead"}, lookups={"f": 1},
             exit_code=4, interrupt="f", builds=("native",), args=("/quiet",),
             report=("修复", [
                 ("", "", "", "未找到安装目录"),
                 ("", "", "", "备注: 运行被中断（收到停止请求），其余安装目录未检查"),
                 ("", "", "", "备注: 驱动器 F: 在 8 秒内没有响应，按不存在处理，其上的安装目录未检查"),
                 (SUMMARY, "", "", "找到 0 个，其中 0 个为新地址，退出代码 4")])),
    # A settings file and a folder the run may not look into: named, nothing written, and
    # the run is incomplete.
    Scenario("quiet-locked-places", {C_INSTALL: OLD, D_INSTALL: OLD}, [], exit_code=4,
             changed={C_INSTALL: NEW}, folders=("E:/Program Files/TAMO/ZEL1/BIN",),
             locked=(D_INSTALL, "E:/Program Files/TAMO"), args=("/quiet",), console=True,
             report=("修复", [
                 (C_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 (D_FOLDER, "", "", "无法读取: 拒绝访问"),
                 ("", "", "", "备注: 目录 E:\\Program Files\\TAMO\\ZEL1 无法列出（拒绝访问），其中的安装目录未检查"),
                 (SUMMARY, "", "", "找到 2 个，其中 1 个为新地址，退出代码 4")])),
    Scenario("log-in-read-only-folder", MIXED, [], exit_code=3, folders=("D:/logs",),
             readonly_folders=("D:/logs",), args=("--quiet", "--log={log}"), log=LOG,
             error="无法使用日志文件 {log}: "),
    # Root over a user's prefix, as a deployment tool would run it: it works there as the
    # user (a folder the user may not write in stops it), follows no link of the user's,
    # and reads no file larger than any settings file.
    Scenario("quiet-as-root-over-user-prefix",
             {C_INSTALL: OLD, ZEL1_SYS.format("F", ""): ROOT_ONLY, ZEL1_SYS.format("G", ""): BIG,
              ZEL1_SYS.format("C", " (x86)"): OLD}, [], exit_code=1, changed={C_INSTALL: NEW},
             folders=("D:/Program Files/TAMO/ZEL1/BIN", "E:/Program Files/TAMO/ZEL1"),
             readonly_folders=("C:/Program Files (x86)/TAMO/ZEL1/BIN",), as_root=True,
             root_links={D_INSTALL: "file", ZEL1_SYS.format("E", ""): "folder",
                         ZEL1_SYS.format("F", ""): "hard"}, args=("--quiet",), report=("修复", [
                 (C_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 *[(ZEL1.format(d, ""), "", "", "修复失败: 路径经过普通用户可更改的链接") for d in "DEF"],
                 (ZEL1.format("G", ""), "", "", "无法读取: 文件过大（超过 16 MiB），未改动"),
                 (ZEL1.format("C", " (x86)"), "10.1.1.1", "10.1.1.1", "修复失败: 拒绝访问"),
                 (SUMMARY, "", "", "找到 6 个，其中 1 个为新地址，退出代码 1")]),
             said=(f"({WINE_USER}): working in it as that user, not as root\n",
                   ") is reached through a link that an ordinary user can change, or has another "
                   "name in a folder one can change: as root it is neither read nor written\n",
                   ") is larger than 16 MiB: not read, and left as it is\n")),
    # A prefix that two users control (either could swap what the other made) is not entered.
    Scenario("quiet-as-root-over-shared-prefix", {C_INSTALL: OLD}, [], exit_code=2, as_root=True,
             shared=True, args=("--quiet",), report=("修复", [
                 ("", "", "", "未找到安装目录"), (SUMMARY, "", "", "找到 0 个，其中 0 个为新地址，退出代码 2")]),
             said=(" is controlled by more than one user (uid ", " and uid 65534): as root, nothing "
                   "in it is looked at; run as its owner instead\n")),
]

# A log an ordinary user could have planted for an elevated run: refused at once, before
# anything is searched; what it leads to keeps its bytes. Then logs that runs share.
KEEP = "D:/data/keep.txt"
WRAPPER_LINE = "2026-12-09 08:29:59 启动 zelfix".encode()  # as a script's `echo >>` leaves it


def refused_log(name, planted, why, files=None):
    return Scenario(name, {**MIXED, KEEP: b"keep\r\n", **(files or {})}, [], exit_code=3,
                    folders=("D:/logs",), args=("/quiet", "/log:{log}"), log=LOG,
                    planted=planted, error="无法使用日志文件 {log}: " + why)


SCENARIOS += [
    refused_log("log-link-refused", "link", "它是一个链接"),
    refused_log("log-fifo-refused", "fifo", "它不是普通文件，而是管道、套接字或设备"),
    refused_log("log-folder-refused", "folder", "它是一个目录"),
    refused_log("log-hard-link-refused", "hard link", "它有多个硬链接", {LOG: b"keep\r\n"}),
    refused_log("log-of-another-user-refused", "other owner", "它属于其他用户",
                {LOG: b"root's\r\n"}),
    # A log a script began, in UTF-8 without a line end: appended in UTF-8 by every build.
    Scenario("log-eight-bit-appended", MIXED, [], readonly=(G86_INSTALL,), exit_code=1,
             args=("/check", "/log:{log}"), console=True, log=LOG, log_before=WRAPPER_LINE,
             report=("检查", MIXED_CHECKED)),
    Scenario("log-two-runs-at-once", MIXED, [], readonly=(G86_INSTALL,), exit_code=1,
             args=("/check", "/log:{log}"), console=True, folders=("D:/logs",), log=LOG, runs=2,
             report=("检查", MIXED_CHECKED)),
    # A full disk: the log keeps its bytes, and the summary says what the exit code says.
    Scenario("log-on-full-disk", {C_INSTALL: OLD}, [], exit_code=3, args=("/check", "/log:{log}"),
             console=True, log=LOG, planted="full disk",
             log_before=(("\t".join(HEADING) + "\r\n").encode().ljust(8192 - 42, b"-")
                         + b"\r\n"),
             error="无法写入日志文件 {log}: 写入失败: ", report=("检查", [
                 (C_FOLDER, "10.1.1.1", "10.1.1.1", "需要修复"),
                 (SUMMARY, "", "", "找到 1 个，其中 0 个为新地址，退出代码 3")])),
]

# An installation that an ordinary user redirected: the Windows builds follow no link that
# an administrator did not make (under Wine, a Unix link stands in for a user's junction)
# and take no file over 16 MiB. The Linux build's own rules are played elsewhere.
WINDOWS = ("x64", "x86")
USER_LINKS = {"D:/Program Files/TAMO/ZEL1/BIN": "outside/BIN",
              "E:/Program Files/TAMO/ZEL1/BIN/ZEL1.SYS": "outside/other.SYS"}
OUTSIDE = {"outside/BIN/ZEL1.SYS": OLD, "outside/other.SYS": OLD}
E_FOLDER = "E:\\Program Files\\TAMO\\ZEL1"
REFUSED_LINK = "修复失败: 路径经过普通用户可更改的链接"
# Just over the bound, with a settings file at its start.
OVERSIZED = OLD + b";" + b"x" * (16 * 1024 * 1024 - len(OLD))

SCENARIOS += [
    Scenario("user-link-listed-as-failed", {C_INSTALL: OLD, G86_INSTALL: NEW},
             [Box(QUESTION, SOME_FAILED, "no")], changed={C_INSTALL: NEW},
             links={"D:/Program Files/TAMO/ZEL1/BIN": "outside/BIN"},
             outside={"outside/BIN/ZEL1.SYS": OLD}, builds=WINDOWS),
    Scenario("quiet-user-links-refused", {C_INSTALL: OLD}, [], changed={C_INSTALL: NEW},
             links=USER_LINKS, outside=OUTSIDE, builds=WINDOWS, exit_code=1,
             args=("/quiet",), console=True, report=("修复", [
                 (C_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 (D_FOLDER, "", "", REFUSED_LINK),
                 (E_FOLDER, "", "", REFUSED_LINK),
                 (SUMMARY, "", "", "找到 3 个，其中 1 个为新地址，退出代码 1")])),
    Scenario("quiet-oversized-settings", {C_INSTALL: OVERSIZED, D_INSTALL: OLD}, [],
             changed={D_INSTALL: NEW}, builds=WINDOWS, exit_code=1, args=("/quiet",),
             console=True, report=("修复", [
                 (C_FOLDER, "", "", "无法读取: 文件过大（超过 16 MiB），未改动"),
                 (D_FOLDER, "10.1.1.1", TARGET, "已修复"),
                 (SUMMARY, "", "", "找到 2 个，其中 1 个为新地址，退出代码 1")])),
    # Run from a folder holding a planted userenv.dll (as a copy in C:\Windows\Temp
    # would be), which must not load; the shadow copy shows the profiles folder found.
    Scenario("planted-userenv", {C_INSTALL: NEW, OPERATOR_SHADOW: NEW}, [], dll_planted=True,
             builds=WINDOWS, args=("/check",), console=True, report=("检查", [
                 (C_FOLDER, TARGET, TARGET, "已是新地址"),
                 (SHADOW_FOLDER, TARGET, TARGET, "已是新地址"),
                 (SUMMARY, "", "", "找到 2 个，其中 2 个为新地址，退出代码 0")])),
]


class Failure(Exception):
    pass


def host(drives, path):
    return drives / path[0].lower() / path[3:]


def populate(folder, scenario):
    """The scenario's drives as fresh folders under `folder`."""
    shutil.rmtree(folder, ignore_errors=True)
    for letter in LETTERS:
        (folder / letter).mkdir(parents=True)
    for path in scenario.folders:
        host(folder, path).mkdir(parents=True)
    for path, data in scenario.files.items():
        host(folder, path).parent.mkdir(parents=True, exist_ok=True)
        host(folder, path).write_bytes(data)
    if scenario.log_before is not None:
        host(folder, scenario.log).parent.mkdir(parents=True, exist_ok=True)
        host(folder, scenario.log).write_bytes(scenario.log_before)
    for path in scenario.readonly:
        host(folder, path).chmod(0o444)
    for path in scenario.readonly_folders:
        host(folder, path).chmod(0o555)
    for path in scenario.locked:
        host(folder, path).chmod(0)
    for path, data in scenario.outside.items():
        (folder / path).parent.mkdir(parents=True, exist_ok=True)
        (folder / path).write_bytes(data)
    for path, target in scenario.links.items():
        host(folder, path).parent.mkdir(parents=True, exist_ok=True)
        host(folder, path).symlink_to(folder / target)


def root_only(drives):
    return drives.parent / f"{drives.name}-root-only" / "ZEL1.SYS"


def plant_links(drives, links):
    """A file of root's beside the drives (only root may change it or its folder), and the
    user's links to it, made once the drives are the user's."""
    root = root_only(drives)
    shutil.rmtree(root.parent, ignore_errors=True)
    root.parent.mkdir(parents=True)
    root.write_bytes(ROOT_ONLY)
    root.chmod(0o640)
    os.setxattr(root, "user.zelfix", b"root's")
    for path, kind in links.items():
        target = host(drives, path)
        if kind == "folder":
            target.parent.symlink_to(root.parent)
        else:
            target.unlink(missing_ok=True)
            os.link(root, target) if kind == "hard" else target.symlink_to(root)


def root_only_damage(drives):
    root, info = root_only(drives), root_only(drives).lstat()
    return [what for what, kept in {
        "bytes": root.read_bytes() == ROOT_ONLY, "owner": info.st_uid == 0,
        "mode": info.st_mode & 0o7777 == 0o640, "folder": os.listdir(root.parent) == [root.name],
        "attribute": os.getxattr(root, "user.zelfix") == b"root's"}.items() if not kept]


def plant(folder, scenario):
    """Puts scenario.planted at the log's path, once the drives are the run's user's: a
    link or a hard link to KEEP, a FIFO, a file of root's, a full tmpfs over the folder."""
    log, kind = host(folder, scenario.log), scenario.planted
    owner = [int(run(["id", f"-{u}", *([WINE_USER] if os.geteuid() == 0 else [])]).stdout)
             for u in "ug"]
    if kind == "link":
        log.symlink_to(os.path.relpath(host(folder, KEEP), log.parent))
    elif kind in ("fifo", "folder"):
        os.mkfifo(log) if kind == "fifo" else log.mkdir()
        os.chown(log, *owner)
    elif kind == "hard link":
        log.unlink()
        os.link(host(folder, KEEP), log)
    elif kind == "other owner":
        os.chown(log, 0, 0)
        log.chmod(0o666)  # the run's user may write it: only its owner stands in the way
    elif kind == "full disk":
        # Two pages, the log filling all but 40 bytes of them.
        log.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size=8k,mode=0755,uid={owner[0]},"
                        f"gid={owner[1]}", "tmpfs", str(log.parent)], check=True)
        log.write_bytes(scenario.log_before)
        os.chown(log, *owner)


def root_missing(scenario):
    return scenario.planted in ("other owner", "full disk") and os.geteuid() != 0 and \
        "it needs root (to give the log to root, or to mount a small file system)"


def snapshot(folder):
    """Every file on the drives (links into the prefix are not followed)."""
    files = {}
    for letter in "cdefg":
        for dirpath, dirnames, filenames in os.walk(folder / letter):
            dirnames[:] = [d for d in dirnames if not os.path.islink(os.path.join(dirpath, d))]
            for name in filenames:
                full = Path(dirpath) / name
                if not full.is_symlink() and full.is_file():  # not a link, pipe or device
                    rel = full.relative_to(folder / letter).as_posix()
                    files[f"{letter.upper()}:/{rel}"] = full.read_bytes()
    return files


def first_difference(a, b):
    return next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))


def check_files(scenario, folder, side):
    expected = {**scenario.files, **scenario.changed}
    seen = snapshot(folder)
    problems = []
    for path in sorted(set(expected) | set(seen)):
        a, b = expected.get(path), seen.get(path)
        if a != b:
            problems.append(f"{side}: {path}\n    expected {a!r}\n        seen {b!r}")
            if a is not None and b is not None:
                problems.append(f"    first difference at byte {first_difference(a, b)}")
    if problems:
        raise Failure("file bytes differ:\n" + "\n".join(problems))
    return seen


def text_diff(expected, seen):
    at = first_difference(expected, seen)
    show = lambda s: repr(s[at:at + 1]) + (f" (U+{ord(s[at]):04X})" if at < len(s) else "")
    return (f"    expected {expected!r}\n        seen {seen!r}\n"
            f"    first difference at character {at}: expected {show(expected)}, seen {show(seen)}")


def compare_boxes(expected, seen, side):
    for n in range(max(len(expected), len(seen))):
        if n >= len(seen):
            raise Failure(f"{side}: box {n + 1} never shown; expected {expected[n]!r}")
        if n >= len(expected):
            raise Failure(f"{side}: unexpected box {n + 1}: {seen[n]!r}")
        for key in ("caption", "prompt", "flags", "answer"):
            if expected[n][key] != seen[n][key]:
                detail = (text_diff(expected[n][key], seen[n][key]) if key in ("caption", "prompt")
                          else f"    expected {expected[n][key]!r}, seen {seen[n][key]!r}")
                raise Failure(f"{side}: box {n + 1}: {key} differs\n{detail}")


def expected_boxes(scenario):
    return [{"caption": TITLE, "prompt": s.text, "flags": s.flags, "answer": ANSWERS[s.answer][2]}
            for s in scenario.steps if isinstance(s, Box)]


def run(argv, **kwargs):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          **kwargs)


# ---------------------------------------------------------------------------------------
# Drives that answer late or never


def unmount(point):
    """Lazily, so that it works even while a request hangs."""
    for program in ("fusermount", "fusermount3"):
        if shutil.which(program) and run([program, "-uz", str(point)]).returncode == 0:
            return
    run(["umount", "-l", str(point)])


def unmount_under(folder):
    """Mounts that a killed run left behind below `folder`."""
    inside = str(folder.resolve()) + "/"
    for line in Path("/proc/mounts").read_text().splitlines():
        point = line.split()[1].replace("\\040", " ")
        if point.startswith(inside):
            unmount(point)


@contextmanager
def slow_drives(drives, kinds):
    """Mounts slowfs.py at drives/<letter>-<kind> for each drive letter in `kinds` (a slow
    one over the drive's folder); answers {letter: mount point}. Whatever happens, the
    servers are killed (which ends every request still waiting for them) and the mount
    points unmounted."""
    libc = ctypes.CDLL(None)
    orphaned = lambda: libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
    servers, points = [], {}
    try:
        for letter, kind in kinds.items():
            point = drives / f"{letter}-{kind}"
            point.mkdir(exist_ok=True)
            argv = [DEBIAN_PYTHON, str(SLOWFS), kind, str(point)]
            if kind in ("slow", "spinning"):
                argv.append(str(drives / letter))
            log_path = drives / f"{letter}-{kind}.log"
            with open(log_path, "wb") as log:
                server = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log,
                                          stderr=subprocess.STDOUT, preexec_fn=orphaned)
            servers.append((server, point))
            deadline = time.time() + TIMEOUT
            while not os.path.ismount(point):
                if server.poll() is not None or time.time() > deadline:
                    raise Failure(f"FUSE: the {kind} drive {letter.upper()}: was not mounted at "
                                  f"{point} within {TIMEOUT} s ({Wine.ended(server)}):\n"
                                  + tail(log_path.read_text(errors="replace")))
                time.sleep(0.05)
            points[letter] = point
        yield points
    finally:
        for server, point in servers:
            server.kill()
            server.wait()
            unmount(point)


def fuse_unavailable(folder):
    """Why FUSE file systems cannot be mounted here, or None when they can."""
    if not os.path.exists("/dev/fuse"):
        return "there is no /dev/fuse"
    if not os.path.exists(DEBIAN_PYTHON) or \
            run([DEBIAN_PYTHON, "-c", "import fusepy"]).returncode != 0:
        return f"{DEBIAN_PYTHON} cannot import fusepy (Debian's python3-fusepy)"
    folder.mkdir(parents=True, exist_ok=True)
    try:
        with slow_drives(folder, {"x": "dead"}):
            return None
    except Failure as failure:
        return str(failure)


# ---------------------------------------------------------------------------------------
# Wine's debug output


def wine_string(line, start):
    """Decodes a string as Wine's debugstr_w prints it, from just after its L". Answers
    the text, whether Wine cut it short, and where the line goes on."""
    out, i = [], start
    escapes = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
    while line[i] != '"':
        if line[i] == "\\":
            if line[i + 1] in escapes:
                out.append(escapes[line[i + 1]])
                i += 2
            else:
                out.append(chr(int(line[i + 1:i + 5], 16)))
                i += 5
        else:
            out.append(line[i])
            i += 1
    i += 1
    cut = line.startswith("...", i)
    return "".join(out), cut, i + (3 if cut else 0)


def wine_boxes(log):
    """The boxes in a Wine log: text from the msgbox channel, caption, flags and answer
    from the relay trace of MessageBoxW."""
    boxes = []
    for line in log.splitlines():
        if ":Call user32.MessageBoxW(" in line:
            _, _, i = wine_string(line, line.index(' L"') + 3)
            caption, _, i = wine_string(line, line.index(' L"', i) + 3)
            flags = int(re.match(r",([0-9a-fA-F]+)\)", line[i:]).group(1), 16)
            boxes.append({"relay_caption": caption, "flags": flags})
        elif "trace:msgbox:MSGBOX_OnInit" in line and boxes:
            text, cut, _ = wine_string(line, line.index(' L"') + 3)
            boxes[-1].update(channel=text, cut=cut)
        elif ":Ret  user32.MessageBoxW()" in line and boxes:
            boxes[-1]["answer"] = int(re.search(r"retval=([0-9a-fA-F]+)", line).group(1), 16)
    return boxes


# The calls that look up a file, as the relay trace names them.
LOOKUPS = ("GetFileAttributesW", "FindFirstFileW", "GetVolumeInformationW",
           "GetPrivateProfileStringW")
CRITICAL_ERRORS_OFF = 0x8001  # SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX


def error_mode_problem(log):
    """What in the relay trace shows critical-error boxes on at the program's first file
    lookup; None when they were off. The program is the process that shows the boxes
    (the trace holds Wine's launcher too: each line starts with process and thread)."""
    calls = []
    for line in log.splitlines():
        call = re.match(r"([0-9a-f]+):[0-9a-f]+:Call [\w.]+\.(\w+)\(([^)]*)\)", line)
        if call:
            calls.append((*call.groups(), line))
    program = next((pid for pid, name, _, _ in calls if name == "MessageBoxW"), None)
    if program is None:
        return "no MessageBoxW in the relay trace: the program's own calls cannot be told apart"
    for pid, name, arguments, line in calls:
        if pid != program:
            continue
        if name == "SetErrorMode" and int(arguments, 16) & CRITICAL_ERRORS_OFF == \
                CRITICAL_ERRORS_OFF:
            return None
        if name in LOOKUPS:
            return f"a file lookup before critical-error boxes were turned off: {line.strip()}"
    return "the relay trace shows no SetErrorMode turning critical-error boxes off"


# ---------------------------------------------------------------------------------------
# The Wine side


def tail(text, lines=15):
    return "\n".join(text.strip().splitlines()[-lines:])


class Wine:
    """One Xvfb with a window manager and one Wine prefix for the whole run; the x64 and
    the x86 executables both run in it (the x86 one as on 64-bit Windows)."""

    def __init__(self, work, shots):
        self.work, self.shots = work, shots
        self.processes = []
        self.steps = None  # the scenario's step log while one plays
        self.user = WINE_USER if os.geteuid() == 0 else None
        if self.user:
            if run(["id", "-u", self.user]).returncode != 0:
                subprocess.run(["useradd", "--system", "--create-home", "--shell", "/bin/sh",
                                self.user], check=True)
            self.uid = int(run(["id", "-u", self.user]).stdout)
            self.gid = int(run(["id", "-g", self.user]).stdout)
        shutil.rmtree(work, ignore_errors=True)
        work.mkdir(parents=True)
        self.own(work)
        self.prefix = work / "prefix"
        self.display = ""

    def own(self, path):
        if self.user:
            subprocess.run(["chown", "-R", f"{self.uid}:{self.gid}", str(path)], check=True)

    def start_display(self):
        """Xvfb picks a free display number itself and writes it to a pipe once it
        accepts clients: no race with other Xvfb servers started at the same time."""
        deadline = time.time() + TIMEOUT
        ready, announce = os.pipe()
        server = self.spawn(["Xvfb", "-displayfd", str(announce), "-screen", "0", "1024x768x24",
                             "-ac", "-nolisten", "tcp"],  # -ac: the Wine user connects too
                            "xvfb", pass_fds=(announce,))
        os.close(announce)
        number = b""
        with os.fdopen(ready, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n"):
                left = deadline - time.time()
                if left <= 0 or not select.select([pipe], [], [], left)[0]:
                    raise Failure(f"Xvfb did not report a display within {TIMEOUT} s "
                                  f"({self.ended(server)}); see {self.work / 'xvfb.log'}")
                chunk = pipe.read(16)
                if not chunk:
                    raise Failure(f"Xvfb ended before it was ready ({self.ended(server)}):\n"
                                  + tail((self.work / "xvfb.log").read_text(errors="replace")))
                number += chunk
        display = f":{int(number)}"
        # A window manager, so that the screenshots show each frame with its caption; it
        # is ready once it has announced itself on the root window.
        manager = self.spawn(["openbox", "--sm-disable"], "openbox",
                             env={**os.environ, "DISPLAY": display})
        seen = ""
        while "window id" not in seen:
            if time.time() > deadline or manager.poll() is not None:
                raise Failure(f"openbox did not take the display {display} within {TIMEOUT} s "
                              f"({self.ended(manager)}); the root window showed {seen!r}")
            time.sleep(0.1)
            seen = run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                       env={**os.environ, "DISPLAY": display}).stdout.strip()
        return display

    @staticmethod
    def ended(process):
        code = process.poll()
        return "still running" if code is None else f"it ended with {code}"

    def spawn(self, argv, log, **kwargs):
        """Starts a server that ends with the suite, even when the suite is killed."""
        libc = ctypes.CDLL(None)
        orphaned = lambda: libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
        with open(self.work / f"{log}.log", "wb") as out:
            process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT, preexec_fn=orphaned, **kwargs)
        self.processes.append(process)
        return process

    def command(self, argv, debug="-all", program="wine"):
        env = [f"WINEPREFIX={self.prefix}", "LC_ALL=zh_CN.UTF-8", f"DISPLAY={self.display}",
               "WINEDLLOVERRIDES=mscoree,mshtml=", f"WINEDEBUG={debug}"]
        user = ["runuser", "-u", self.user, "--"] if self.user else []
        return user + ["env", *env, program, *argv]

    def wine(self, argv, timeout=120, program="wine", debug="-all"):
        """Runs a Wine command to its end. Answers its exit status, output and standard
        error. These go to fresh unnamed files, not pipes: the Wine processes a command may
        start (the services, the desktop) live on with the wineserver, and would keep a
        pipe open or write into the next command's file."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(self.command(argv, debug, program), stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return (result.returncode, out.read().decode(errors="replace").strip(),
                    err.read().decode(errors="replace").strip())

    def setup(self, argv, what, program="wine"):
        """A step of setting up Wine: fails with its output when it fails."""
        try:
            code, out, err = self.wine(argv, program=program)
        except subprocess.TimeoutExpired as timeout:
            raise Failure(f"wine: {what} did not end within {timeout.timeout} s")
        if code != 0:
            raise Failure(f"wine: {what} failed with {code}:\n{tail(out + chr(10) + err)}")

    def x(self, *argv):
        return run(["xdotool", *argv], env={**os.environ, "DISPLAY": self.display})

    def start(self):
        self.display = self.start_display()
        self.setup(["wineboot", "--init"], "creating the prefix")
        # Wine's mount manager reads the drive types when it starts: before the next start.
        for letter, kind in DRIVE_TYPES.items():
            # /reg:64: where 32-bit Wine is installed too, `wine reg` may be the 32-bit one,
            # whose HKLM\Software is the Wow6432Node that the mount manager never reads.
            self.setup(["reg", "add", r"HKLM\Software\Wine\Drives", "/v", f"{letter}:", "/d",
                        kind, "/f", "/reg:64"], f"setting the type of {letter.upper()}:")
        self.setup(["-w"], "the first start's wineserver", program="wineserver")
        if not (self.prefix / "system.reg").exists():
            raise Failure(f"wineboot did not create the prefix {self.prefix}")
        # Wine's mount manager lists the drives it found when it started; every scenario
        # re-points these links, so all of them exist from the next start on.
        self.mount(self.work / "blank")
        self.serve()
        # The relay trace of MessageBoxW gives each box's flags, caption and answer; that
        # of SetErrorMode and the lookups, whether critical-error boxes were off first.
        relayed = ["user32.MessageBoxW"] + [f"{dll}.{name}" for name in ("SetErrorMode", *LOOKUPS)
                                            for dll in ("kernel32", "kernelbase")]
        self.setup(["reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/d",
                   ";".join(relayed), "/f"], "setting the relay trace")
        # A crash is reported on standard error, never in a box that would stand in the way.
        self.setup(["reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t",
                   "REG_DWORD", "/d", "0", "/f"], "turning off the crash dialog")

    def serve(self):
        """One wineserver for the whole run: no scenario starts while the last one's
        server, desktop and services are shutting down. Should the suite be killed, it
        still ends a minute after the last Wine process."""
        self.setup(["-p60"], "starting the wineserver", program="wineserver")

    def log(self, text):
        if self.steps:
            self.steps.write(f"[{time.time() - self.began:6.2f} s] {text}\n")
            self.steps.flush()

    def read(self, deadline, *argv):
        """Runs boxreader until it reports what `argv` asks for or `deadline` passes; each
        run waits inside Wine for the time left. A run that ends without an answer is
        logged and repeated. Answers the state, or None at the deadline; `last_run` then
        says how the last run ended."""
        self.last_run = "the reader never ran"
        while time.time() < deadline:
            left = deadline - time.time()
            began = time.time()
            try:
                code, out, err = self.wine(
                    [str(self.reader), *argv, str(max(1, int(left * 1000)))],
                    timeout=left + 15, debug="fixme-all,warn-all")
            except subprocess.TimeoutExpired:
                self.last_run = f"reader {' '.join(argv)} did not end within {left + 15:.0f} s"
                self.log(self.last_run)
                continue
            self.last_run = (f"reader {' '.join(argv)} ended with {code} after "
                             f"{time.time() - began:.1f} s"
                             + (f", standard error:\n{tail(err)}" if err else ""))
            self.log(self.last_run + (f"\n  output: {out}" if out else ""))
            if code == 0 and out:
                return json.loads(out.splitlines()[-1])
            if self.process.poll() is not None:
                break  # what it waits for cannot come any more
            time.sleep(0.2)
        return None

    def mount(self, drives, points=None):
        """Points the drives at the scenario's folders, or at the mount points in `points`
        (mounted later: the folders are given to the Wine user first); C: keeps Windows'
        own folders."""
        points = points or {}
        for letter in LETTERS:
            (drives / letter).mkdir(parents=True, exist_ok=True)
        for point in points.values():
            point.mkdir(exist_ok=True)
        for name in ("windows", "users", "ProgramData"):
            place, own = drives / "c" / name, self.prefix / "drive_c" / name
            if place.is_dir():
                # The scenario's user profiles: Wine's own go beside them.
                for entry in own.iterdir():
                    (place / entry.name).symlink_to(entry)
            else:
                place.symlink_to(own)
        for letter in LETTERS:
            link = self.prefix / "dosdevices" / f"{letter}:"
            if link.is_symlink():
                link.unlink()
            link.symlink_to(points.get(letter, drives / letter))
        self.own(drives)

    def shot(self, state, label):
        self.shot_count += 1
        path = self.shots / f"{self.scenario}-{self.build}-{self.shot_count}-{label}.png"
        result = run(["import", "-frame", "-window", str(state["xid"]), str(path)],
                     env={**os.environ, "DISPLAY": self.display})
        if result.returncode != 0:
            self.log(f"no screenshot {path.name}: import ended with {result.returncode}")

    def name_of(self, state):
        """The X window's name once it carries the window's caption (Wine sets it when it
        maps the window); else the last name seen."""
        deadline = time.time() + TIMEOUT
        while True:
            name = self.x("getwindowname", str(state["xid"])).stdout.rstrip("\n")
            if name == state["caption"] or time.time() > deadline:
                return name
            time.sleep(0.1)

    def focus(self, xid):
        """Keys go to the focused X window: make sure it is this one."""
        deadline = time.time() + TIMEOUT
        while (seen := self.x("getwindowfocus").stdout.strip()) != str(xid):
            if time.time() > deadline:
                raise Failure(f"wine: waited {TIMEOUT} s for X window {xid} to get the "
                              f"keyboard focus; the focus stayed on {seen or 'nothing'}")
            self.x("windowactivate", "--sync", str(xid))
            time.sleep(0.1)

    def key(self, xid, key):
        self.focus(xid)
        result = self.x("key", key)
        self.log(f"key {key} to X window {xid}")
        if result.returncode != 0:
            raise Failure(f"wine: xdotool key {key} failed with {result.returncode}")

    def box(self, step, n):
        began = time.time()
        state = self.read(began + self.timeout, "box")
        if state is None:
            raise Failure(f"wine: waited {time.time() - began:.1f} s for box {n} "
                          f"({self.program_state()}); expected {step}; {self.last_run}")
        if n == 1:
            self.first_box = time.time() - self.began
        state["name"] = self.name_of(state)
        # "&Y" is drawn as an underlined Y.
        state["buttons"] = [b.replace("&", "") for b in state["buttons"]]
        state["default"] = state["default"].replace("&", "")
        self.shot(state, f"box{n}")
        buttons = BUTTONS[step.flags & 0xF]
        looks = {"buttons": buttons, "default": buttons[(step.flags >> 8 & 0xF) % len(buttons)],
                 "topmost": bool(step.flags & 0x1000)}
        for key, value in looks.items():
            if state[key] != value:
                raise Failure(f"wine: box {n}: {key} is {state[key]!r}, expected {value!r}")
        if not state["foreground"]:
            raise Failure(f"wine: box {n} never became the foreground window")
        self.key(state["xid"], ANSWERS[step.answer][0])
        began = time.time()
        # A program that has ended shows no box any more.
        if self.read(began + TIMEOUT, "gone", str(state["hwnd"])) is None and \
                self.process.poll() is None:
            raise Failure(f"wine: box {n} was still open {time.time() - began:.1f} s after the "
                          f"key {ANSWERS[step.answer][0]}; {self.last_run}")
        return state

    def window(self, expect, what):
        """Waits until the window is foreground (else keys are lost) and shows what `expect`
        says; fails with its last state otherwise."""
        expect = {"foreground": True, **expect}
        began = time.time()
        deadline, state = began + TIMEOUT, None
        while (seen := self.read(deadline, "window")) is not None:
            state = seen
            rows, at = state["rows"], state["highlighted"]
            state["highlighted"] = rows[at] if 0 <= at < len(rows) else None
            if all(state[k] == v for k, v in expect.items()):
                return state
            time.sleep(0.2)
        waited = f"waited {time.time() - began:.1f} s after {what}"
        if state is None:
            raise Failure(f"wine: {waited} for the folder window ({self.program_state()}); "
                          f"{self.last_run}")
        shown = {k: state[k] for k in ("foreground", "focus", "drive", "rows", "highlighted")}
        raise Failure(f"wine: {waited} for the window to show {expect}; it last showed {shown}")

    def program_state(self):
        code = self.process.poll()
        state = "the program is still running" if code is None else f"the program ended: {code}"
        server = self.processes[0].poll()  # the display's end would end the program too
        return state if server is None else f"{state}; Xvfb ended: {server}"

    def play(self, build, scenario, drives, log, steps):
        self.build, self.exe, self.reader = build, BUILDS[build].exe, BUILDS[build].reader
        self.scenario, self.shot_count = scenario.name, 0
        self.timeout = timeout_of(scenario)
        self.steps, self.began, self.first_box = steps, time.time(), None
        self.process = process = subprocess.Popen(
            self.command([str(self.exe)], debug="+pid,+msgbox,+relay"), cwd=drives / "c",
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
        shown, window = [], None
        try:
            for step in scenario.steps:
                if isinstance(step, Box):
                    shown.append(self.box(step, len(shown) + 1))
                elif isinstance(step, Window):
                    window = self.window(step.expect, "opening")
                    name = self.name_of(window)
                    if name != TITLE or window["caption"] != TITLE:
                        raise Failure(f"wine: window caption {window['caption']!r}, X window "
                                      f"name {name!r}, expected {TITLE!r}")
                    self.shot(window, "window")
                else:
                    pressed = time.time()
                    self.key(window["xid"], step.key)
                    if step.expect:
                        window = self.window(step.expect, f"the key {step.key}")
                        took = time.time() - pressed
                        self.log(f"the window showed {step.expect} {took:.1f} s after the key")
                        if "rows" in step.expect or "highlighted" in step.expect:
                            self.shot(window, "window")
            code = process.wait(self.timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"wine: the program did not end within {self.timeout} s after the "
                          f"last step")
        finally:
            self.steps = None
            self.end(process)
        return code, shown

    def end(self, process):
        """A program still running after a failure: killed, and Wine's server started
        afresh for the next run."""
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            self.kill_server()
            self.serve()

    def visible_windows(self):
        return set(self.x("search", "--onlyvisible", "--name", "").stdout.split())

    def play_unattended(self, build, scenario, drives, log, out, arguments, folder=None):
        """Runs the program (from `folder` when given) with a command line to its end
        (scenario.runs at once, the first one's output kept), watching the X window list all
        the while: nothing may appear. Answers its code."""
        exe = BUILDS[build].console if scenario.console else BUILDS[build].exe
        exe = folder / exe.name if folder else exe
        before = self.visible_windows()
        processes = [subprocess.Popen(
            self.command([str(exe), *arguments], debug="+msgbox,+relay"), cwd=drives / "c",
            stdin=subprocess.DEVNULL, stdout=out if n == 0 else subprocess.DEVNULL, stderr=log,
            start_new_session=True) for n in range(scenario.runs)]
        deadline = time.time() + TIMEOUT
        try:
            while any(process.poll() is None for process in processes):
                if time.time() > deadline:
                    raise Failure(f"wine: the program did not end within {TIMEOUT} s")
                appeared = self.visible_windows() - before
                if appeared:
                    names = [self.x("getwindowname", w).stdout.strip() for w in appeared]
                    raise Failure(f"wine: a window appeared under a command line: {names}")
                time.sleep(0.05)
        finally:
            for process in processes:
                self.end(process)
        if len({process.returncode for process in processes}) != 1:
            raise Failure("wine: runs started together ended with different codes")
        return processes[0].returncode

    def kill_server(self):
        subprocess.run(self.command(["-k"], program="wineserver"), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)

    def close(self):
        try:
            self.kill_server()
        finally:
            # Terminated, not killed: Xvfb removes its socket and lock file then.
            for process in reversed(self.processes):
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


PLANTED_MARK = "planted-dll-ran"  # what the planted userenv.dll leaves beside itself


def plant_dll(wine, build, drives):
    """A folder outside the drives holding the build's executables beside a planted
    userenv.dll. A program that imports userenv as the program once did must load it there,
    or the scenario would prove nothing."""
    folder = drives.parent / f"{build}-program"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    chosen = BUILDS[build]
    for path in (chosen.exe, chosen.console, chosen.planted, chosen.control):
        shutil.copy(path, folder)
    wine.own(folder)
    code, out, err = wine.wine([str(folder / chosen.control.name)])
    if not (folder / PLANTED_MARK).exists():
        raise Failure(f"wine: the planted userenv.dll did not load into {chosen.control.name}, "
                      f"which imports it (exit {code}): {tail(out + chr(10) + err)}")
    (folder / PLANTED_MARK).unlink()
    return folder


def wine_run(wine, build, scenario, drives, logs):
    populate(drives, scenario)
    wine.mount(drives, {letter: drives / f"{letter}-{kind}" for letter, kind in scenario.fuse.items()})
    log_path = logs / f"{scenario.name}-{build}.log"
    if scenario.args:
        if scenario.planted:
            plant(drives, scenario)
        times = modification_times(drives)
        arguments = [a.format(log=(scenario.log or "").replace("/", "\\"))
                     for a in scenario.args]
        out_path = logs / f"{scenario.name}-{build}.out"
        folder = plant_dll(wine, build, drives) if scenario.dll_planted else None
        with slow_drives(drives, scenario.fuse), open(log_path, "wb") as log, \
                open(out_path, "wb") as out:
            code = wine.play_unattended(build, scenario, drives, log, out, arguments, folder)
        if folder:
            # The window program too, from the same folder.
            window_code = wine.wine([str(folder / BUILDS[build].exe.name), *arguments])[0]
            if (folder / PLANTED_MARK).exists():
                raise Failure("wine: the planted userenv.dll was loaded into the program")
            if window_code != code:
                raise Failure(f"wine: from the planted folder, the window program ended with "
                              f"{window_code}, the console twin with {code}")
        traced = wine_boxes(log_path.read_text(errors="replace"))
        if traced:
            raise Failure(f"wine: {len(traced)} message boxes under a command line: {traced}")
        return code, [], out_path.read_bytes(), log_path.read_bytes(), times, None
    # The program's output (with the debug channels) and the suite's own steps: each key
    # and each run of the reader with its exit status and standard error.
    steps_path = logs / f"{scenario.name}-{build}-steps.log"
    with slow_drives(drives, scenario.fuse), open(log_path, "wb") as log, \
            open(steps_path, "w") as steps:
        code, shown = wine.play(build, scenario, drives, log, steps)
    trace = log_path.read_text(errors="replace")
    problem = error_mode_problem(trace)
    if problem:
        raise Failure(f"wine: {problem}")
    traced = wine_boxes(trace)
    if len(traced) != len(shown):
        raise Failure(f"wine: {len(traced)} boxes in the debug log, {len(shown)} seen on screen")
    boxes = []
    for n, (trace, state) in enumerate(zip(traced, shown), 1):
        # The msgbox channel has the text as far as it goes; boxreader has all of it.
        channel, full = trace["channel"], state["text"]
        if (full[:len(channel)] if trace["cut"] else full) != channel:
            raise Failure(f"wine: box {n}: msgbox channel and box text differ\n"
                          + text_diff(channel, full[:len(channel)] if trace["cut"] else full))
        for name, caption in (("relay trace", trace["relay_caption"]),
                              ("window", state["caption"])):
            if caption != state["name"]:
                raise Failure(f"wine: box {n}: caption in the {name} {caption!r}, "
                              f"X window name {state['name']!r}")
        boxes.append({"caption": state["name"], "prompt": full, "flags": trace["flags"],
                      "answer": trace.get("answer")})
    return code, boxes, b"", b"", {}, wine.first_box


# ---------------------------------------------------------------------------------------
# The native side


def native_run(build, scenario, drives, logs):
    populate(drives, scenario)
    with slow_drives(drives, scenario.fuse) as points:
        return native_play(build, scenario, drives, logs, points)


def native_play(build, scenario, drives, logs, points):
    devices = drives / "prefix" / "dosdevices"
    devices.mkdir(parents=True)
    for letter in LETTERS:
        (devices / f"{letter}:").symlink_to(points.get(letter, Path("../..") / letter))
    # The drive types as Wine's registry file holds them.
    (drives / "prefix" / "system.reg").write_text(
        "WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drives] 1700000000\n"
        + "".join(f'"{letter}:"="{kind}"\n' for letter, kind in DRIVE_TYPES.items()))
    transcript = drives / "transcript.jsonl"
    lines = []
    for step in scenario.steps:
        if isinstance(step, Box):
            lines.append(ANSWERS[step.answer][1])
        elif isinstance(step, Key) and step.native is not None:
            lines.append(step.native)
    env = {**os.environ, "WINEPREFIX": str(drives / "prefix"), "LC_ALL": "zh_CN.UTF-8",
           "ZELFIX_BOX_TRANSCRIPT": str(transcript)}
    if scenario.args:
        return native_unattended(build, scenario, drives, logs, env)
    began = time.time()
    try:
        result = subprocess.run([str(BUILDS[build].exe)],
                                input="".join(l + "\n" for l in lines).encode(),
                                cwd=drives / "c", env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=timeout_of(scenario))
    except subprocess.TimeoutExpired:
        raise Failure(f"native: the program did not end within {timeout_of(scenario)} s")
    took = time.time() - began  # its boxes are answered at once
    (logs / f"{scenario.name}-{build}.log").write_bytes(result.stdout)
    for letter, kind in scenario.fuse.items():
        note = f"zelfix: drive {letter.upper()}: did not answer within 8.0 s: it counts as "
        if kind == "dead" and result.stdout.count(note.encode()) != scenario.lookups[letter]:
            raise Failure(f"native: standard error said {note!r} not once per lookup")
    # The terminal's complaints about an answer or a command it did not understand.
    for complaint in ("未能识别的回答", "未知命令", "没有第", "没有驱动器", "无法打开该目录"):
        if complaint.encode() in result.stdout:
            raise Failure(f"native: the program said {complaint!r}; see its log")
    # End of input would press Cancel: the program must end before asking for more.
    asked = sum(result.stdout.count(p.encode()) for p in ("命令（? 帮助）> ", "按 Enter ", "回答 "))
    if asked != len(lines):
        raise Failure(f"native: the program asked {asked} times for input; the scenario "
                      f"answers {len(lines)} times")
    if any(isinstance(s, Window) for s in scenario.steps) and \
            f"┌─ [窗口] {TITLE}\n".encode() not in result.stdout:
        raise Failure(f"native: the window with the caption {TITLE!r} was never drawn")
    records = transcript.read_text().splitlines() if transcript.exists() else []
    boxes = [json.loads(record) for record in records]
    return result.returncode, boxes, b"", b"", {}, took


def interrupt(drives, scenario):
    """Waits for the program's first lookup on the drive scenario.interrupt, as its FUSE
    server logs it, then sends SIGTERM to the process that made it."""
    letter = scenario.interrupt
    log = drives / f"{letter}-{scenario.fuse[letter]}.log"
    deadline = time.time() + TIMEOUT
    while not (lines := [l for l in log.read_text(errors="replace").splitlines()
                         if l.startswith("lookup ") and str(BUILDS["native"].exe) in l]):
        if time.time() > deadline:
            raise Failure(f"native: no lookup on {letter.upper()}: within {TIMEOUT} s")
        time.sleep(0.05)
    thread = lines[0].split(" by ")[1].split()[0]
    status = Path(f"/proc/{thread}/status").read_text().splitlines()
    os.kill(int(next(l.split()[1] for l in status if l.startswith("Tgid:"))), signal.SIGTERM)


def native_unattended(build, scenario, drives, logs, env):
    """The Linux build with a command line, as a deployment tool runs it: no input, the
    report on standard output. As root it runs as the unprivileged user, whom a read-only
    folder stops (root it would not)."""
    user = []
    if os.geteuid() == 0:
        if run(["id", "-u", WINE_USER]).returncode != 0:
            subprocess.run(["useradd", "--system", "--create-home", "--shell", "/bin/sh",
                            WINE_USER], check=True)
        # Not into a slow or dead drive's mount: it is not ours to give away.
        uid, gid = int(run(["id", "-u", WINE_USER]).stdout), int(run(["id", "-g", WINE_USER]).stdout)
        for folder, subfolders, files in os.walk(drives):
            subfolders[:] = [s for s in subfolders if not os.path.ismount(Path(folder) / s)]
            for name in [".", *subfolders, *files]:
                os.lchown(Path(folder) / name, uid, gid)
        if scenario.root_links:
            plant_links(drives, scenario.root_links)
        if scenario.shared:
            os.lchown(drives / "prefix", 65534, 65534)
        if not scenario.as_root:
            user = ["runuser", "-u", WINE_USER, "--", "env",
                    *[f"{k}={v}" for k, v in env.items() if k.startswith(("WINE", "LC_", "ZELFIX"))]]
    if scenario.planted:
        plant(drives, scenario)
    times = modification_times(drives)  # a change of owner is no change of time
    arguments = [a.format(log=host(drives, scenario.log) if scenario.log else "")
                 for a in scenario.args]
    processes = [subprocess.Popen(user + [str(BUILDS[build].exe), *arguments],
                                  stdin=subprocess.DEVNULL, cwd=drives / "c", env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                 for _ in range(scenario.runs)]
    try:
        if scenario.interrupt:
            interrupt(drives, scenario)
        outputs = [process.communicate(timeout=TIMEOUT) for process in processes]
    except subprocess.TimeoutExpired:
        for process in processes:
            process.kill()
        raise Failure(f"native: the program did not end within {TIMEOUT} s")
    if len({process.returncode for process in processes}) != 1:
        raise Failure("native: runs started together ended with different codes")
    result = subprocess.CompletedProcess(processes[0].args, processes[0].returncode, *outputs[0])
    (logs / f"{scenario.name}-{build}.log").write_bytes(result.stdout + result.stderr)
    if (drives / "transcript.jsonl").exists() or "┌─".encode() in result.stdout:
        raise Failure("native: a box or the window was drawn under a command line")
    for text in scenario.said:
        if text.encode() not in result.stderr:
            raise Failure(f"native: standard error never said {text!r}: {result.stderr[-600:]!r}")
    if scenario.root_links and root_only_damage(drives):
        raise Failure(f"native: root's file changed: {root_only_damage(drives)}")
    return result.returncode, [], result.stdout, result.stderr, times, None


# ---------------------------------------------------------------------------------------


@dataclass
class Build:
    preset: str
    exe: Path = None
    reader: Path = None  # boxreader of the same bitness, for the Windows builds
    console: Path = None  # the console twin, for the Windows builds
    planted: Path = None  # the planted userenv.dll and its importer, for the Windows builds
    control: Path = None
    version: str = ""  # the version text the build's reports name


# The name in the result lines (as the shipped executables are named) -> its build.
BUILDS = {"x64": Build("mingw64"), "x86": Build("mingw32"), "native": Build("native")}


def find_builds(root, names):
    for name in names:
        build = BUILDS[name]
        folder = root / build.preset
        if build.preset == "native":
            build.exe = folder / "app/zelfix"
            needed = [build.exe]
        else:
            build.exe = folder / "app/zelfix.exe"
            build.reader = folder / "tests/e2e/zelfix_e2e_boxreader.exe"
            build.console = folder / "app/zelfix.com"
            build.planted = folder / "tests/e2e/userenv.dll"
            build.control = folder / "tests/e2e/zelfix_e2e_planted_control.exe"
            needed = [build.exe, build.reader, build.console, build.planted, build.control]
        for path in needed:
            if not path.exists():
                sys.exit(f"e2e: {path} is missing: build the {build.preset} preset first")
        cache = (folder / "CMakeCache.txt").read_text()
        build.version = re.search(r"^ZELFIX_VERSION_TEXT:INTERNAL=(.*)$", cache, re.M).group(1)
        found = re.search(r"^ZELFIX_TARGET_SERVER_ADDRESS:STRING=(.*)$", cache, re.M)
        if found and found.group(1) != TARGET:
            sys.exit(f"e2e: {build.preset} is built for {found.group(1)}; "
                     f"the suite expects {TARGET}")


def modification_times(drives):
    return {path: host(drives, path).stat().st_mtime_ns for path in snapshot(drives)}


LOCAL_TIME = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d$")


# What the Windows builds write to redirected standard output and error: the console's
# code page, which Wine takes from LC_ALL=zh_CN.UTF-8 (936) as Windows from its locale.
CONSOLE_ENCODING = "gbk"


def get_content(data):
    """A text file's lines as PowerShell's Get-Content reads them: decoded as its byte-order
    mark says (none: UTF-8, as PowerShell 7 reads it), split at CR LF, LF or CR."""
    encoding = "utf-8"
    for mark, named in ((b"\xff\xfe", "utf-16-le"), (b"\xef\xbb\xbf", "utf-8")):
        if data.startswith(mark):
            data, encoding = data[len(mark):], named
            break
    text = data.decode(encoding)
    lines = re.split(r"\r\n|\n|\r", text)
    return lines[:-1] if lines[-1] == "" else lines


def check_report(lines, scenario, build, where, blocks=1):
    """A report's lines: the column names once, then `blocks` times the expected rows,
    each of them whole, with every column."""
    rows = [line.split("\t") for line in lines]
    mode, expected = scenario.report
    expected = expected * blocks
    if not rows or rows[0] != HEADING or HEADING in rows[1:]:
        raise Failure(f"{build}: the report in {where} does not have the column names first "
                      f"and once: {lines!r}")
    seen = [tuple(row[5:]) for row in rows[1:]]
    # A cell may be a pattern, for what the run measured (a drive's wait).
    if len(seen) != len(expected) or not all(
            all(c.fullmatch(t) if isinstance(c, re.Pattern) else c == t for c, t in zip(e, s))
            for s, e in zip(seen, expected)):
        raise Failure(f"{build}: the report in {where} differs\n    expected {expected!r}\n"
                      f"        seen {seen!r}")
    for row in rows[1:]:
        lead = {"columns": len(row) == len(HEADING), "computer": row[0] != "",
                "time": len(row) > 1 and bool(LOCAL_TIME.match(row[1])),
                "version": row[2] == BUILDS[build].version, "address": row[3] == TARGET,
                "mode": row[4] == mode}
        if not all(lead.values()):
            raise Failure(f"{build}: the report in {where} has a row that names the wrong "
                          f"{[k for k, v in lead.items() if not v]}: {row!r}")


def check_log(data, scenario, build):
    """The log as a site reads it: what it held before, unchanged, then one table of whole
    rows, in the encoding the log already had - a new one UTF-16LE with its mark from the
    Windows builds, UTF-8 from the Linux one."""
    before = scenario.log_before or b""
    utf16 = data.startswith(b"\xff\xfe")
    if not data.startswith(before) or (not before and build != "native" and not utf16) or \
            not data.endswith("\r\n".encode("utf-16-le" if utf16 else "utf-8")):
        raise Failure(f"{build}: the log does not keep what it held ({before[:20]!r}), start "
                      f"with the mark a new one needs, or end with CR LF: {data[:60]!r} ... "
                      f"{data[-40:]!r}")
    try:
        lines = get_content(data)[len(get_content(before)) if before else 0:]
    except UnicodeDecodeError as error:
        raise Failure(f"{build}: the log mixes encodings: {error}; it holds {data[:200]!r}")
    check_report(lines, scenario, build, "the log", scenario.runs)


def check_unattended(scenario, build, drives, times, out, err):
    """What a command line leaves: no change but the repairs (not even a file's time), the
    report where it belongs, the refusal said plainly."""
    log = host(drives, scenario.log) if scenario.log else None
    log_bytes = None
    if log and scenario.log not in scenario.files and log.is_file() and not log.is_symlink():
        log_bytes = log.read_bytes()
        log.unlink()
    now = modification_times(drives)
    touched = [p for p, t in times.items()
               if p not in scenario.changed and p != scenario.log and now.get(p) != t]
    if touched:
        raise Failure(f"{build}: modification time changed: {touched}")
    if scenario.planted == "full disk":
        if log_bytes != scenario.log_before:
            raise Failure(f"{build}: the log on a full disk changed; it ends "
                          f"{(log_bytes or b'')[-60:]!r}")
    elif scenario.report is None:
        if log_bytes is not None:
            raise Failure(f"{build}: a log was written: {log_bytes[:200]!r}")
    elif scenario.log:
        if log_bytes is None:
            raise Failure(f"{build}: no log at {scenario.log}")
        check_log(log_bytes, scenario, build)
    if scenario.report is not None and (scenario.console or build == "native"):
        # UTF-8 on Linux, code page 936 from the Windows builds; CR LF after every line.
        text = out.decode("utf-8" if build == "native" else CONSOLE_ENCODING, errors="replace")
        if not text.endswith("\r\n"):
            raise Failure(f"{build}: the report on standard output does not end with CR LF")
        check_report(text.split("\r\n")[:-1], scenario, build, "standard output")
    if scenario.error is not None:
        said = scenario.error.format(
            log=log if build == "native" else scenario.log.replace("/", "\\"))
        if said.encode("utf-8" if build == "native" else CONSOLE_ENCODING) not in err:
            raise Failure(f"{build}: standard error never said {said!r}; it said {err[-300:]!r}")
    if "/chek" in scenario.args:
        refusal = "无法识别的参数: /chek"
        said = refusal.encode("utf-8" if build == "native" else CONSOLE_ENCODING)
        if said not in err or out:
            raise Failure(f"{build}: expected only {refusal!r} on standard error; seen "
                          f"output {out!r}, error {err[-300:]!r}")


# (scenario, build) -> seconds from the program's start to its first box
FIRST_BOX = {}


def timeout_of(scenario):
    """How long a box or the program's end may take: a spinning disk adds its spin-up."""
    return TIMEOUT + (SPIN_UP if "spinning" in scenario.fuse.values() else 0)


def play_build(wine, build, scenario, drives, logs):
    """Plays the scenario on one build and checks all it showed and left behind."""
    try:
        return play_build_once(wine, build, scenario, drives, logs)
    finally:
        unmount_under(drives)  # a small disk under the log


def play_build_once(wine, build, scenario, drives, logs):
    if build == "native":
        code, boxes, out, err, times, first = native_run(build, scenario, drives, logs)
    else:
        code, boxes, out, err, times, first = wine_run(wine, build, scenario, drives, logs)
    FIRST_BOX[scenario.name, build] = first
    compare_boxes(expected_boxes(scenario), boxes, build)
    for letter, expected in scenario.lookups.items():
        log = drives / f"{letter}-{scenario.fuse[letter]}.log"
        made = [line for line in log.read_text(errors="replace").splitlines()
                if BY_PROGRAM.match(line)]
        if len(made) != expected:
            raise Failure(f"{build}: the program made {len(made)} lookups on {letter.upper()}: "
                          f"that had to wait, expected {expected}:\n" + "\n".join(made))
    if code != scenario.exit_code:
        raise Failure(f"{build}: exit code {code}, expected {scenario.exit_code}")
    if scenario.args:
        check_unattended(scenario, build, drives, times, out, err)
    for path, data in scenario.outside.items():
        if (drives / path).read_bytes() != data:
            raise Failure(f"{build}: {path}, reached through a user's link, was changed")
    for path in scenario.links:
        if not host(drives, path).is_symlink():
            raise Failure(f"{build}: the link {path} is gone")
    return boxes, check_files(scenario, drives, build)


def play_scenario(wine, builds, scenario, folder, logs, no_fuse):
    """Every build, even when one fails: a fault seen on one build only is telling.
    Answers how many builds passed and how many checks failed."""
    results, failed = {}, 0
    cannot = (f"FUSE cannot mount here: {no_fuse}" if scenario.fuse and no_fuse
              else root_missing(scenario))
    if cannot:
        for build in builds:
            print(f"SKIP {scenario.name} [{build}]: {cannot}", flush=True)
        return 0, 0
    if scenario.as_root and "native" in builds and os.geteuid() != 0:
        print(f"SKIP {scenario.name} [native]: the suite does not run as root", flush=True)
    builds = [b for b in builds if not scenario.as_root or (b == "native" and os.geteuid() == 0)]
    for build in builds:
        if scenario.builds is not None and build not in scenario.builds:
            continue
        began = time.time()
        try:
            results[build] = play_build(wine, build, scenario, folder / build, logs)
            print(f"PASS {scenario.name} [{build}] ({time.time() - began:.1f} s)", flush=True)
        except Failure as failure:
            failed += 1
            print(f"FAIL {scenario.name} [{build}] ({time.time() - began:.1f} s)\n{failure}",
                  flush=True)
    # Implied by the checks against the expectations; said plainly all the same.
    first, *others = results or [None]
    for build in others:
        try:
            compare_boxes(results[first][0], results[build][0], f"{build} against {first}")
            if results[first][1] != results[build][1]:
                raise Failure(f"{build} against {first}: the files differ")
        except Failure as failure:
            failed += 1
            print(f"FAIL {scenario.name} [{build} against {first}]\n{failure}", flush=True)
    return len(results), failed


def interrupted(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")


def main():
    # Also on a signal: the cleanup ends Xvfb and Wine.
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--builds", default=",".join(BUILDS),
                        help="which builds to play, comma-separated (default: %(default)s)")
    parser.add_argument("only", nargs="*", help="scenario names (default: all)")
    args = parser.parse_args()
    root = Path(args.build).resolve()
    builds = args.builds.split(",")
    unknown = [b for b in builds if b not in BUILDS] + \
        [n for n in args.only if n not in {s.name for s in SCENARIOS}]
    if unknown:
        sys.exit(f"e2e: no such build or scenario: {', '.join(unknown)}")
    find_builds(root, builds)
    scenarios = [s for s in SCENARIOS if not args.only or s.name in args.only]

    work = root / "e2e"
    shots, logs = work / "shots", work / "logs"
    # One run at a time in a build tree: a second one waits (several people share it).
    lock = open(root / "e2e.lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("e2e: waiting for another run in this build tree to end", flush=True)
        fcntl.flock(lock, fcntl.LOCK_EX)
    unmount_under(work)
    shutil.rmtree(work, ignore_errors=True)
    start = time.time()
    passed, failed, skipped = 0, 0, 0
    wine = None
    try:
        for folder in (shots, logs):
            folder.mkdir(parents=True)
        no_fuse = None
        if any(s.fuse for s in scenarios):
            no_fuse = fuse_unavailable(work / "fuse-check")
            if no_fuse:
                print(f"e2e: SKIPPING the scenarios with slow drives: FUSE cannot mount here: "
                      f"{no_fuse}", flush=True)
        if any(b != "native" for b in builds):
            wine = Wine(work / "wine", shots)
            wine.start()
            print(f"e2e: Wine prefix and display {wine.display} ready "
                  f"({time.time() - start:.0f} s)", flush=True)
        for scenario in scenarios:
            ok, bad = play_scenario(wine, builds, scenario, work / "runs" / scenario.name, logs,
                                    no_fuse)
            passed, failed = passed + ok, failed + bad
            skipped += len(builds) if (scenario.fuse and no_fuse) or root_missing(scenario) else 0
    except Failure as failure:
        failed += 1
        print(f"e2e: {failure}")
    finally:
        if wine:
            wine.close()
        unmount_under(work)
    print(f"e2e: screenshots in {shots}, logs in {logs}")
    print(f"e2e: whole suite took {time.time() - start:.0f} s")
    print(f"e2e: {passed} passed, {failed} failed"
          + (f", {skipped} SKIPPED (FUSE cannot mount here, or not root)" if skipped else ""))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
