#!/usr/bin/env python3
"""Writes the sample files of linepeek into samples/files (or --out DIR).

Every answer the module can give shows up in at least one file: each encoding name, each type,
line ends, blank lines, a folder. The texts are our own. Output is byte-for-byte deterministic;
--check compares an existing folder with what would be written and exits 1 on any difference.
--texts DIR writes the samples that hold text beside their sources in UTF-8, as
bench/charset_accuracy.py reads a corpus.
Python 3 standard library only.
"""

import argparse
import os
import sys

UTF8_BOM = b"\xef\xbb\xbf"

SHOPPING = "Shopping list\nbread\nmilk\napples\n"
RUSSIAN = (
    "Список дел на неделю\n"
    "Позвонить маме в субботу\n"
    "Купить хлеб, молоко и яблоки\n"
    "Починить велосипед до лета\n"
    "Прочитать новую книгу\n"
)
DOS_SCREEN = (
    "╔══════════════════════╗\n"
    "║  Disk Check  v1.0    ║\n"
    "╟──────────────────────╢\n"
    "║ Drive C: ░░░░░░░░▓▓  ║\n"
    "║ Status:  OK          ║\n"
    "╚══════════════════════╝\n"
)
# A week's plan in nine languages, for "Charset"; each is written in legacy code pages below.
PLANS = {
    "greek": "Σημειώσεις της εβδομάδας\n"
             "Τη Δευτέρα πηγαίνουμε στην αγορά για φρούτα και λαχανικά.\n"
             "Την Τετάρτη διαβάζουμε ένα καινούργιο βιβλίο στη βιβλιοθήκη.\n"
             "Το Σάββατο μαγειρεύουμε φασολάδα για όλη την οικογένεια.\n",
    "chinese_simplified": "本周计划\n星期一去市场买水果和蔬菜。\n星期三在图书馆读一本新书。\n"
                          "星期六给全家人做一顿晚饭。\n",
    "chinese_traditional": "本週計劃\n星期一去市場買水果和蔬菜。\n星期三在圖書館讀一本新書。\n"
                           "星期六給全家人做一頓晚飯。\n",
    "japanese": "今週の予定\n月曜日は市場で果物と野菜を買います。\n"
                "水曜日は図書館で新しい本を読みます。\n土曜日は家族のために夕食を作ります。\n",
    "korean": "이번 주 계획\n월요일에는 시장에서 과일과 채소를 삽니다.\n"
              "수요일에는 도서관에서 새 책을 읽습니다.\n토요일에는 가족을 위해 저녁을 만듭니다.\n",
    "polish": "Plan na ten tydzień\n"
              "W poniedziałek kupujemy owoce i warzywa na targu.\n"
              "W środę czytamy nową książkę w bibliotece.\n"
              "W sobotę gotujemy żurek dla całej rodziny.\n",
    "german": "Pläne für diese Woche\n"
              "Am Montag kaufen wir Obst und Gemüse auf dem Markt.\n"
              "Am Mittwoch lesen wir ein neues Buch in der Bücherei.\n"
              "Am Samstag kochen wir Suppe für die ganze Familie – mit Brötchen.\n",
    "hebrew": "תוכנית לשבוע\n"
              "ביום שני קונים פירות וירקות בשוק.\n"
              "ביום רביעי קוראים ספר חדש בספרייה.\n"
              "בשבת מבשלים מרק לכל המשפחה.\n",
    "thai": "แผนสำหรับสัปดาห์นี้\n"
            "วันจันทร์ไปตลาดซื้อผลไม้และผัก\n"
            "วันพุธอ่านหนังสือเล่มใหม่ที่ห้องสมุด\n"
            "วันเสาร์ทำอาหารเย็นให้ทั้งครอบครัว\n",
}
# (file name, language, Python codec) of the texts above, and Russian from RUSSIAN.
CODE_PAGE_TEXTS = [
    ("greek_1253.txt", "greek", "cp1253"),
    ("chinese_gbk.txt", "chinese_simplified", "gbk"),
    ("chinese_big5.txt", "chinese_traditional", "big5"),
    ("japanese_shift_jis.txt", "japanese", "shift_jis"),
    ("japanese_euc_jp.txt", "japanese", "euc_jp"),
    ("korean_euc_kr.txt", "korean", "euc_kr"),
    ("russian_koi8_r.txt", "russian", "koi8_r"),
    ("polish_1250.txt", "polish", "cp1250"),
    ("polish_iso8859_2.txt", "polish", "iso8859_2"),
    ("german_1252.txt", "german", "cp1252"),
    ("hebrew_1255.txt", "hebrew", "cp1255"),
    ("thai_tis620.txt", "thai", "tis_620"),
]
WORDS = ["apple", "banana", "cherry", "date", "elder", "fig", "grape", "hazel", "iris",
         "juniper", "kiwi", "lemon"]


