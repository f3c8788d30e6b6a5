#!/usr/bin/env python3
"""Measures how many files of the charset corpus (bench/charset_corpus.py) read right.

    python3 bench/charset_accuracy.py --corpus DIR --cli build/linepeek-cli \\
        --module build/linepeek.so [--unit auto] [--wrong]
    python3 bench/charset_accuracy.py --corpus DIR --prefix wine \\
        --cli build-win/linepeek-cli.exe --module build-win/linepeek.dll

A file is right when its thirteen line fields ("1".."10", "-3", "-2", "-1") all equal those of
its UTF-8 source: split at LF, one CR before each LF dropped, no empty line after a final LF,
each line trimmed of code points up to U+0020, an empty or missing line being no value.
Three readers:
  auto            linepeek-cli -u UNIT (default auto) on a copy of the module beside a
                  linepeek.ini with Charset=1; its "Charset" answer is the charset it used
  win             the same with -u win and the code pages 1252 and 437
  uchardet+iconv  iconv -f "$(uchardet FILE)" -t UTF-8 FILE; a failure of either is wrong
Both CLI readers run with the code pages 1252 and 437 (LINEPEEK_CODEPAGES; under Wine the
C.UTF-8 locale), or 1251 and 866 with --codepages 1251,866 (ru_RU.UTF-8 under Wine), so a file
that "auto" decodes as "win" does reads the same in both. With --expect-wrong the first
reader's wrong files must be the ones named, for tests that pin the figures.

Prints a table per pair, the totals, how often uchardet and the module's "Charset" name the
file's charset (and what they name instead), the time each reader took, and with --wrong every
wrong file per reader with the fields that differ. With --prefix (e.g. wine), the CLI runs
under that command; under Wine in the prefix that WINEPREFIX names, or else in a fresh one of
its own, removed afterwards.
Python 3 standard library only; needs uchardet and iconv for the third reader.
"""

import argparse
import collections
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

LINE_FIELDS = [str(n) for n in range(1, 11)] + ["-3", "-2", "-1"]
# The ANSI and OEM code pages the CLI readers may run with, and the locale that gives them
# under Wine.
WINE_LOCALES = {"1252,437": "C.UTF-8", "1251,866": "ru_RU.UTF-8"}
BLANKS = "".join(chr(c) for c in range(0x21))
TIMEOUT_SECONDS = 600

# Names that decode every file of the label the same, so a detector naming them is right.
SUPERSETS = {
    "shift_jis": {"cp932", "windows-31j"},
    "euc-kr": {"uhc", "cp949"},
    "big5": {"cp950"},
    "tis-620": {"iso-8859-11", "windows-874"},
}


def line_fields(text):
    """The thirteen line fields of a text, None for no value."""
    # Each CR LF holds one LF, so this drops exactly one CR before each LF.
    lines = text.replace("\r\n", "\n").split("\n")
    if lines[-1] == "":
        lines.pop()  # after a final LF, or the whole of an empty text
    picked = {str(n + 1): lines[n] if n < len(lines) else None for n in range(10)}
    for back in (3, 2, 1):
        picked[f"-{back}"] = lines[-back] if back <= len(lines) else None
    return {name: (value.strip(BLANKS) or None) if value is not None else None
            for name, value in picked.items()}


def names_charset(label, name):
    name = (name or "").lower()
    return name == label or name in SUPERSETS.get(label, set())


class Corpus:
    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.files = sorted(n for n in os.listdir(self.folder)
                            if n.endswith(".txt") and os.path.isfile(os.path.join(self.folder, n)))
        if not self.files:
            sys.exit(f"charset_accuracy: no corpus files in {folder}")
        self.expected = {}
        for name in self.files:
            with open(os.path.join(self.folder, "source", name), encoding="utf-8", newline="") as f:
                self.expected[name] = line_fields(f.read())

    @staticmethod
    def pair(name):
        return name.rsplit("_", 1)[0]

    @staticmethod
    def label(name):
        return Corpus.pair(name).split("_", 1)[-1]


class Result:
    """What one reader gave for one file: the fields (None when it failed) and its charset."""

    def __init__(self, fields, charset, error=None):
        self.fields = fields
        self.charset = charset
        self.error = error


def with_wine_environment(environment, prefix_folder, locale):
    environment.update({"WINEPREFIX": prefix_folder, "WINEDEBUG": "-all",
                        "WINEDLLOVERRIDES": "mscoree,mshtml=", "DISPLAY": "",
                        "WAYLAND_DISPLAY": "", "LC_ALL": locale, "LANG": locale,
                        "LANGUAGE": ""})


