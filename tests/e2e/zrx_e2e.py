"""End-to-end test harness: the real ZorvexSetup.exe under Wine, clicked through by tools/driver (driver.exe)
against tests/server with the sample content of tools/sample. Python 3 standard library only.

Write a scenario as a unittest file in tests/e2e/ and register it in tests/e2e/CMakeLists.txt with
`zrx_add_e2e(<name> <file.py>)`. Every test gets a fresh state: no installed tool, Start-menu groups, nothing
on the desktop, no registry values (HKCU\\Software\\TlvCorp, the folder dialog's memory), nothing in the
temporary folder, no proxy. All e2e tests share one Wine prefix (<build>/e2e-prefix) and run one at a time;
each test file runs on a display of its own.

    import zrx_e2e

    class Install(zrx_e2e.ZrxTestCase):
        def test_install(self):
            server = self.start_server()                  # sample content; the proxy points at it
            setup = self.launch()                         # ZorvexSetup.exe, LANG en_GB; waits for its window
            setup.wait_control("Lang_en_GB", checked=1)
            setup.click("btnNext")
            caption, text = setup.answer("yes")           # a message box of the setup
            setup.screenshot("install-final")             # <build>/screenshots/install-final.png
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0)
            self.assertTrue(os.path.isfile(self.path("localappdata", "Talvenor/Apps/Zorvex/Zorvex.exe")))

ZrxTestCase (a unittest.TestCase):
    start_server(bases=("main", "mirror", "beta", "counter"), files=make_sample.FILES, proxy=True, **sample)
        -> TestServer: starts tests/server on its own port with write_sample() content (sample keywords:
        version, size, number, package_mb, core_xml) and, with proxy, points the prefix's proxy at it.
    no_server()              proxy at a port where nothing listens (every request is refused at once)
    silent_server()          proxy at a port that accepts connections and never answers (requests hang)
    set_proxy(port|None)     the prefix's per-user proxy setting (None: off)
    launch(*args, exe=None, lang="en_GB", wait=True) -> Setup: starts exe (default the built ZorvexSetup.exe;
        give a unix path to run a copy) with the arguments; lang "ru_RU" runs it on a Russian system.
    attach(exe_name) -> Setup   the window of a setup that another program started (e.g. "zrx-uninstall.exe");
                             its wait_exit() gives the exit code too
    directx_present()        the DirectX library counts as present (no DirectX question on the road)
    copy_setup(unix_path)    a copy of the built setup at unix_path (made folders included); returns the path
    driver(*args, timeout=30) -> list of output lines split at tabs (unescaped); fails the test on an error
    path(folder, *parts)     unix path under a special folder: "desktop", "programs", "appdata",
                             "localappdata", "temp", "system", "profile"
    win_path(unix) / unix_path(win)   path conversion within the prefix
    reg_query(key, value) -> str|None, reg_set(key, value, data, kind="REG_SZ")
                             keys as in `wine reg`, e.g. r"HKCU\\Software\\TlvCorp\\zrx"
    read_link(path) -> {"target", "arguments", "workdir", "description"} of a .lnk (unix or Windows path)
    standin_log(wait_for=None) -> list of (file name, command line, hidden: bool), one per start of the
                             stand-in program; wait_for="Zorvex.exe" first waits for a start of that name
    working_folder(beta=False)  unix path of the setup's working folder "Zorvex Setup[ [BETA]]" in temp
    build, source, screenshots  folders; setup_exe, standin_exe, driver_exe  the built programs

TestServer:
    root, port; folder(base) -> unix folder of "main", "mirror", "beta" or "counter"
    put(base, name, data: bytes|str), remove(base, name), misbehave(base, name, behaviour) (a line of
    zrx_test_server.py's misbehaviour list, e.g. "status 404", "slow 50", "truncate")
    requests() -> list of Request(line, host, agent, referer, status); requested(name) -> requests whose path
    ends with "/" + name; stop()

Setup (one launched process; every wait takes timeout= in seconds and fails the test naming what it waited
for and what the window showed instead):
    pid, hwnd, x11 (the X window id); wait_window()
    window() -> Window(caption, x, y, w, h, visible, enabled, closable) of the main window now (closable: a
                             title bar with a close box)
    peak_mb                  the process's peak resident memory in MB so far (sampled while it runs, kept after
                             its end; 0 until the process is seen)
    controls(all=False) -> [Control(name, cls, parent, x, y, w, h, visible, enabled, checked, value, text)]
        (checked is None for other than check boxes and radio buttons; value is "marquee" or "pos/max" for a
        progress bar, "readonly" for a read-only edit box)
    control(name_or_caption) -> Control|None (no waiting)
    wait_control(name_or_caption, text=None, contains=None, enabled=None, visible=True, checked=None,
                 gone=False) -> Control  (visible=None: hidden or not)
    click(name_or_caption) -> Control (waits until it is visible and enabled; the click is posted)
    keys(*chords)            types the keys as real key presses into the window (or the box it waits on), brought
                             to the foreground: "tab", "shift+tab", "return", "space", "down", "alt+a" ...
    focused() -> Control|None   the control with the keyboard focus; wait_focus(name_or_caption) -> Control
    answer("yes"|"no"|"ok"|"cancel") -> (caption, text) of the setup's next message box
    install_with_defaults()  from the language page: English, licence accepted, the choice as it stands, yes to
                             the size question
    choose_folder(path|None) -> (caption, text) of the folder dialog; a path (unix or Windows) is chosen and
        OK pressed, None cancels
    close()                  WM_CLOSE, as the window's close box
    wait_exit() -> exit code; alive(); kill()
    screenshot(name) -> png path of the window alone, in <build>/screenshots/
    dialog(folder=False) -> (caption, text, x11) of the next message box (or folder dialog), left open

poll(what, condition, timeout=60) -> the first true value of condition(), polled every 0.2 s; fails naming what
    it waited for
"""
import atexit
import collections
import fcntl
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SOURCE = os.environ.get("ZRX_SOURCE_DIR") or os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("ZRX_BUILD_DIR") or os.path.join(SOURCE, "build")
sys.path.insert(0, os.path.join(SOURCE, "tools", "sample"))
import make_sample  # noqa: E402

