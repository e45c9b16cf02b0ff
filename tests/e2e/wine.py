"""Runs wayfold.exe under Wine for the end-to-end tests.

One throwaway Wine prefix per test module (creating one takes seconds), in a
temp folder of its own, with its own wineserver kept up between runs and
killed at the end. The user's ~/.wine is never used: WINEPREFIX always points
into that temp folder.

The program is always started through the helpers built with it
(tests/e2e/helpers), never by Wine's own command-line quoting:
  rawrun.exe   an exact raw command line, standard handles passed on;
  keyfeed.exe  the same in a real console, with keys typed into it;
  regtool.exe  registry values byte for byte.

Where things come from:
  WAYFOLD_EXE         the exe under test; when unset, WAYFOLD_BUILT_EXE (set by
                      ctest), else build/windows/wayfold.exe
  WAYFOLD_HELPERS     folder of the helper exes (set by ctest), else
                      build/windows/e2e
  WINE, WINESERVER    else wine64 / wineserver on PATH, else /usr/lib/wine/
"""

import atexit
import fcntl
import os
import pty
import shutil
import struct
import subprocess
import tempfile
import termios
import threading
from typing import NamedTuple

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4
REG_MULTI_SZ = 7

HKCU_ENV = r"HKCU\Environment"
HKLM_ENV = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

# Inside the prefix: where the exe under test and the helpers are copied.
TOOLS = r"C:\e2e-tools"
EXE = TOOLS + r"\wayfold.exe"

# Exit statuses of the helpers themselves.
HELPER_FAILED = 250
HELPER_TIMEOUT = 251

RUN_TIMEOUT = 60  # seconds for one Wine process; a hang fails the test


def _find_program(env_name, name, default):
    return os.environ.get(env_name) or shutil.which(name) or default


WINE = _find_program("WINE", "wine64", "/usr/lib/wine/wine64")
WINESERVER = _find_program("WINESERVER", "wineserver",
                           os.path.join(os.path.dirname(WINE), "wineserver"))


def exe_under_test():
    return (os.environ.get("WAYFOLD_EXE") or os.environ.get("WAYFOLD_BUILT_EXE")
            or os.path.join(REPO, "build", "windows", "wayfold.exe"))


def helpers_dir():
    return os.environ.get("WAYFOLD_HELPERS") or os.path.join(REPO, "build", "windows", "e2e")


def oem(text):
    """What the program prints for a message written in Windows-1252: the
    same text in the console's code page, 850."""
    return text.encode("cp850")


def crlf(*lines):
    """Lines of bytes, each ended with CR LF as the program writes them."""
    return b"".join(line + b"\r\n" for line in lines)


def utf16(text):
    """A text as the registry stores it, in UTF-16."""
    return text.encode("utf-16-le")


class Result(NamedTuple):
    status: int
    out: bytes   # standard output; in a console's "screen" mode, the screen rows
    err: bytes


class WineError(Exception):
    """Wine or a helper did not do its part (reported as a test error)."""


def _unix_locale_ok(name="fr_FR.UTF-8"):
    # Without the Unix locale, Wine still takes code pages 1252/850 from the
    # name, but cannot map non-ASCII file names to Unix ones (creating C:\café
    # fails with "file not found").
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    wanted = name.lower().replace("-", "")
    return any(known.lower().replace("-", "") == wanted for known in listed)


def _drain(stream, sink):
    while True:
        chunk = stream.read1(65536)
        if not chunk:
            return
        sink.append(chunk)