def run_cli(options, module, unit, corpus, environment):
    # Bare names in the corpus folder, as the CLI tests give them: Wine's CLI takes those, and
    # the module's absolute POSIX path through the drive that maps the root.
    command = options.prefix + [options.cli, "--module", module, "-u", unit,
                                "-f", ",".join(LINE_FIELDS + ["Charset"]), "-o", "json"]
    done = subprocess.run(command + corpus.files, cwd=corpus.folder, env=environment,
                          capture_output=True, timeout=TIMEOUT_SECONDS, check=False)
    if done.returncode != 0:
        sys.exit(f"charset_accuracy: {shlex.join(command)} ... ended with status "
                 f"{done.returncode}:\n{done.stderr.decode('utf-8', 'replace')}")
    rows = {row["path"]: row for row in json.loads(done.stdout.decode("utf-8"))}
    results = {}
    for name in corpus.files:
        row = rows.get(name)
        if row is None:
            results[name] = Result(None, None, "no row")
        else:
            results[name] = Result({f: row.get(f) for f in LINE_FIELDS}, row.get("Charset"))
    return results


def run_uchardet(corpus):
    done = subprocess.run(["uchardet"] + corpus.files, cwd=corpus.folder, capture_output=True,
                          timeout=TIMEOUT_SECONDS, check=False)
    named = {}
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        if len(corpus.files) == 1:
            named[corpus.files[0]] = line.strip()
        else:
            name, _, charset = line.rpartition(": ")
            named[name] = charset.strip()
    results = {}
    for name in corpus.files:
        charset = named.get(name)
        if not charset or charset == "unknown":
            results[name] = Result(None, charset, "uchardet names nothing")
            continue
        converted = subprocess.run(["iconv", "-f", charset, "-t", "UTF-8", name],
                                   cwd=corpus.folder, capture_output=True,
                                   timeout=TIMEOUT_SECONDS, check=False)
        try:
            if converted.returncode != 0:
                raise ValueError(converted.stderr.decode("utf-8", "replace").strip())
            results[name] = Result(line_fields(converted.stdout.decode("utf-8")), charset)
        except ValueError as error:
            results[name] = Result(None, charset, f"iconv: {error}")
    return results


def module_copy(module, folder):
    """A copy of the module beside settings with Charset=1; returns its path."""
    base = os.path.basename(module)
    copy = os.path.join(folder, base)
    shutil.copyfile(module, copy)
    with open(os.path.join(folder, os.path.splitext(base)[0] + ".ini"), "w",
              encoding="ascii", newline="\r\n") as ini:
        ini.write("[Options]\nCharset=1\n")
    return copy


def measure(options, corpus):
    readers = {}
    seconds = {}
    cli_readers = [(r, u) for r, u in (("auto", options.unit), ("win", "win"))
                   if r in options.readers]
    under_wine = any(os.path.basename(word).startswith("wine") for word in options.prefix)
    # A prefix of the caller's (a test fixture's) is used as it is, and its server left alone.
    own_prefix = under_wine and "WINEPREFIX" not in os.environ
    work = tempfile.mkdtemp(prefix="linepeek_accuracy.")
    environment = dict(os.environ, LINEPEEK_CODEPAGES=options.codepages)
    try:
        if cli_readers:
            module = module_copy(os.path.abspath(options.module), work)
            if own_prefix:
                with_wine_environment(environment, os.path.join(work, "wineprefix"),
                                      WINE_LOCALES[options.codepages])
                started = time.monotonic()
                subprocess.run(options.prefix + ["wineboot", "--init"], env=environment,
                               capture_output=True, timeout=TIMEOUT_SECONDS, check=True)
                seconds["wineboot"] = time.monotonic() - started
        for reader, unit in cli_readers:
            started = time.monotonic()
            readers[reader] = run_cli(options, module, unit, corpus, environment)
            seconds[reader] = time.monotonic() - started
    finally:
        if cli_readers and own_prefix:
            # Ends the server of this prefix alone, and with it any Wine process left on it.
            subprocess.run([shutil.which("wineserver") or "wineserver", "-k"], env=environment,
                           capture_output=True, timeout=60, check=False)
        shutil.rmtree(work, ignore_errors=True)
    if "uchardet" in options.readers:
        started = time.monotonic()
        readers["uchardet"] = run_uchardet(corpus)
        seconds["uchardet"] = time.monotonic() - started
    return readers, seconds


def differing(expected, result):
    if result.fields is None:
        return LINE_FIELDS
    return [f for f in LINE_FIELDS if result.fields[f] != expected[f]]


def confusion(names):
    return ", ".join(f"{count}x {name}" for name, count in
                     collections.Counter(names).most_common())


def shorten(value, width=48):
    if value is None:
        return "null"
    return repr(value if len(value) <= width else value[:width] + "...")