SERVER_SCRIPT = os.path.join(SOURCE, "tests", "server", "zrx_test_server.py")

Control = collections.namedtuple("Control", "name cls parent x y w h visible enabled checked value text")
Window = collections.namedtuple("Window", "caption x y w h visible enabled closable")
Request = collections.namedtuple("Request", "line host agent referer status")


def unescape(field):
    out, i = [], 0
    while i < len(field):
        c = field[i]
        if c == "\\" and i + 1 < len(field):
            i += 1
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}.get(field[i], "\\" + field[i]))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def failed_to_start(returncode, output):
    """Whether a program's end is Wine failing to start it: a non-zero exit without a word, or start.exe's
    report that it could not start it."""
    return returncode != 0 and (not output.strip() or b"Application could not be started" in output)


def parse_control(fields):
    f = list(fields) + [""] * (12 - len(fields))
    return Control(f[0], f[1], f[2], int(f[3]), int(f[4]), int(f[5]), int(f[6]), f[7] == "1", f[8] == "1",
                   None if f[9] == "-" else int(f[9]), f[10], f[11])


class DriverError(AssertionError):
    pass


class WineSession:
    """The shared prefix, a display of this process's own and a persistent wineserver, for one test file."""

    def __init__(self):
        self.prefix = os.path.join(BUILD, "e2e-prefix")
        self.home = os.path.join(BUILD, "e2e-home")
        self.runs = os.path.join(BUILD, "e2e-runs")
        self.screenshots = os.path.join(BUILD, "screenshots")
        for d in (self.home, os.path.join(self.home, "Desktop"), self.runs, self.screenshots):
            os.makedirs(d, exist_ok=True)
        # One e2e session at a time in this build folder, whoever started it.
        self._lock = open(os.path.join(BUILD, "e2e-prefix.lock"), "w")
        fcntl.flock(self._lock, fcntl.LOCK_EX)
        self.xvfb = None
        self.env = self._environment()
        self._start_display()
        self._make_prefix()
        subprocess.run(["wineserver", "-p"], env=self.env, check=False, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine's background processes start with the first program; start them now, on a pipe of nobody's.
        self.wine(["cmd.exe", "/c", "exit"])
        self.folders = {}
        for line in self.driver_lines(["folders"]):
            self.folders[line[0]] = line[1]
        atexit.register(self.stop)

    def _environment(self):
        env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        env.update(WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all", HOME=self.home,
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d", LANG="en_GB.UTF-8",
                   PYTHONDONTWRITEBYTECODE="1")
        return env

    def _start_display(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()
        # Should this process be killed (a ctest timeout), its display and Wine go with it.
        self._watcher = subprocess.Popen(
            ["sh", "-c", "while kill -0 %d 2>/dev/null; do sleep 1; done; wineserver -k; kill %d"
             % (os.getpid(), self.xvfb.pid)], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)

    def _make_prefix(self):
        # The prefix configuration is the one scripts/run.sh gives a user (fonts, window manager).
        script = os.path.join(SOURCE, "scripts", "wine-env.sh")
        subprocess.run(["bash", "-c", '. "$0" && wine_env_make_prefix', script], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True, timeout=600)

    def wine(self, args, env=None, timeout=120):
        """Runs a Windows program; its output is collected in files, not pipes: Wine's background processes,
        started by whichever program comes first, would hold a pipe open long after the program ended.
        Now and then (about one start in a few thousand) Wine fails to start a program: it exits non-zero
        without a word, or start.exe reports that it could not start it. Such a start is tried again."""
        for attempt in range(3):
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                r = subprocess.run(["wine"] + args, env=env or self.env, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err, timeout=timeout)
                out.seek(0)
                err.seek(0)
                r.stdout, r.stderr = out.read(), err.read()
            if not failed_to_start(r.returncode, r.stdout + r.stderr):
                break
            time.sleep(0.5)
        return r

    def regedit(self, lines):
        with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=self.runs, delete=False,
                                         encoding="utf-8") as f:
            f.write("\r\n".join(lines) + "\r\n")
        try:
            r = self.wine(["regedit", "/S", self.win_path(f.name)])
        finally:
            os.remove(f.name)
        # A setting that did not take (the proxy, say) would fail a later step for no visible reason.
        if r.returncode != 0:
            raise RuntimeError("regedit failed (%d): %s"
                               % (r.returncode, (r.stdout + r.stderr).decode("utf-8", "replace")))

    def driver_lines(self, args, timeout=30):
        """Runs driver.exe; its output lines split at tabs, or DriverError with its message."""
        args = [str(a) for a in args]
        if "--timeout" not in args:
            args += ["--timeout", str(timeout)]
        # The driver reports every failure of its own on stderr.
        try:
            r = self.wine([os.path.join(BUILD, "tools", "driver", "driver.exe")] + args, timeout=timeout + 60)
        except subprocess.TimeoutExpired:
            raise DriverError("driver %s did not return" % " ".join(args))
        out = r.stdout.decode("utf-8", "replace")
        if r.returncode != 0:
            raise DriverError(r.stderr.decode("utf-8", "replace").strip() or "driver %s failed (%d)"
                              % (" ".join(args), r.returncode))
        return [[unescape(f) for f in line.split("\t")] for line in out.splitlines() if line]

    def win_path(self, unix):
        unix = os.path.realpath(unix)
        drive_c = os.path.realpath(os.path.join(self.prefix, "drive_c"))
        if unix == drive_c or unix.startswith(drive_c + "/"):
            return "C:" + unix[len(drive_c):].replace("/", "\\") or "C:\\"
        return "Z:" + unix.replace("/", "\\")

    def unix_path(self, win):
        drive, rest = win[0].lower(), win[2:].replace("\\", "/").lstrip("/")
        base = os.path.realpath(os.path.join(self.prefix, "dosdevices", drive + ":"))
        return os.path.join(base, rest) if rest else base

    def screenshot(self, x11, name):
        path = os.path.join(self.screenshots, name + ".png")
        r = subprocess.run(["import", "-window", str(x11), path], env=self.env, capture_output=True, timeout=60)
        if r.returncode != 0:
            raise AssertionError("screenshot %s failed: %s" % (name, r.stderr.decode(errors="replace")))
        return path

    def kill_programs(self, names):
        """Ends every process of these program file names (processes of the tests, never Wine's own)."""
        try:
            procs = self.driver_lines(["processes"])
        except DriverError:
            return
        for pid, _, name in procs:
            if name.lower() in names:
                try:
                    self.driver_lines(["kill", "--pid", pid], timeout=10)
                except DriverError:
                    pass

    def stop(self):
        if self.xvfb is None:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=60)
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
        self.xvfb = None
        self._watcher.kill()
        self._watcher.wait()
        self._lock.close()