def samples():
    """(relative path, bytes) for every sample, in a fixed order."""
    yield "utf8_bom.txt", UTF8_BOM + (
        "Crème brûlée, page 1\n"
        "Whisk the yolks with sugar until pale.\n"
        "Warm the cream; do not let it boil.\n"
        "Bake in a water bath at 150 °C.\n"
        "Chill, then caramelise the top.\n").encode("utf-8")
    yield "utf8_no_bom.txt", (
        "Tea notes 茶の記録\n"
        "緑茶 green tea, 烏龍 oolong\n"
        "Cafe\u0301 with a combining accent\n"
        "Ελληνικά and русский on one line\n"
        "End of notes ✓\n").encode("utf-8")
    yield "utf16le_bom.txt", b"\xff\xfe" + ("Grüße aus Köln\n" + SHOPPING).encode("utf-16-le")
    yield "utf16le_no_bom.txt", SHOPPING.encode("utf-16-le")
    yield "utf16be_bom.txt", b"\xfe\xff" + ("Grüße aus Köln\n" + SHOPPING).encode("utf-16-be")
    yield "utf16be_no_bom.txt", SHOPPING.encode("utf-16-be")
    yield "ansi_1252.txt", (
        "Café menu – today\n"
        "Crêpe à la crème: 4,50 €\n"
        "“Daily soup” – ask the waiter\n"
        "Pâté, baguette, thé\n").encode("cp1252")
    yield "russian_1251.txt", RUSSIAN.encode("cp1251")
    yield "russian_866.txt", RUSSIAN.encode("cp866")
    yield "dos_box_437.txt", DOS_SCREEN.encode("cp437")
    yield "document.rtf", (
        b"{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times New Roman;}}\n"
        b"\\f0\\fs24 Meeting notes\\par\n"
        b"The budget is approved.\\par\n"
        b"}\n")
    # One zero byte only, so the UTF-16 guess cannot take it; ESC and SUB make it binary.
    yield "binary.bin", (
        b"\x89LPB\r\n\x1a\x00\x01\x02\x03\x04\x05\x06\x07"
        b"data\tblock\x1b[31m red?\n" + bytes(range(0xF0, 0x100)))
    yield "empty.txt", b""
    yield "crlf_line_ends.txt", (
        b"First line\r\n"
        b"Second line, with a comma and \"quotes\"\r\n"
        b"Third line\r\n")
    yield "cr_line_ends.txt", b"Old Mac text\rends its lines\rwith CR alone\r"
    yield "mixed_line_ends.txt", (
        b"Written on Windows\r\n"
        b"edited on Linux\n"
        b"and on Windows again\r\n")
    yield "no_final_newline.txt", b"The last line has no line feed\nand ends right here"
    yield "blank_lines.txt", b"Title\n\n   \nAfter two blank lines\n\t\nEnd\n"
    yield "twelve_lines.txt", "".join(
        f"Line {n}: {word}\n" for n, word in enumerate(WORDS, start=1)).encode("ascii")
    yield "unicode_name_名前.txt", b"A file with a non-ASCII name\n"
    yield "folder/inside_folder.txt", b"This file sits inside a folder.\n"
    for name, language, codec in CODE_PAGE_TEXTS:
        text = RUSSIAN if language == "russian" else PLANS[language]
        yield "charsets/" + name, text.encode(codec)


def texts():
    """(relative path, bytes, source text) for every sample that holds text."""
    for name, data in samples():
        if name == "binary.bin":
            continue
        if name.startswith("charsets/"):
            entry = next(e for e in CODE_PAGE_TEXTS if e[0] == name[len("charsets/"):])
            text = RUSSIAN if entry[1] == "russian" else PLANS[entry[1]]
        elif data.startswith((b"\xff\xfe", b"\xfe\xff")):
            text = data[2:].decode("utf-16-le" if data[0] == 0xFF else "utf-16-be")
        elif name in ("utf16le_no_bom.txt", "utf16be_no_bom.txt"):
            text = data.decode("utf-16-le" if "le" in name else "utf-16-be")
        else:
            codec = {"ansi_1252.txt": "cp1252", "russian_1251.txt": "cp1251",
                     "russian_866.txt": "cp866", "dos_box_437.txt": "cp437"}.get(name, "utf-8")
            text = data.decode(codec).lstrip("\ufeff")
        yield name, data, text


def write_texts(folder):
    """Each text sample as a flat .txt file, and its source as UTF-8 in folder/source, as
    bench/charset_accuracy.py reads a corpus."""
    os.makedirs(os.path.join(folder, "source"), exist_ok=True)
    for name, data, text in texts():
        flat = name.replace("/", "_") + ("" if name.endswith(".txt") else ".txt")
        with open(os.path.join(folder, flat), "wb") as f:
            f.write(data)
        with open(os.path.join(folder, "source", flat), "wb") as f:
            f.write(text.encode("utf-8"))


def existing_files(root):
    found = set()
    for folder, _, files in os.walk(root):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "files"), help="target folder")
    parser.add_argument("--check", action="store_true",
                        help="compare the folder with the samples instead of writing")
    parser.add_argument("--texts", metavar="DIR",
                        help="write the text samples with their sources into DIR instead")
    args = parser.parse_args()
    if args.texts:
        write_texts(args.texts)
        return 0

    wanted = dict(samples())
    if args.check:
        problems = []
        for name, data in wanted.items():
            path = os.path.join(args.out, name)
            if not os.path.isfile(path):
                problems.append(f"missing: {name}")
            else:
                with open(path, "rb") as f:
                    if f.read() != data:
                        problems.append(f"differs: {name}")
        if os.path.isdir(args.out):
            problems += [f"not a sample: {name}" for name in
                         sorted(existing_files(args.out) - set(wanted))]
        for problem in problems:
            print(problem, file=sys.stderr)
        return 1 if problems else 0

    for name, data in wanted.items():
        path = os.path.join(args.out, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