def report(options, corpus, readers, seconds):
    titles = {"auto": "auto" if options.unit == "auto" else f"-u {options.unit}",
              "win": "win", "uchardet": "uchardet+iconv"}
    order = [r for r in ("auto", "win", "uchardet") if r in readers]
    # Both CLI readers get the module's "Charset" answer; the unit does not change it.
    namers = {"uchardet": "uchardet names", "auto": "Charset names", "win": "Charset names"}
    namer_order = [r for r in ("uchardet", "auto" if "auto" in readers else "win")
                   if r in readers]
    header = ["pair", "files"] + [titles[r] for r in order] + [namers[r] for r in namer_order]
    pairs = sorted({corpus.pair(n) for n in corpus.files})
    rows, wrong_names = [], collections.defaultdict(lambda: collections.defaultdict(list))
    totals = [0] * (len(header) - 1)
    for pair in pairs:
        names = [n for n in corpus.files if corpus.pair(n) == pair]
        label = corpus.label(names[0])
        cells = [len(names)]
        for reader in order:
            cells.append(sum(not differing(corpus.expected[n], readers[reader][n]) for n in names))
        for reader in namer_order:
            right = 0
            for n in names:
                charset = readers[reader][n].charset
                if names_charset(label, charset):
                    right += 1
                else:
                    wrong_names[reader][pair].append(charset or "nothing")
            cells.append(right)
        totals = [t + c for t, c in zip(totals, cells)]
        rows.append([pair] + [str(c) for c in cells])
    rows.append(["total"] + [str(t) for t in totals])
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(cell.ljust(widths[0]) if i == 0 else cell.rjust(widths[i])
                        for i, cell in enumerate(row)))
    for reader in namer_order:
        print(f"\n{namers[reader]}, where wrong:")
        for pair in pairs:
            if wrong_names[reader][pair]:
                print(f"  {pair}: {confusion(wrong_names[reader][pair])}")
    print("\nseconds: " + ", ".join(f"{titles.get(r, r)} {s:.1f}" for r, s in seconds.items()))
    if options.wrong:
        for reader in order:
            print(f"\nwrong for {titles[reader]}:")
            for name in corpus.files:
                result = readers[reader][name]
                fields = differing(corpus.expected[name], result)
                if not fields:
                    continue
                used = result.charset or "nothing"
                if reader == "win":
                    used = "windows-" + options.codepages.split(",")[0]
                line = f"  {name} [{used}]: "
                if result.fields is None:
                    print(line + (result.error or "no answer"))
                    continue
                first = fields[0]
                print(line + f"fields {','.join(fields)} differ; {first}: got "
                      f"{shorten(result.fields[first])}, want {shorten(corpus.expected[name][first])}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", required=True, help="folder written by charset_corpus.py")
    parser.add_argument("--cli", help="linepeek-cli (or linepeek-cli.exe)")
    parser.add_argument("--module", help="the built module (linepeek.so or linepeek.dll)")
    parser.add_argument("--unit", default="auto", help="unit of the first reader (default auto)")
    parser.add_argument("--prefix", default="", help="command that runs the CLI, e.g. wine")
    parser.add_argument("--codepages", default="1252,437", choices=sorted(WINE_LOCALES),
                        help="ANSI and OEM code pages of the CLI readers (default 1252,437)")
    parser.add_argument("--readers", default="auto,win,uchardet",
                        help="comma-separated subset of auto,win,uchardet")
    parser.add_argument("--wrong", action="store_true", help="list the wrong files per reader")
    parser.add_argument("--expect-wrong", metavar="NAMES",
                        help="comma-separated files that the first reader gets wrong; exit 1 "
                             "when it gets others wrong, or these right")
    options = parser.parse_args()
    options.prefix = shlex.split(options.prefix)
    options.readers = set(options.readers.split(","))
    if options.readers - {"auto", "win", "uchardet"}:
        parser.error("--readers takes auto, win and uchardet")
    if options.readers & {"auto", "win"} and not (options.cli and options.module):
        parser.error("the auto and win readers need --cli and --module")
    if options.cli and os.sep in options.cli:
        options.cli = os.path.abspath(options.cli)  # the CLI runs in the corpus folder
    corpus = Corpus(options.corpus)
    readers, seconds = measure(options, corpus)
    report(options, corpus, readers, seconds)
    if options.expect_wrong is not None:
        reader = "auto" if "auto" in readers else next(iter(readers))
        wrong = {n for n in corpus.files if differing(corpus.expected[n], readers[reader][n])}
        expected = {n for n in options.expect_wrong.split(",") if n}
        if wrong != expected:
            sys.exit(f"charset_accuracy: wrong files {sorted(wrong)}, expected {sorted(expected)}")


if __name__ == "__main__":
    main()