_session = None


def session():
    global _session
    if _session is None:
        _session = WineSession()
    return _session


class TestServer:
    def __init__(self, case, root, log):
        self.case, self.root, self.log = case, root, log
        self.port_file = os.path.join(os.path.dirname(root), "server.port")
        out = subprocess.run([sys.executable, SERVER_SCRIPT, "--root", root, "--log", log, "--port-file",
                              self.port_file, "--idle", "600", "--lifetime", "1800", "--detach"],
                             capture_output=True, text=True, timeout=30)
        if out.returncode != 0:
            raise RuntimeError("test server did not start: " + out.stderr)
        with open(self.port_file) as f:
            self.port = int(f.read())

    def folder(self, base):
        return make_sample.base_dir(self.root, base)

    def put(self, base, name, data):
        path = os.path.join(self.folder(base), name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode("utf-8") if isinstance(data, str) else data)
        return path

    def remove(self, base, name):
        for path in (os.path.join(self.folder(base), name), os.path.join(self.folder(base), name + ".misbehave")):
            if os.path.exists(path):
                os.remove(path)

    def misbehave(self, base, name, behaviour):
        self.put(base, name + ".misbehave", behaviour + "\n")

    def requests(self):
        try:
            with open(self.log, encoding="utf-8") as f:
                lines = f.read().splitlines()
        except OSError:
            return []
        return [Request(*(line.split("\t") + [""] * 5)[:5]) for line in lines if line]

    def requested(self, name):
        return [r for r in self.requests() if r.line.split(" ")[1:2] and
                r.line.split(" ")[1].split("?")[0].endswith("/" + name)]

    def stop(self):
        subprocess.run([sys.executable, SERVER_SCRIPT, "--stop", "--port-file", self.port_file],
                       capture_output=True, timeout=30)


