"""The sample server content: the files and bases asked for, and a package that unpacks as the tool."""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request
import unittest
import zipfile

import zrx_e2e  # noqa: F401  (puts tools/sample on the path)
import make_sample


class SampleContent(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="zrx-sample-")
        self.addCleanup(shutil.rmtree, self.root)
        self.standin = os.path.join(self.root, "standin.exe")
        with open(self.standin, "wb") as f:
            f.write(b"MZ stand-in")

    def test_every_base_holds_every_file_under_the_servers_paths(self):
        folders = make_sample.write_sample(self.root, self.standin)
        self.assertEqual(folders["main"], os.path.join(self.root, "download.zorvex.example", "zrx", "setup"))
        self.assertEqual(folders["beta"],
                         os.path.join(self.root, "files.mirror.example", "talvenor", "zrx", "setup-beta"))
        for base in ("main", "mirror", "beta"):
            self.assertEqual(sorted(os.listdir(folders[base])), sorted(make_sample.FILES))
        self.assertEqual(sorted(os.listdir(folders["counter"])), ["zrx-beta", "zrx-main"])
        with open(os.path.join(folders["main"], "system.xml"), encoding="utf-8") as f:
            manifest = f.read()
        for element in ("<version>10</version>", "<number>4711</number>"):
            self.assertIn(element, manifest)
        # The manifest announces the size of the package it comes with.
        with open(os.path.join(folders["main"], "zrxsetup.zip"), "rb") as f:
            self.assertIn("<size>%s</size>" % make_sample.size_text(f.read()), manifest)
        with open(os.path.join(folders["main"], "EULA_ru_RU"), encoding="utf-8") as f:
            self.assertIn(make_sample.EULA_MARK["ru_RU"], f.read())

    def test_the_announced_size_follows_the_package(self):
        self.assertEqual(make_sample.size_text(b""), "0.01")
        self.assertEqual(make_sample.size_text(b"x" * (83 * 1024)), "0.08")
        folders = make_sample.write_sample(self.root, self.standin, bases=("main",), package_mb=3)
        with open(os.path.join(folders["main"], "system.xml"), encoding="utf-8") as f:
            self.assertIn("<size>3.00</size>", f.read())
        make_sample.write_sample(self.root, self.standin, bases=("main",), size="7.1")
        with open(os.path.join(folders["main"], "system.xml"), encoding="utf-8") as f:
            self.assertIn("<size>7.1</size>", f.read())

    def test_a_chosen_subset_leaves_the_rest_out(self):
        folders = make_sample.write_sample(self.root, self.standin, bases=("mirror",),
                                           files=("system.xml", "Langs.xml"), version=11, size=None)
        self.assertEqual(list(folders), ["mirror"])
        self.assertFalse(os.path.exists(os.path.join(self.root, "download.zorvex.example")))
        self.assertEqual(sorted(os.listdir(folders["mirror"])), ["Langs.xml", "system.xml"])
        with open(os.path.join(folders["mirror"], "system.xml"), encoding="utf-8") as f:
            manifest = f.read()
        self.assertIn("<version>11</version>", manifest)
        self.assertNotIn("<size>", manifest)

    def test_the_package_holds_the_tool_in_folders_and_reaches_a_size(self):
        data = make_sample.package(self.standin, package_mb=2)
        self.assertGreaterEqual(len(data), 2 * 1024 * 1024)
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            names = z.namelist()
            self.assertEqual(z.read("Zorvex.exe"), b"MZ stand-in")
            self.assertIn("<number>1</number>", z.read("Core.xml").decode())
            self.assertIsNone(z.testzip())
            methods = {i.compress_type for i in z.infolist()}
        for name in ("command line.txt", "plugins/Quellpack.dll", "data/sample/empty.dat", "data/filler.bin"):
            self.assertIn(name, names)
        self.assertEqual(methods, {zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED})
        without_core = make_sample.package(self.standin, core_xml=None)
        with zipfile.ZipFile(io.BytesIO(without_core)) as z:
            self.assertNotIn("Core.xml", z.namelist())

    def test_a_paused_sample_is_served_whole_after_the_pause(self):
        folders = make_sample.write_sample(self.root, self.standin, bases=("main", "counter"), pause_ms=600)
        # Every file of a setup base is paused; the counter's links are not setup files.
        self.assertEqual(sorted(n for n in os.listdir(folders["main"]) if n.endswith(".misbehave")),
                         sorted(n + ".misbehave" for n in make_sample.FILES))
        self.assertEqual(sorted(os.listdir(folders["counter"])), ["zrx-beta", "zrx-main"])
        port_file = os.path.join(self.root, "server.port")
        subprocess.run([sys.executable, zrx_e2e.SERVER_SCRIPT, "--root", self.root, "--port-file", port_file,
                        "--log", os.path.join(self.root, "server.log"), "--idle", "60", "--detach"],
                       check=True, stdout=subprocess.DEVNULL)
        self.addCleanup(subprocess.run, [sys.executable, zrx_e2e.SERVER_SCRIPT, "--stop", "--port-file",
                                         port_file], check=False)
        with open(port_file) as f:
            port = int(f.read())
        proxy = urllib.request.build_opener(urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % port}))
        started = time.monotonic()
        with proxy.open("http://download.zorvex.example/zrx/setup/zrxsetup.zip", timeout=30) as r:
            body = r.read()
        self.assertGreaterEqual(time.monotonic() - started, 0.6)
        with open(os.path.join(folders["main"], "zrxsetup.zip"), "rb") as f:
            self.assertEqual(body, f.read())
        # A paused name without its file is still missing.
        os.remove(os.path.join(folders["main"], "Langs.xml"))
        with self.assertRaises(urllib.error.HTTPError) as e:
            proxy.open("http://download.zorvex.example/zrx/setup/Langs.xml", timeout=30)
        self.assertEqual(e.exception.code, 404)
