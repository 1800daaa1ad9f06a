"""The module file itself: named tevcom.arx beside arxhost, exporting acrxEntryPoint
unmangled and nothing else."""
import os
import shutil
import subprocess
import unittest

from e2e_support import ARXHOST

MODULE = os.path.join(os.path.dirname(os.path.abspath(ARXHOST)), "tevcom.arx")


@unittest.skipIf(shutil.which("nm") is None, "nm is not installed")
class ModuleFile(unittest.TestCase):
    def test_exports_only_the_entry_point(self):
        self.assertTrue(os.path.isfile(MODULE), MODULE)
        out = subprocess.run(["nm", "-D", "--defined-only", MODULE], capture_output=True,
                             text=True, check=True).stdout
        names = [line.split()[-1] for line in out.splitlines() if line.strip()]
        self.assertEqual(names, ["acrxEntryPoint"])

    def test_has_no_lib_prefix_and_is_a_shared_object(self):
        with open(MODULE, "rb") as f:
            self.assertEqual(f.read(4), b"\x7fELF")
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(MODULE),
                                                     "libtevcom.arx")))


if __name__ == "__main__":
    unittest.main()