class Setup:
    def __init__(self, case, process, exe_name):
        self.case, self.process, self.exe_name = case, process, exe_name
        self.pid = self.hwnd = self.x11 = None
        self._waiter = None  # for a process the harness did not start: a driver that waits for its end
        self._peak_kb = 0
        threading.Thread(target=self._sample_memory, daemon=True).start()

    @property
    def peak_mb(self):
        return self._peak_kb / 1024.0

    def _sample_memory(self):
        """Keeps the peak resident size (VmHWM) of the Linux process that runs this program under the session's
        prefix. Wine runs each Windows process as a Linux process whose first argument is the program's path."""
        name, prefix = self.exe_name.lower(), ("WINEPREFIX=" + self.case.session.prefix).encode()
        pid = None
        while True:
            if pid is None:
                pid = _find_wine_process(name, prefix)
            if pid is not None:
                try:
                    with open("/proc/%d/status" % pid) as f:
                        hwm = next((int(l.split()[1]) for l in f if l.startswith("VmHWM:")), 0)
                    self._peak_kb = max(self._peak_kb, hwm)
                except (OSError, ValueError):
                    return
            elif self.process is not None and self.process.poll() is not None:
                return
            time.sleep(0.1)

    def _driver(self, args, timeout):
        target = ["--hwnd", self.hwnd] if self.hwnd else ["--exe", self.exe_name]
        try:
            return self.case.session.driver_lines(list(args) + target, timeout=timeout)
        except DriverError as e:
            if self._process() is not None and not self.alive():
                e.args = (e.args[0] + "\n(the setup has ended with exit code %s)" % self._exit_code(),)
            raise

    def wait_window(self, timeout=60):
        target = ["--pid", self.pid] if self.pid else ["--exe", self.exe_name]
        line = self.case.session.driver_lines(["window"] + target, timeout=timeout)[0]
        self.hwnd, self.pid, self.x11 = line[1], line[2], int(line[3])
        return self

    def window(self):
        f = self._driver(["window"], 30)[0]
        return Window(f[4], *(int(v) for v in f[5:9]), *(v == "1" for v in f[9:12]))

    def controls(self, all=False):
        return [parse_control(f) for f in self._driver(["controls"] + (["--all"] if all else []), 30)]

    def control(self, key):
        try:
            return parse_control(self._driver(["control", key], 30)[0])
        except DriverError:
            return None

    def wait_control(self, key, text=None, contains=None, enabled=None, visible=True, checked=None, gone=False,
                     timeout=30):
        args = ["wait", key]
        if gone:
            args.append("--gone")
        elif visible is not None:
            args += ["--visible", "1" if visible else "0"]
        else:
            args.append("--exists")
        for option, value in (("--text", text), ("--contains", contains)):
            if value is not None:
                args += [option, value]
        for option, value in (("--enabled", enabled), ("--checked", checked)):
            if value is not None:
                args += [option, str(int(value))]
        lines = self._driver(args, timeout)
        return parse_control(lines[0]) if lines and len(lines[0]) > 1 else None

    def click(self, key, timeout=30):
        return parse_control(self._driver(["click", key], timeout)[0])

    def keys(self, *chords, timeout=30):
        """Types the key chords as a person does, into the window brought to the foreground (or the box it
        waits on)."""
        self._driver(["keys"] + list(chords), timeout)

    def focused(self):
        lines = self._driver(["focus"], 30)
        return parse_control(lines[0]) if lines and len(lines[0]) > 1 else None

    def wait_focus(self, name, timeout=30):
        """Waits until the control with the component name (or class, or caption) has the keyboard focus."""
        return poll("the keyboard focus on " + name,
                    lambda: (lambda c: c if c and name in (c.name, c.cls, c.text) else None)(self.focused()),
                    timeout)

    def install_with_defaults(self):
        """From the language page, the default road to the installation: English, the licence accepted, the
        choice as it stands, yes to the size question."""
        self.wait_control("Lang_en_GB", checked=1)
        self.click("btnNext")
        self.click("cbAcceptEULA")
        self.click("btnNext")
        self.wait_control("rbInstall", checked=1)
        self.click("btnNext")
        self.answer("yes")

    def answer(self, button, timeout=30):
        line = self.case.session.driver_lines(["answer", button, "--pid", self.pid], timeout=timeout)[0]
        return line[0], line[1]

    def choose_folder(self, path, timeout=30):
        if path is None:
            args = ["folder", "--cancel"]
        else:
            args = ["folder", path if ":" in path[:2] else self.case.win_path(path)]
        line = self.case.session.driver_lines(args + ["--pid", self.pid], timeout=timeout)[0]
        return line[0], line[1]

    def close(self):
        self._driver(["close"], 30)

    def _watch(self):
        """Waits for the end of a process that someone else started, holding it from now on so that its exit
        code is known when it ends."""
        self._waiter_out = os.path.join(self.case.run_dir, "exit-%s.txt" % self.pid)
        with open(self._waiter_out, "wb") as out:
            self._waiter = subprocess.Popen(
                ["wine", self.case.driver_exe, "wait-exit", "--pid", str(self.pid), "--timeout", "3600"],
                env=self.case.session.env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)

    def _process(self):
        return self.process or self._waiter

    def _exit_code(self):
        """The exit code of an ended process: our own child's, or what the waiter read of one we attached to
        (its text, when the waiter could not read one)."""
        if self.process is not None:
            return self.process.returncode
        self._waiter.wait(30)
        with open(self._waiter_out, encoding="utf-8", errors="replace") as f:
            text = f.read().strip()
        return int(text) if text.isdigit() else "unknown (%s)" % (text or "the waiter printed nothing")

    def alive(self):
        return self._process().poll() is None

    def wait_exit(self, timeout=60):
        try:
            code = self._process().wait(timeout)
            if self.process is None:
                text = self._exit_code()
                if code != 0 or not isinstance(text, int):
                    raise AssertionError("waiting for %s to end failed: %s" % (self.exe_name, text))
                return text
            return code
        except subprocess.TimeoutExpired:
            shown = ""
            try:
                shown = "\n" + "\n".join("  %s" % (c,) for c in self.controls())
            except DriverError as e:
                shown = "\n" + str(e)
            raise AssertionError("the setup did not end within %s s; its window shows:%s" % (timeout, shown))

    def kill(self):
        if self.process is None:
            if self._waiter and self._waiter.poll() is None:
                try:
                    self.case.driver("kill", "--pid", self.pid)
                finally:
                    self._waiter.kill()
                    self._waiter.wait(30)
        elif self.alive():
            self.process.kill()
            self.process.wait(30)

    def screenshot(self, name):
        """The setup's window alone as <build>/screenshots/<name>.png; returns the path."""
        path = os.path.join(self.case.session.screenshots, name + ".png")
        if not self.x11:
            self.wait_window()
        return self.case.session.screenshot(self.x11, name)

    def dialog(self, folder=False, timeout=30):
        """Waits for a message box (or the folder dialog) and leaves it open: (caption, text, x11 window)."""
        line = self.case.session.driver_lines(["dialog", "--pid", self.pid] + (["--folder"] if folder else []),
                                              timeout=timeout)[0]
        return line[4], line[5], int(line[3])


