"""Installation benchmark: the whole road of the real setup under Wine (process start to the success page,
clicked through by the driver against the test server with a package of PACKAGE_MB megabytes) against the
sum of its parts measured alone: the package's download (bench_download, through the same proxy) and its
unpacking (bench_unzip), each as a whole process. Prints medians and ratios.

Run through run.sh, which builds the programs and sets the environment."""
import os
import statistics
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
import zrx_e2e  # noqa: E402

RUNS = int(os.environ.get("RUNS", "5"))
PACKAGE_MB = int(os.environ.get("PACKAGE_MB", "20"))
SUCCESS = "Installation of Zorvex has been completed successfully."


class InstallBench(zrx_e2e.ZrxTestCase):
    def timed_wine(self, args):
        t0 = time.monotonic()
        r = self.session.wine(args, timeout=600)
        elapsed = time.monotonic() - t0
        self.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace") + r.stdout.decode(errors="replace"))
        return elapsed

    def test_install_road_against_its_parts(self):
        server = self.start_server(package_mb=PACKAGE_MB)
        package = os.path.join(server.folder("main"), "zrxsetup.zip")
        size = os.path.getsize(package)
        bench = os.path.join(self.build, "bench")
        figures = {"road": [], "install": [], "clicks": [], "commands": [], "download": [], "unzip": []}
        # Every driver command is counted: the clicks are the user's time, not the setup's.
        commands = [0]
        driver_lines = self.session.driver_lines

        def counted(*args, **kw):
            commands[0] += 1
            return driver_lines(*args, **kw)

        self.session.driver_lines = counted
        self.addCleanup(setattr, self.session, "driver_lines", driver_lines)
        for i in range(RUNS):
            self._fresh_state()
            self.set_proxy(server.port)
            commands[0] = 0
            t0 = time.monotonic()
            setup = self.launch()
            setup.wait_control("Lang_en_GB", checked=1, timeout=60)
            setup.click("btnNext")
            setup.click("cbAcceptEULA", timeout=60)
            setup.click("btnNext")
            setup.wait_control("rbInstall", checked=1, timeout=60)
            setup.click("cbRunAfterInstall")
            setup.wait_control("cbRunAfterInstall", checked=0)
            setup.click("btnNext")
            t1 = time.monotonic()
            setup.answer("yes")
            setup.wait_control("lbText5", text=SUCCESS, timeout=600)
            t2 = time.monotonic()
            figures["commands"].append(commands[0])
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0)
            figures["road"].append(t2 - t0)
            figures["install"].append(t2 - t1)
            # What a driver command costs by itself.
            t3 = time.monotonic()
            self.driver("folders")
            figures["clicks"].append(time.monotonic() - t3)

            target = os.path.join(self.run_dir, "download-%d.zip" % i)
            figures["download"].append(self.timed_wine([
                os.path.join(bench, "download", "bench_download.exe"),
                "http://download.zorvex.example/zrx/setup/zrxsetup.zip", self.win_path(target), str(size)]))
            os.remove(target)
            folder = os.path.join(self.run_dir, "unzip-%d" % i)  # a new folder each run
            os.makedirs(folder)
            figures["unzip"].append(self.timed_wine([
                os.path.join(bench, "unzip", "bench_unzip.exe"), self.win_path(package), self.win_path(folder)]))

        m = {k: statistics.median(v) for k, v in figures.items()}
        parts = m["download"] + m["unzip"]
        print()
        print("package: %.1f MB, runs: %d (whole processes, medians; a fresh installation each run)"
              % (size / 1e6, RUNS))
        clicks = m["commands"] * m["clicks"]
        print("setup, process start to success page:     %7.3f s" % m["road"])
        print("  of it, %2d driver commands at %.3f s:      %7.3f s  (the user's clicks and looks)"
              % (m["commands"], m["clicks"], clicks))
        print("  without them:                            %7.3f s" % (m["road"] - clicks))
        print("  confirmation answered to success page:   %7.3f s  (download, unpacking, files, links;"
              " two driver commands)" % m["install"])
        print("download alone (bench_download):           %7.3f s" % m["download"])
        print("unpacking alone (bench_unzip):             %7.3f s" % m["unzip"])
        print("sum of the parts:                          %7.3f s" % parts)
        print("ratio road without the clicks / parts:     %7.2f" % ((m["road"] - clicks) / parts))
        print("ratio confirmation-to-success / parts:     %7.2f" % (m["install"] / parts))


if __name__ == "__main__":
    unittest.main()
