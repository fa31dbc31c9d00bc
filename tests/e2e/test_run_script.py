"""scripts/run.sh as a user without a display runs it: the walk installs and uninstalls, Ctrl-C ends the run, and
every way of ending leaves the setup's exit code and nothing running that the script started (its Xvfb, the
Wine server of its prefix, the sample server). The runs have a folder of their own (prefix, home, server), so
they disturb neither a developer's build/run nor the other tests."""
import os
import shutil
import signal
import subprocess
import time
import unittest

import zrx_e2e

RUN_SH = os.path.join(zrx_e2e.SOURCE, "scripts", "run.sh")
RUN_DIR = os.path.join(zrx_e2e.BUILD, "run-script-test")


def start_time(pid):
    """The process's start in clock ticks, or None when it is gone: a pid alone may be taken again."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def processes():
    """(pid, parent pid, command line, environment) of every process this user may read."""
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % name, "rb") as f:
                cmdline = f.read().split(b"\0")
            with open("/proc/%s/environ" % name, "rb") as f:
                environ = f.read().split(b"\0")
            with open("/proc/%s/stat" % name) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            continue
        yield int(name), ppid, [a.decode(errors="replace") for a in cmdline if a], environ


class Run:
    """One run of run.sh; while it runs, the display it starts is noted (an Xvfb child of the script)."""

    def __init__(self, *args, lang="C.UTF-8"):
        env = {k: v for k, v in os.environ.items() if not k.startswith("WINE") and k != "DISPLAY"}
        env.update(BUILD_DIR=zrx_e2e.BUILD, ZRX_RUN_DIR=RUN_DIR, ZRX_RUN_NO_BUILD="1", LANG=lang)
        os.makedirs(RUN_DIR, exist_ok=True)
        self.out_path = os.path.join(RUN_DIR, "run.out")
        self.out = open(self.out_path, "w")
        # A session of its own, as a terminal's foreground job: Ctrl-C goes to the whole process group.
        self.process = subprocess.Popen(["bash", RUN_SH] + list(args), env=env, stdin=subprocess.DEVNULL,
                                        stdout=self.out, stderr=subprocess.STDOUT, start_new_session=True)
        self.displays = {}

    def note_displays(self):
        for pid, ppid, cmdline, _ in processes():
            if ppid == self.process.pid and cmdline and os.path.basename(cmdline[0]) == "Xvfb":
                self.displays.setdefault(pid, start_time(pid))

    def wait(self, timeout=600, until=None):
        """Waits for the script's end (or, with until, for that text in its output); notes its display."""
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            self.note_displays()
            if until and until in self.output():
                return None
            if time.monotonic() > deadline:
                self.process.kill()
                raise AssertionError("run.sh did not end in %d s:\n%s" % (timeout, self.output()))
            time.sleep(0.2)
        self.out.close()
        return self.process.returncode

    def output(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def left(self):
        """What the run started and is still running."""
        prefix = ("WINEPREFIX=" + os.path.join(RUN_DIR, "wineprefix")).encode()
        port_file = os.path.join(RUN_DIR, "server.port")
        found = ["Xvfb %d" % pid for pid, started in self.displays.items() if start_time(pid) == started]
        for pid, _, cmdline, environ in processes():
            if prefix in environ:
                found.append("%d %s (of the run's Wine prefix)" % (pid, " ".join(cmdline)))
            elif port_file in cmdline:
                found.append("%d %s" % (pid, " ".join(cmdline)))
        return found

    def assert_nothing_left(self, case):
        # The sample server ends a moment after it has given up its port.
        deadline = time.monotonic() + 3
        while self.left() and time.monotonic() < deadline:
            time.sleep(0.2)
        case.assertEqual(self.left(), [], self.output())
        case.assertTrue(self.displays, "no private display was seen:\n" + self.output())


class RunScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # An installation left by an earlier run that failed half-way would change the roads.
        shutil.rmtree(os.path.join(RUN_DIR, "wineprefix"), ignore_errors=True)

    def shots(self):
        return sorted(os.listdir(os.path.join(RUN_DIR, "shots")))

    def test_walks_end_with_0_and_leave_nothing(self):
        run = Run("--walk")
        self.assertEqual(run.wait(), 0, run.output())
        out = run.output()
        self.assertIn("This run installed Zorvex in ", out)
        self.assertIn("Talvenor/Apps/Zorvex\n", out)
        # The waiting pages are photographed too, not only the pages that wait for a click.
        shots = self.shots()
        for page in ("prepare", "language", "licence", "choice", "progress", "last-page"):
            self.assertTrue(any(page in s for s in shots), (page, shots))
        with open(os.path.join(RUN_DIR, "server.log"), encoding="utf-8") as f:
            self.assertIn("zrxsetup.zip", f.read())
        run.assert_nothing_left(self)

        run = Run("--walk", "-uninstall")
        self.assertEqual(run.wait(), 0, run.output())
        self.assertIn("This run removed ", run.output())
        self.assertIn("uninstall-choice", " ".join(self.shots()))
        run.assert_nothing_left(self)

        # No server: the failed-connection page; the last run's request log is gone.
        run = Run("--offline", "--walk")
        self.assertEqual(run.wait(), 0, run.output())
        self.assertIn("This run installed and removed nothing", run.output())
        self.assertIn("zrxsetup.log was not written", run.output())
        self.assertFalse(os.path.exists(os.path.join(RUN_DIR, "server.log")))
        run.assert_nothing_left(self)

        # On a Russian system the window speaks Russian and the walk, which goes by the controls, still walks;
        # the script's option may follow a setup switch.
        run = Run("-stream:beta", "--walk", lang="ru_RU.UTF-8")
        self.assertEqual(run.wait(), 0, run.output())
        self.assertIn("kept Русский", run.output())
        self.assertIn("Talvenor/Apps/Zorvex-beta\n", run.output())
        run.assert_nothing_left(self)

    def test_ctrl_c_ends_everything_with_130(self):
        run = Run("--walk")
        self.assertIsNone(run.wait(until="page: "), run.output())
        os.killpg(run.process.pid, signal.SIGINT)
        self.assertEqual(run.wait(120), 130, run.output())
        self.assertIn("Interrupted", run.output())
        run.assert_nothing_left(self)

    def test_an_unknown_option_is_refused_with_the_usage(self):
        run = Run("-stream:beta", "--wlak")
        self.assertEqual(run.wait(60), 2)
        self.assertIn("unknown option --wlak", run.output())
        self.assertIn("usage: scripts/run.sh", run.output())
        self.assertEqual(run.displays, {})


if __name__ == "__main__":
    unittest.main()