def poll(what, condition, timeout=60):
    """Waits for condition() to give a true value and returns it; fails naming what it waited for."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("waited %d s for %s" % (timeout, what))
        time.sleep(0.2)


def _find_wine_process(name, prefix_entry):
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                program = f.read().split(b"\0", 1)[0].decode("utf-8", "replace")
            if re.split(r"[\\/]", program)[-1].lower() != name:
                continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if prefix_entry in f.read().split(b"\0"):
                    return int(entry)
        except OSError:
            continue
    return None


# The programs that a test may leave running; tearDown ends them.
PROGRAMS = {"zorvexsetup.exe", "zrx-uninstall.exe", "uninstall.exe", "zorvex.exe", "upx.exe",
            "dxwebsetup.exe", "standin.exe"}


class ZrxTestCase(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.session = session()
        cls.build, cls.source, cls.screenshots = BUILD, SOURCE, cls.session.screenshots
        cls.setup_exe = os.path.join(BUILD, "app", "ZorvexSetup.exe")
        cls.standin_exe = os.path.join(BUILD, "tools", "standin", "standin.exe")
        cls.driver_exe = os.path.join(BUILD, "tools", "driver", "driver.exe")

    def setUp(self):
        self.run_dir = os.path.join(self.session.runs, self.id().split(".", 1)[-1])
        shutil.rmtree(self.run_dir, ignore_errors=True)
        os.makedirs(self.run_dir)
        self.server = None
        self._setups = []
        self._listeners = []
        self._programs = set(PROGRAMS)
        self._fresh_state()
        self.addCleanup(self._clean_up)

    # -- fresh state ---------------------------------------------------------------------------------------
    def _fresh_state(self):
        for folder, rel in (("localappdata", "Talvenor"), ("appdata", "Talvenor"), ("programs", "Zorvex"),
                            ("programs", "Zorvex BETA")):
            shutil.rmtree(self.path(folder, rel), ignore_errors=True)
        # The desktop receives links and local installations; the temporary folder everything else.
        for folder in (self.path("desktop"), self.path("temp")):
            for entry in os.listdir(folder) if os.path.isdir(folder) else ():
                full = os.path.join(folder, entry)
                shutil.rmtree(full) if os.path.isdir(full) and not os.path.islink(full) else os.remove(full)
        self.session.regedit(["REGEDIT4", "", r"[-HKEY_CURRENT_USER\Software\TlvCorp]",
                              r"[-HKEY_CURRENT_USER\Software\Shell]", "",
                              r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings]",
                              '"ProxyEnable"=dword:00000000', '"ProxyServer"=-', '"ProxyOverride"=-', ""])

    def _clean_up(self):
        for s in self._setups:
            s.kill()
        self.session.kill_programs(self._programs)
        if self.server:
            self.server.stop()
        for sock in self._listeners:
            sock.close()

    # -- server and proxy -----------------------------------------------------------------------------------
    def start_server(self, bases=("main", "mirror", "beta", "counter"), files=make_sample.FILES, proxy=True,
                     **sample):
        root = os.path.join(self.run_dir, "server-root")
        make_sample.write_sample(root, self.standin_exe, bases=bases, files=files, **sample)
        self.server = TestServer(self, root, os.path.join(self.run_dir, "server.log"))
        if proxy:
            self.set_proxy(self.server.port)
        return self.server

    def set_proxy(self, port):
        key = r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings]"
        if port is None:
            self.session.regedit(["REGEDIT4", "", key, '"ProxyEnable"=dword:00000000', '"ProxyServer"=-', ""])
        else:
            self.session.regedit(["REGEDIT4", "", key, '"ProxyEnable"=dword:00000001',
                                  '"ProxyServer"="127.0.0.1:%d"' % port, ""])

    def no_server(self):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()  # nothing listens there now: connections are refused
        self.set_proxy(port)

    def silent_server(self):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        s.listen(64)
        self._listeners.append(s)
        self.set_proxy(s.getsockname()[1])

    # -- programs -------------------------------------------------------------------------------------------
    def launch(self, *args, exe=None, lang="en_GB", wait=True):
        exe = exe or self.setup_exe
        name = os.path.basename(exe)
        self._programs.add(name.lower())
        env = dict(self.session.env, LANG=lang + ".UTF-8")
        for attempt in range(3):
            log = os.path.join(self.run_dir, "setup-%d.log" % len(self._setups))
            with open(log, "wb") as out:
                process = subprocess.Popen(["wine", exe] + list(args), env=env, stdin=subprocess.DEVNULL,
                                           stdout=out, stderr=subprocess.STDOUT)
            setup = Setup(self, process, name)
            self._setups.append(setup)
            if not wait:
                return setup
            try:
                return setup.wait_window()
            except DriverError:
                # A start that Wine failed (see WineSession.wine) is tried again.
                with open(log, "rb") as f:
                    output = f.read()
                if setup.alive() or attempt == 2 or not failed_to_start(process.returncode, output):
                    raise
                self._setups.remove(setup)

    def attach(self, exe_name, timeout=60):
        """The window of a setup that another program started (the uninstaller's copy, a successor setup):
        waits for a process of that file name to show its window; wait_exit() then gives its exit code."""
        self._programs.add(exe_name.lower())
        setup = Setup(self, None, exe_name)
        setup.wait_window(timeout)
        setup._watch()
        self._setups.append(setup)
        return setup

    def directx_present(self):
        """The DirectX library counts as present, so that no DirectX question interrupts the road."""
        dll = self.path("system", "d3dx9_33.dll")
        if not os.path.exists(dll):
            open(dll, "wb").close()

    def copy_setup(self, unix_path):
        os.makedirs(os.path.dirname(unix_path), exist_ok=True)
        shutil.copyfile(self.setup_exe, unix_path)
        return unix_path

    def driver(self, *args, timeout=30):
        return self.session.driver_lines(list(args), timeout=timeout)

    # -- paths, registry, links ----------------------------------------------------------------------------
    def path(self, folder, *parts):
        return os.path.join(self.session.unix_path(self.session.folders[folder]), *parts)

    def win_path(self, unix):
        return self.session.win_path(unix)

    def unix_path(self, win):
        return self.session.unix_path(win)

    def working_folder(self, beta=False):
        return self.path("temp", "Zorvex Setup [BETA]" if beta else "Zorvex Setup")

    def reg_query(self, key, value):
        r = self.session.wine(["reg", "query", key, "/v", value])
        if r.returncode != 0:
            return None
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == value.lower() and parts[1].startswith("REG_"):
                return parts[2] if len(parts) > 2 else ""
        return None

    def reg_set(self, key, value, data, kind="REG_SZ"):
        self.session.wine(["reg", "add", key, "/v", value, "/t", kind, "/d", str(data), "/f"])

    def read_link(self, path):
        win = path if ":" in path[:2] else self.win_path(path)
        return {line[0]: (line[1] if len(line) > 1 else "") for line in self.driver("link", win)}

    def standin_log(self, wait_for=None, timeout=30):
        """The starts of the stand-in program so far. A program that the setup starts may run after the setup
        has ended: wait_for (a file name such as "Zorvex.exe") waits until a start of that name is recorded."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                with open(self.path("temp", "zrx-standin.log"), encoding="utf-8") as f:
                    lines = f.read().splitlines()
            except OSError:
                lines = []
            starts = [(p[0], p[1], p[2] == "hidden") for p in (l.split("\t") for l in lines) if len(p) == 3]
            if wait_for is None or any(s[0].lower() == wait_for.lower() for s in starts):
                return starts
            if time.monotonic() > deadline:
                raise AssertionError("%s was not started within %s s; starts recorded: %s"
                                     % (wait_for, timeout, starts))
            time.sleep(0.1)
