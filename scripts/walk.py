#!/usr/bin/env python3
"""Clicks through the default road of a running ZorvexSetup.exe as a user would, for scripts/run.sh --walk:
the language offered, the licence accepted, the choice with its defaults, yes to the size question, the
installation; with -uninstall, the uninstaller's road (the main installation removed when there is one, else
the beta one). Prints each page's title and what it clicked, and saves a screenshot of every page and box.

    walk.py --shots FOLDER -- [setup switches]

Runs in the environment run.sh sets up (WINEPREFIX, DISPLAY) and drives the setup with tools/driver through
the end-to-end harness (tests/e2e/zrx_e2e.py). Exit code 0 when the road reached its last page.
"""
import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import zrx_e2e  # noqa: E402


class RunSession(zrx_e2e.WineSession):
    """The run's prefix and display as run.sh made them (no display or prefix of the harness's own)."""

    def __init__(self, shots):
        self.prefix = os.environ["WINEPREFIX"]
        self.env = dict(os.environ)
        self.screenshots = shots
        self.xvfb = None


class Walk:
    def __init__(self, shots):
        os.makedirs(shots, exist_ok=True)
        for name in os.listdir(shots):
            if name.endswith(".png"):
                os.remove(os.path.join(shots, name))
        self.session = RunSession(shots)
        self.run_dir = os.path.join(os.path.dirname(shots), "walk")
        os.makedirs(self.run_dir, exist_ok=True)
        self.shots = 0

    # The harness's Setup asks its case for these.
    @property
    def driver_exe(self):
        return os.path.join(zrx_e2e.BUILD, "tools", "driver", "driver.exe")

    def attach(self, exe_name, timeout=120):
        setup = zrx_e2e.Setup(self, None, exe_name)
        setup.wait_window(timeout)
        setup._watch()
        return setup

    def shot(self, setup, what, x11=None):
        self.shots += 1
        name = "%02d-%s" % (self.shots, what)
        path = self.session.screenshot(x11 or setup.x11, name)
        print("    screenshot %s" % path)

    def page(self, setup, title, action, shot):
        print("page: %s" % title)
        self.shot(setup, shot)
        print("    %s" % action)

    def box(self, setup, name, answers, timeout=4):
        """A message box of the setup, when one comes within timeout seconds: shot, printed and answered."""
        try:
            caption, text, x11 = setup.dialog(timeout=timeout)
        except AssertionError:
            return False
        print("box: %s" % caption)
        self.shot(setup, name, x11)
        for line in text.splitlines():
            if line.strip():
                print("    | %s" % line)
        for answer in answers:
            try:
                setup.answer(answer)
                print("    clicked %s" % answer.capitalize())
                return True
            except AssertionError:
                continue
        raise AssertionError("the box '%s' has none of the buttons %s" % (caption, ", ".join(answers)))

    def visible(self, setup):
        try:
            return {c.name: c for c in setup.controls() if c.name}
        except AssertionError:
            return {}

    def text(self, controls, name):
        c = controls.get(name)
        return c.text.replace("&", "") if c else ""

    def walk(self, setup):
        """Acts on every page the window shows until the window ends; True when a last page was reached."""
        seen = set()
        deadline = time.monotonic() + 600
        while setup.alive() and time.monotonic() < deadline:
            c = self.visible(setup)
            key = self.act(setup, c, seen)
            if key == "last":
                code = setup.wait_exit(120)
                print("the window ended with exit code %s" % code)
                return True
            if key is None:
                # Nothing new: a message box on top of the window, or a page that is still working.
                self.box(setup, "box", ("yes", "ok"), timeout=1)
                time.sleep(0.2)
        code = setup.wait_exit(120)
        print("the window ended with exit code %s" % code)
        return False

    def act(self, setup, c, seen):
        """Does what the user does on the page that c (the visible controls) shows, once per page; returns the
        page's key, "last" for a last page, None when there was nothing new to do."""
        title = self.text(c, "lbTitle")
        if any(n.startswith("Lang_") for n in c) and "btnNext" in c:
            key = "language"
        elif "cbAcceptEULA" in c:
            key = "licence"
        elif "rbInstall" in c:
            key = "choice"
        elif "btnUninstall" in c:
            key = "uninstall-choice"
        elif "PB" in c or "pbLocal" in c:
            key = "progress-" + (self.text(c, "lbText4") or "page")
        elif "lbSadText" in c or ("lbText5" in c and "btnNext" in c):
            key = "last"
        elif "lbPrepareText" in c:
            key = "prepare"
        else:
            return None
        if key in seen:
            return None
        seen.add(key)
        if key == "language":
            chosen = next(x.text for x in c.values() if x.name.startswith("Lang_") and x.checked)
            self.page(setup, title, "kept %s, clicked %s" % (chosen, self.text(c, "btnNext")), key)
            setup.click("btnNext")
        elif key == "licence":
            self.page(setup, title, "ticked '%s', clicked %s" % (self.text(c, "cbAcceptEULA"),
                                                               self.text(c, "btnNext")), key)
            if not c["cbAcceptEULA"].checked:
                setup.click("cbAcceptEULA")
            setup.click("btnNext")
        elif key == "choice":
            ticked = [self.text(c, n) for n in ("cbDesktopLink", "cbTaskbarPin", "cbRunAfterInstall")
                      if n in c and c[n].checked]
            self.page(setup, title, "kept '%s' (%s), clicked %s" % (
                self.text(c, "rbInstall" if c["rbInstall"].checked else "rbDownload"),
                ", ".join(ticked) or "no option ticked", self.text(c, "btnNext")), key)
            setup.click("btnNext")
            self.box(setup, "size-question", ("yes", "ok"))
        elif key == "uninstall-choice":
            button = next((n for n in ("btnUninstall", "btnUninstallBeta") if n in c and c[n].enabled), "btnNext")
            self.page(setup, title, "clicked %s" % self.text(c, button), key)
            setup.click(button)
            if button == "btnNext":
                return "last"  # nothing installed: Exit ends the road
        elif key.startswith("progress-"):
            self.page(setup, title or self.text(c, "lbText4") or "progress", "waited", "progress")
        elif key == "prepare":
            self.page(setup, self.text(c, "lbPrepareText"), "waited", key)
        else:
            self.page(setup, self.text(c, "lbSadText") or self.text(c, "lbText5").splitlines()[0],
                      "clicked %s" % self.text(c, "btnNext"), "last-page")
            setup.click("btnNext")
        return key


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--shots", required=True)
    p.add_argument("switches", nargs="*")
    a = p.parse_args()
    walk = Walk(a.shots)
    switches = [s.lower() for s in a.switches]
    try:
        if "-uninstall" in switches:
            # The setup hands over to its copy in the temporary folder, which shows the uninstaller.
            print("the setup hands over to its copy zrx-uninstall.exe")
            setup = walk.attach("zrx-uninstall.exe")
        else:
            setup = walk.attach("ZorvexSetup.exe")
        ok = walk.walk(setup)
    except AssertionError as e:
        print("walk: %s" % e, file=sys.stderr)
        return 1
    print("screenshots of every page: %s" % a.shots)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