class Prefix:
    """A Wine prefix of the tests' own, with the exe and helpers copied in."""

    def __init__(self):
        self.exe_source = exe_under_test()
        if not os.path.isfile(self.exe_source):
            raise WineError("no exe to test at %s (set WAYFOLD_EXE)" % self.exe_source)
        helpers = helpers_dir()
        self.root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        self.path = os.path.join(self.root, "prefix")
        home = os.path.join(self.root, "home")
        os.mkdir(home)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
        self.env.update(
            WINEPREFIX=self.path,
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",  # no Mono or Gecko prompts
            LC_ALL="fr_FR.UTF-8",                # code pages 1252 and 850
            HOME=home,  # the prefix's Desktop, Documents... link here, not to ~
        )
        self.env.pop("DISPLAY", None)
        self.french_file_names = _unix_locale_ok()
        atexit.register(self.close)  # also when the module's teardown is never reached
        try:
            self._quiet([WINE, "wineboot", "-i"], timeout=180)
            self._quiet([WINESERVER, "-w"], timeout=60)
            # Z: is the whole Unix tree: unmapped, no test can write outside.
            os.unlink(os.path.join(self.path, "dosdevices", "z:"))
            # One wineserver for the module, so each run is a process start,
            # not a Wine session start.
            self._quiet([WINESERVER, "-p"], timeout=30)
            tools = self.unix_path(TOOLS)
            os.makedirs(tools)
            shutil.copy(self.exe_source, os.path.join(tools, "wayfold.exe"))
            for name in ("rawrun.exe", "keyfeed.exe", "regtool.exe"):
                shutil.copy(os.path.join(helpers, name), os.path.join(tools, name))
            # Wine's session processes start with the first program: let them
            # inherit /dev/null here, not a later test's pipes, which they
            # would then hold open for as long as the wineserver lives.
            self._quiet([WINE, self._tool("regtool.exe"), "list", _hex("HKCU")], timeout=60)
        except BaseException:
            self.close()
            raise

    def need_french_file_names(self):
        """For tests that create folders with non-ASCII names."""
        if not self.french_file_names:
            raise WineError("no fr_FR.UTF-8 Unix locale: Wine cannot map non-ASCII file "
                            "names (generate it: localedef -i fr_FR -f UTF-8 fr_FR.UTF-8)")

    # -- lifetime ---------------------------------------------------------

    def close(self):
        if os.path.isdir(self.path):
            for args in ([WINESERVER, "-k"], [WINESERVER, "-w"]):
                try:
                    self._quiet(args, timeout=30, check=False)
                except subprocess.TimeoutExpired:
                    pass
            # Whatever still runs in this prefix (it is ours: the path is new).
            for pid in _processes_with_env("WINEPREFIX=" + self.path):
                try:
                    os.kill(pid, 9)
                except OSError:
                    pass
        shutil.rmtree(self.root, ignore_errors=True)

    def _quiet(self, args, timeout, check=True):
        done = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout)
        if check and done.returncode != 0 and args[1:2] != ["wineboot"]:
            raise WineError("%s exited with %d" % (" ".join(args), done.returncode))
        return done

    def _tool(self, name):
        return os.path.join(self.unix_path(TOOLS), name)

    # -- running ----------------------------------------------------------

    def _wine(self, args, stdin=subprocess.DEVNULL, input=None, timeout=RUN_TIMEOUT,
              out_file=False):
        """Runs one Wine process and collects its output. Reads in threads and
        stops waiting for end of file shortly after the process ended: a Wine
        background process that inherited a pipe may keep it open. With
        out_file, standard output is a file on disk instead of a pipe."""
        if out_file:
            with tempfile.TemporaryFile() as f:
                result = self._wine_to(args, stdin, input, timeout, f)
                f.seek(0)
                return result._replace(out=f.read())
        return self._wine_to(args, stdin, input, timeout, subprocess.PIPE)

    def _wine_to(self, args, stdin, input, timeout, stdout):
        proc = subprocess.Popen([WINE] + args, env=self.env, cwd=self.unix_path(TOOLS),
                                stdin=subprocess.PIPE if input is not None else stdin,
                                stdout=stdout, stderr=subprocess.PIPE)
        out, err = [], []
        readers = [threading.Thread(target=_drain, args=(stream, sink), daemon=True)
                   for stream, sink in ((proc.stdout, out), (proc.stderr, err)) if stream]
        for r in readers:
            r.start()
        if input is not None:
            try:
                proc.stdin.write(input)
            except BrokenPipeError:
                pass
            proc.stdin.close()
        try:
            status = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise WineError("%s did not end within %d s; output so far %r %r"
                            % (args[:2], timeout, b"".join(out), b"".join(err)))
        for r in readers:
            r.join(timeout=5)
        return Result(status, b"".join(out), b"".join(err))

    def _line_arg(self, line):
        """A command line for the helpers: hex, or through a file when the
        hex would not fit in the helper's own 32,767-character line."""
        line = _bytes(line)
        if len(line) <= 4096:
            return line.hex()
        with open(self.unix_path(TOOLS + r"\line.bin"), "wb") as f:
            f.write(line)
        return "@" + TOOLS + r"\line.bin"

    def run(self, args=b"", stdin="null", line=None, app=EXE, stdout="pipe"):
        """wayfold with the raw command line b"wayfold " + args (or exactly
        line). args and line are bytes in the ANSI code page (or str, encoded
        so). stdin: "null" (/dev/null: a character device, no console), or
        bytes fed through a pipe. stdout: "pipe", "file" (on disk) or "none"
        (no handle at all)."""
        if line is None:
            line = b"wayfold" + (b" " + _bytes(args) if args else b"")
        cmd = [self._tool("rawrun.exe"), _hex(app), self._line_arg(line)]
        if stdout == "none":
            cmd.append("noout")
        how = dict(out_file=stdout == "file")
        if stdin == "null":
            result = self._wine(cmd, stdin=subprocess.DEVNULL, **how)
        else:
            result = self._wine(cmd, input=_bytes(stdin), **how)
        if result.status == HELPER_FAILED:
            raise WineError("rawrun failed: %r" % result.err)
        return result

    def run_console(self, args=b"", keys=b"", screen=False, line=None, app=EXE):
        """wayfold in a real console (Wine's, on a pseudo-terminal), its
        standard input being that console; keys are typed one at a time once
        it reads them. Standard output is a pipe (exact bytes), or with
        screen=True the console itself, and out is then the screen's rows."""
        if line is None:
            line = b"wayfold" + (b" " + _bytes(args) if args else b"")
        master, slave = pty.openpty()
        # Wide enough that no line of the program wraps.
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 200, 0, 0))
        terminal = []
        drain = threading.Thread(target=_drain_fd, args=(master, terminal), daemon=True)
        drain.start()
        try:
            result = self._wine([self._tool("keyfeed.exe"), "screen" if screen else "pipe",
                                 _hex(app), self._line_arg(line), _bytes(keys).hex()],
                                stdin=slave)
        finally:
            os.close(slave)
            drain.join(timeout=5)
            try:
                os.close(master)
            except OSError:
                pass
        if result.status == HELPER_TIMEOUT:
            raise WineError("the program was still running long after the keys %r were "
                            "typed; output %r" % (_bytes(keys), result.out))
        if result.status == HELPER_FAILED:
            raise WineError("keyfeed failed: %r" % result.err)
        return result

    # -- registry ---------------------------------------------------------

    def reg(self, *commands):
        """Runs regtool commands, each a tuple ("get", key, name) etc. (see
        helpers/regtool.c), in one Wine process; returns the answer lines."""
        args, expected = [], 0
        for command in commands:
            word, rest = command[0], command[1:]
            args.append(word)
            if word in ("set", "setw"):
                key, name, kind, data = rest
                args += [_hex(key), _hex(name), str(kind), _bytes(data).hex()]
            else:
                args += [_hex(part) for part in rest]
            expected += 1
        result = self._wine([self._tool("regtool.exe")] + args, stdin=subprocess.DEVNULL)
        if result.status != 0:
            raise WineError("regtool failed: %r" % result.err)
        lines = result.out.decode("ascii").splitlines()
        return lines

    def get_value(self, key, name, wide=False):
        """(type, data bytes) of a value, or None when it or its key is
        missing. Strings come in the ANSI code page (wide: as stored)."""
        (line,) = self.reg(("getw" if wide else "get", key, name))
        if line in ("MISSING", "NOKEY"):
            return None
        if line.startswith("ERROR"):
            raise WineError("reading %s\\%s: %s" % (key, name, line))
        kind, _, data = line.partition(" ")
        return int(kind), bytes.fromhex(data)

    def set_value(self, key, name, kind, data, wide=False):
        (line,) = self.reg(("setw" if wide else "set", key, name, kind, data))
        if line != "OK":
            raise WineError("writing %s\\%s: %s" % (key, name, line))

    def set_text(self, key, name, text, kind=REG_EXPAND_SZ):
        """A string value, text in the ANSI code page, ended by a NUL."""
        self.set_value(key, name, kind, _bytes(text) + b"\0")

    def delete_value(self, key, name):
        self.reg(("del", key, name))

    def values(self, key):
        """{name bytes: (type, data)} of all values of a key, None if no key."""
        lines = self.reg(("list", key))
        if lines == ["NOKEY"]:
            return None
        found = {}
        for line in lines[:-1]:
            name, kind, data = line.split(" ")
            found[bytes.fromhex(name)] = (int(kind), bytes.fromhex(data))
        return found

    # -- files and drives -------------------------------------------------

    def unix_path(self, windows_path):
        """The Unix path of a C: path (or one on a drive added here)."""
        path = windows_path if isinstance(windows_path, str) else windows_path.decode("cp1252")
        drive, rest = path[:2].lower(), path[2:].replace("\\", "/").lstrip("/")
        link = os.path.join(self.path, "dosdevices", drive)
        base = os.path.realpath(link)
        return os.path.join(base, rest) if rest else base

    def exists(self, windows_path):
        return os.path.exists(self.unix_path(windows_path))

    def is_dir(self, windows_path):
        return os.path.isdir(self.unix_path(windows_path))

    def make_dirs(self, windows_path):
        os.makedirs(self.unix_path(windows_path), exist_ok=True)

    def remove_tree(self, windows_path):
        target = self.unix_path(windows_path)
        if os.path.isdir(target) and not os.path.islink(target):
            shutil.rmtree(target)
        elif os.path.lexists(target):
            os.unlink(target)

    def add_drive(self, letter):
        """Maps drive letter: to a new empty folder of the prefix's temp
        folder; returns that folder's Unix path."""
        target = os.path.join(self.root, "drive_" + letter.lower())
        os.makedirs(target, exist_ok=True)
        self.remove_drive(letter)
        os.symlink(target, os.path.join(self.path, "dosdevices", letter.lower() + ":"))
        return target

    def remove_drive(self, letter):
        link = os.path.join(self.path, "dosdevices", letter.lower() + ":")
        if os.path.lexists(link):
            os.unlink(link)


def _bytes(value):
    return value.encode("cp1252") if isinstance(value, str) else bytes(value)


def _hex(value):
    return _bytes(value).hex()


def _processes_with_env(entry):
    wanted = entry.encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % name, "rb") as f:
                if wanted in f.read().split(b"\0"):
                    found.append(int(name))
        except OSError:
            pass
    return found


def _drain_fd(fd, sink):
    # Wine's console writes to the terminal too; read it so it never blocks.
    while True:
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            return
        if not chunk:
            return
        sink.append(chunk)
