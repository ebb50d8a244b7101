#!/usr/bin/env python3
"""The layer check on a small fixture tree: it must name each include against the layers
(upwards, across to a sibling) and each file in no layer, pass what the rules allow, and
refuse rules that name an unknown layer or run in a circle."""

import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tools" / "layers"))
import check_layers  # noqa: E402

FIXTURE = HERE / "fixture"
RULES = FIXTURE / "layers.txt"


class CheckLayersTest(unittest.TestCase):
    def test_names_every_include_against_the_layers(self):
        self.assertEqual(
            check_layers.check(RULES, FIXTURE / "src"),
            [
                "low/bad.cpp:3: layer low includes high/top.h of layer high",
                "middle/across.cpp:2: layer middle includes side/other.h of layer side",
                f"stray/loose.cpp: in no layer (add its folder to {RULES})",
            ],
        )

    def test_exit_code_tells_a_clean_tree_from_a_broken_one(self):
        self.assertEqual(check_layers.main(["check", str(RULES), str(FIXTURE / "src")]), 1)
        with tempfile.TemporaryDirectory() as clean:
            for name in ("low/base.h", "low/port.h", "middle/fine.cpp", "middle/fine.h", "high/top.cpp",
                         "side/other.h"):
                target = Path(clean) / name
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_text((FIXTURE / "src" / name).read_text())
            self.assertEqual(check_layers.check(RULES, clean), [])
            self.assertEqual(check_layers.main(["check", str(RULES), clean]), 0)

    def test_refuses_broken_rules(self):
        cases = {
            "unknown layer": "low:\nhigh: lower\n",
            "circle": "low: high\nhigh: low\n",
            "given twice": "low:\nlow:\n",
        }
        for name, text in cases.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                rules = Path(folder) / "layers.txt"
                rules.write_text(text)
                with self.assertRaises(ValueError):
                    check_layers.check(rules, FIXTURE / "src")
                self.assertEqual(check_layers.main(["check", str(rules), str(FIXTURE / "src")]), 2)


if __name__ == "__main__":
    unittest.main()
