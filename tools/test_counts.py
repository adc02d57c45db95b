#!/usr/bin/env python3
"""Counts the test cases of one ctest run, for tools/test's summary.

  tools/test_counts.py JUNIT [--gtest-results DIR]   prints "PASSED FAILED"
  tools/test_counts.py --self-test

JUNIT is the file that `ctest --output-junit` wrote. Natively every test case is a ctest test
of its own. Under Wine each gtest program runs as one ctest test and writes its cases to
DIR/<ctest test name>.xml (--gtest_output), so such a test counts its cases instead. A skipped
or disabled case counts neither way, as gtest's own summary has it. A ctest test that failed
while its cases all passed, or that left no readable results (a crash, a time-out), counts one
failure, so a failing run never reads as a clean one. The failed names go to the error output.
Exits 2 when JUNIT cannot be read.
"""

import os
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def gtest_counts(path):
    """(passed, failed, failed names) from gtest's XML, or None when it is missing or broken."""
    try:
        root = ElementTree.parse(path).getroot()
    except (OSError, ElementTree.ParseError):
        return None
    passed, failed, names = 0, 0, []
    for case in root.iter("testcase"):
        if case.get("status") != "run":
            continue
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
            names.append(f"{case.get('classname', '')}.{case.get('name', '')}")
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            continue
        else:
            passed += 1
    return passed, failed, names


def count(junit, gtest_results=None):
    """(passed, failed, failed names) of the run that wrote `junit`."""
    root = ElementTree.parse(junit).getroot()
    passed, failed, names = 0, 0, []
    for test in root.iter("testcase"):
        name = test.get("name", "")
        status = test.get("status")
        if status not in ("run", "fail"):
            continue  # skipped or disabled
        test_failed = status == "fail" or test.find("failure") is not None
        cases = None
        if gtest_results:
            cases = gtest_counts(os.path.join(gtest_results, name + ".xml"))
        if cases is None:
            cases = (0, 1, [name]) if test_failed else (1, 0, [])
        elif test_failed and cases[1] == 0:
            # Every case passed, yet the program failed: it ended badly after them.
            cases = (cases[0], 1, [name + " (the program itself)"])
        passed += cases[0]
        failed += cases[1]
        names += cases[2]
    return passed, failed, names


def self_test():
    junit = """<?xml version="1.0" encoding="UTF-8"?>
<testsuite name="(empty)" tests="6" failures="3" disabled="1" skipped="1">
  <testcase name="core_tests" status="run"><system-out></system-out></testcase>
  <testcase name="ui_tests" status="fail"><failure message=""/></testcase>
  <testcase name="crashed_tests" status="fail"><failure message=""/></testcase>
  <testcase name="leaky_tests" status="fail"><failure message=""/></testcase>
  <testcase name="release_zip" status="run"><system-out></system-out></testcase>
  <testcase name="skipped_check" status="notrun"><skipped message="x"/></testcase>
  <testcase name="disabled_tests" status="disabled"><system-out>Disabled</system-out></testcase>
</testsuite>
"""

    def gtest(cases):
        return ('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites name="AllTests">\n'
                f'<testsuite name="Suite">{cases}</testsuite>\n</testsuites>\n')

    ok = '<testcase name="{}" status="run" result="completed" classname="Suite"/>'
    bad = ('<testcase name="{}" status="run" result="completed" classname="Suite">'
           '<failure message="m"><![CDATA[expected 1]]></failure></testcase>')
    skipped = ('<testcase name="{}" status="run" result="skipped" classname="Suite">'
               '<skipped message="no console"/></testcase>')
    disabled = '<testcase name="DISABLED_{}" status="notrun" result="suppressed" classname="S"/>'
    with tempfile.TemporaryDirectory() as folder:
        results = os.path.join(folder, "results")
        os.mkdir(results)
        junit_path = os.path.join(folder, "junit.xml")
        with open(junit_path, "w", encoding="utf-8") as out:
            out.write(junit)
        files = {
            "core_tests": gtest(ok.format("A") + ok.format("B") + skipped.format("C")
                                + disabled.format("D")),
            "ui_tests": gtest(ok.format("A") + bad.format("B") + bad.format("C")),
            # Cut short: the program died while writing it.
            "crashed_tests": '<?xml version="1.0"?><testsuites><testsuite name="S">',
            "leaky_tests": gtest(ok.format("A")),
            # Left from an earlier run of a test that did not run this time.
            "skipped_check": gtest(bad.format("Old")),
        }
        for name, text in files.items():
            with open(os.path.join(results, name + ".xml"), "w", encoding="utf-8") as out:
                out.write(text)

        # Native: each ctest test is one case, whatever files lie about.
        assert count(junit_path)[:2] == (2, 3), count(junit_path)
        # Wine: core 2 (one skipped, one disabled), ui 1 + 2 failed, the crash 1 failed, the
        # program failing after its passed case 1 + 1 failed, release_zip 1.
        passed, failed, names = count(junit_path, results)
        assert (passed, failed) == (5, 4), (passed, failed, names)
        assert names == ["Suite.B", "Suite.C", "crashed_tests",
                         "leaky_tests (the program itself)"], names
        # A program whose results are gone entirely counts as one failure.
        os.remove(os.path.join(results, "ui_tests.xml"))
        assert count(junit_path, results)[:2] == (4, 3), count(junit_path, results)

        # A clean run counts every case and no failure.
        clean = os.path.join(folder, "clean.xml")
        with open(clean, "w", encoding="utf-8") as out:
            out.write('<testsuite tests="1"><testcase name="core_tests" status="run"/>'
                      '</testsuite>')
        assert count(clean, results)[:2] == (2, 0), count(clean, results)
    print("test_counts.py: self-test passed")


def main(argv):
    if argv[1:] == ["--self-test"]:
        self_test()
        return 0
    if len(argv) == 2 or (len(argv) == 4 and argv[2] == "--gtest-results"):
        junit = argv[1]
        gtest_results = argv[3] if len(argv) == 4 else None
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        passed, failed, names = count(junit, gtest_results)
    except (OSError, ElementTree.ParseError) as error:
        print(f"test_counts.py: cannot read ctest's results {junit}: {error}", file=sys.stderr)
        return 2
    for name in names:
        print(f"failed: {name}", file=sys.stderr)
    print(passed, failed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
