#!/usr/bin/env python3
"""Inspects the resources of a built pelko.exe with wrestool (icoutils),
independently of Windows and Wine.

Checks dialog 102, icon group 128, manifest 1, the string table of the
catalogue (ids 1 to 420) and the language of every resource.

    check_resources.py <pelko.exe> <res/strings.rc>

Exit status 0 when everything holds, 1 on a failed check, 77 when the
executable does not exist (the test is then reported as skipped).
"""
import os
import re
import struct
import subprocess
import sys

LANG_GERMAN = 0x0407
LANG_ENGLISH_US = 0x0409
RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 3, 5, 6, 14, 24

NB = "\u00a0"

# Slot 0 (English) and slot 1 (German) of each of the 21 groups.
ENGLISH = [
    "% copied",
    "A previous installation probably has saved favourites, recent destinations and / or "
    "planned routes. \nWould you like to keep these?",
    "New software is available for this device. Would you like to install the new version now?",
    "The same or an older software version is already installed. "
    "Would you still like to continue?",
    "Please wait until the files have been deleted. This can take a few minutes.",
    "Cancel",
    "Copying finished successfully.",
    "There is not enough free storage capacity on the selected drive.",
    "There is not enough free storage capacity on the selected drive.",
    "An error occurred.",
    "ActiveSync\u00ae is not installed. Please install ActiveSync\u00ae first.",
    "No navigation device found.",
    "Cannot copy the %s file. \nDo you still want to continue with the installation?",
    "Your memory card has insufficient space for the chosen map. However, the '%s' map has "
    "been found on the memory card. \nWould you like to delete '%s' to free up some space on "
    "your card?",
    "Please wait until the changes have been applied.",
    "Please select the drive with the 'Quorvel" + NB + "6' storage card.",
    "Language selection",
    "Select the destination folder",
    "Deleting:",
    "Copying:",
    "Insert the memory card into your device and run the CAB file on the memory card.",
]
GERMAN = [
    "% kopiert",
    "Von einer vorherigen Installation sind m\u00f6glicherweise noch Favoriten, letzte Ziele "
    "und/oder geplante Routen gespeichert. \nM\u00f6chten Sie diese beibehalten?",
    "Es ist eine neuere Software f\u00fcr dieses Ger\u00e4t verf\u00fcgbar. M\u00f6chten Sie "
    "neue Version jetzt installieren?",
    "Die gleiche oder eine \u00e4ltere Softwareversion ist bereits installiert. M\u00f6chten "
    "Sie trotzdem fortfahren?",
    "Bitte warten Sie, bis die Dateien gel\u00f6scht sind. Dies kann einige Minuten in "
    "Anspruch nehmen.",
    "Abbrechen",
    "Der Kopiervorgang wurde erfolgreich beendet.",
    "Auf dem gew\u00e4hlten Laufwerk ist nicht gen\u00fcgend freier Speicher vorhanden.",
    "Auf dem gew\u00e4hlten Laufwerk ist nicht gen\u00fcgend freier Speicher vorhanden.",
    "Es ist ein Fehler aufgetreten.",
    "ActiveSync\u00ae ist nicht installiert. Bitte installieren Sie zuerst ActiveSync\u00ae.",
    "Es wurde kein Navigationsger\u00e4t erkannt.",
    "Die Datei %s konnte nicht kopiert werden. \nM\u00f6chten Sie die Installation trotzdem "
    "fortsetzen?",
    "Auf Ihrer Speicherkarte ist nicht gen\u00fcgend Platz f\u00fcr die gew\u00e4hlte Karte. "
    "Es wurde aber die Karte '%s' auf der Speicherkarte gefunden. \nM\u00f6chten Sie '%s' "
    "l\u00f6schen, um Speicherplatz auf Ihrer Speicherkarte freizugeben?",
    "Bitte warten Sie bis die \u00c4nderungen vorgenommen wurden.",
    "Bitte w\u00e4hlen Sie das Laufwerk aus, in dem sich Ihre 'Quorvel 6' Speicherkarte "
    "befindet.",
    "Sprachauswahl",
    "W\u00e4hlen Sie einen Zielordner aus",
    "L\u00f6sche:",
    "Kopiere:",
    "Legen Sie die Speicherkarte in Ihr Ger\u00e4t ein und f\u00fchren Sie die CAB-Datei auf "
    "der Speicherkarte aus.",
]

# Slots that hold the texts of another slot.
COPIED_SLOTS = {12: 0, 13: 0, 14: 3, 17: 5, 18: 0}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def text_id(group, slot):
    return 1 + 20 * group + slot


def list_resources(exe):
    listing = subprocess.run(["wrestool", "-l", exe], check=True, capture_output=True,
                             text=True).stdout
    resources = []
    for line in listing.splitlines():
        m = re.match(r"--type=(\S+) --name=(\S+) --language=(\d+)", line)
        if not m:
            continue
        kind, name, lang = m.groups()
        resources.append((int(kind) if kind.isdigit() else kind,
                          int(name) if name.isdigit() else name, int(lang)))
    return resources


def extract(exe, kind, name, lang):
    return subprocess.run(["wrestool", "-x", "--raw", "-t", str(kind), "-n", str(name),
                           "-L", str(lang), exe], check=True, capture_output=True).stdout


def decode_string_block(block, data):
    """The 16 texts of string block `block`, as {id: text} for the non-empty ones."""
    texts = {}
    pos = 0
    for index in range(16):
        if not check(pos + 2 <= len(data), "string block %d is cut short" % block):
            break
        (length,) = struct.unpack_from("<H", data, pos)
        pos += 2
        chars = data[pos:pos + 2 * length]
        check(len(chars) == 2 * length, "string block %d: text %d is cut short" % (block, index))
        pos += 2 * length
        if length:
            texts[16 * (block - 1) + index] = chars.decode("utf-16-le")
    return texts


def parse_rc_strings(path):
    """The string table as written in the resource script, escapes decoded."""
    table = {}
    escapes = {"\\\\": "\\", "\\n": "\n", '""': '"'}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            m = re.match(r'\s*(\d+)\s*(?:/\*.*?\*/)?\s*"(.*)"\s*$', line)
            if not m:
                continue
            raw = m.group(2)
            text = ""
            pos = 0
            while pos < len(raw):
                pair = raw[pos:pos + 2]
                if pair in escapes:
                    text += escapes[pair]
                    pos += 2
                else:
                    check(raw[pos] not in '\\"', "%s:%d: unexpected escape" % (path, number))
                    text += raw[pos]
                    pos += 1
            table[int(m.group(1))] = text
    return table


def check_strings(exe, resources):
    strings = {}
    for kind, name, lang in resources:
        if kind == RT_STRING:
            strings.update(decode_string_block(name, extract(exe, kind, name, lang)))
    catalogue = {i: t for i, t in strings.items() if i < 61440}
    missing = sorted(set(range(1, 421)) - set(catalogue))
    extra = sorted(set(catalogue) - set(range(1, 421)))
    check(not missing and not extra,
          "the catalogue ids are not exactly 1 to 420: %d missing (first %s), extra %s" %
          (len(missing), missing[:5], extra[:5]))

    for group in range(21):
        check(catalogue.get(text_id(group, 0)) == ENGLISH[group],
              "id %d is not the English text" % text_id(group, 0))
        check(catalogue.get(text_id(group, 1)) == GERMAN[group],
              "id %d is not the German text" % text_id(group, 1))
        for slot, source in COPIED_SLOTS.items():
            if (group, slot) == (15, 13):
                continue
            check(catalogue.get(text_id(group, slot)) == catalogue.get(text_id(group, source)),
                  "id %d differs from slot %d" % (text_id(group, slot), source))
        for slot in range(20):
            text = catalogue.get(text_id(group, slot), "")
            check("\r" not in text, "id %d holds a carriage return" % text_id(group, slot))
            check(("Quorvel" + NB + "6" in text) == (group == 15 and slot != 1),
                  "id %d: no-break space before 6 wrong" % text_id(group, slot))
            check(text.replace("%s", "").count("%") == (1 if group == 0 else 0),
                  "id %d: stray percent sign" % text_id(group, slot))

    for slot in range(20):
        check(catalogue.get(text_id(8, slot)) == catalogue.get(text_id(7, slot)),
              "group 8 differs from group 7 in slot %d" % slot)

    special = {
        80: "A szoftverhez rendelkez\u00e9sre \u00e1ll egy \u00fajabb t\u00e9rk\u00e9p. "
            "\u00c1t k\u00edv\u00e1nja venni most ezt a t\u00e9rk\u00e9pet?",
        260: ENGLISH[12],
        280: ENGLISH[13],
        314: "Please select the drive where your 'Quorvel" + NB + "6' storage card is located.",
        351: "Velg en annen m\u00e5lmappe",
    }
    for cell, text in special.items():
        check(catalogue.get(cell) == text, "id %d is not %r" % (cell, text))
    check("Quorvel 6" in catalogue.get(302, ""), "id 302 lacks its ordinary space")
    check("kedvenc" not in catalogue.get(40, ""), "id 40 names favourites")

    shown = "\\'%s\\'"
    check(catalogue.get(267, "").count("\\'%s\\") == 2 and shown not in catalogue.get(267, ""),
          "id 267: each %s must be framed by \\' and a lone \\")
    check(catalogue.get(272, "").count("%s") == 1 and shown in catalogue.get(272, ""),
          "id 272: one %s framed by \\' and \\'")
    for cell in (276, 277):
        check(catalogue.get(cell, "").count(shown) == 2, "id %d: %s not framed by \\'" %
              (cell, "%s"))
    for cell, verb in ((403, "enregistr"), (411, "overf\u00f8r"), (417, "wyeksportuj")):
        check(verb in catalogue.get(cell, ""), "id %d does not say %r" % (cell, verb))
    return catalogue


def check_against_script(catalogue, script):
    written = parse_rc_strings(script)
    check(sorted(written) == list(range(1, 421)), "%s does not define ids 1 to 420" % script)
    for i in range(1, 421):
        check(catalogue.get(i) == written.get(i),
              "id %d differs from %s: %r != %r" % (i, script, catalogue.get(i), written.get(i)))


def check_dialog(data):
    if not check(len(data) >= 26, "dialog 102 is too short"):
        return
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    check((version, signature) == (1, 0xFFFF), "dialog 102 is not a DIALOGEX")
    check(style == 0x90C800C8, "dialog 102 style %#x" % style)
    check(ex_style == 0x00040000, "dialog 102 extended style %#x" % ex_style)
    check(help_id == 0, "dialog 102 help id %d" % help_id)
    check((x, y, cx, cy) == (0, 0, 320, 63), "dialog 102 rectangle %s" % ((x, y, cx, cy),))
    check(count == 2, "dialog 102 has %d controls" % count)
    pos = 26

    def sz_or_ord():
        nonlocal pos
        (first,) = struct.unpack_from("<H", data, pos)
        if first == 0xFFFF:
            (value,) = struct.unpack_from("<H", data, pos + 2)
            pos += 4
            return value
        end = pos
        while struct.unpack_from("<H", data, end)[0]:
            end += 2
        value = data[pos:end].decode("utf-16-le")
        pos = end + 2
        return value

    check(sz_or_ord() == "", "dialog 102 has a menu")
    check(sz_or_ord() == "", "dialog 102 has a window class")
    check(sz_or_ord() == "", "dialog 102 has a title")
    point, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
    pos += 6
    check((point, weight, italic, charset) == (8, 0, 0, 1),
          "dialog 102 font %s" % ((point, weight, italic, charset),))
    check(sz_or_ord() == "MS Shell Dlg", "dialog 102 font face")
    expected = [
        (1001, 0x0082, 0x50020001, 0x00020000, (7, 7, 306, 27)),
        (1000, "msctls_progress32", 0x50800001, 0, (7, 39, 306, 18)),
    ]
    for control_id, cls, cstyle, cex, rect in expected[:count]:
        pos = (pos + 3) & ~3
        help_c, ex_c, style_c, cx_, cy_, cw, ch, id_c = struct.unpack_from(
            "<IIIhhhhI", data, pos)
        pos += 24
        got_class = sz_or_ord()
        got_text = sz_or_ord()
        (extra,) = struct.unpack_from("<H", data, pos)
        pos += 2 + extra
        # Class names compare without case (the resource compiler may upper-case them);
        # the static class must be the predefined ordinal.
        if isinstance(got_class, str):
            got_class = got_class.lower()
        check((id_c, got_class, style_c, ex_c, (cx_, cy_, cw, ch), got_text, help_c) ==
              (control_id, cls, cstyle, cex, rect, "", 0),
              "dialog 102 control %d: %s" % (control_id, (id_c, got_class, hex(style_c),
                                                          hex(ex_c), (cx_, cy_, cw, ch),
                                                          got_text)))


def check_icons(exe, data, resources):
    if not check(len(data) >= 6, "icon group 128 is too short"):
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check((reserved, kind, count) == (0, 1, 3), "icon group 128 header %s" %
          ((reserved, kind, count),))
    icons = {name: lang for k, name, lang in resources if k == RT_ICON}
    sizes = []
    for i in range(count):
        width, height, colors, _, planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", data, 6 + 14 * i)
        sizes.append((width or 256, height or 256))
        check(bits == 32, "icon group 128 entry %d has %d bits per pixel" % (i, bits))
        if check(icon_id in icons, "icon %d of group 128 is missing" % icon_id):
            image = extract(exe, RT_ICON, icon_id, icons[icon_id])
            check(len(image) == size, "icon %d size %d != %d" % (icon_id, len(image), size))
            if image[:4] == b"\x89PNG":
                depth = image[24] * 4 if image[25] == 6 else 0
            else:
                depth = struct.unpack_from("<H", image, 14)[0]
            check(depth == 32, "icon %d image has %d bits per pixel" % (icon_id, depth))
    check(sorted(sizes) == [(16, 16), (32, 32), (48, 48)], "icon group 128 sizes %s" % sizes)


def check_manifest(exe, data):
    text = data.decode("utf-8", "replace")
    for needle in ('name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                   'publicKeyToken="6595b64144ccf1df"', 'language="*"'):
        check(needle in text, "manifest lacks %s" % needle)
    with open(exe, "rb") as f:
        head = f.read(4096)
    (pe,) = struct.unpack_from("<I", head, 0x3C)
    (machine,) = struct.unpack_from("<H", head, pe + 4)
    m = re.search(r'name="Microsoft.Windows.Common-Controls"[^>]*', text)
    arch = re.search(r'processorArchitecture="([^"]*)"', m.group(0) if m else "")
    allowed = {"x86"} if machine == 0x14C else {"x86", "amd64", "*"}
    check(arch is not None and arch.group(1) in allowed,
          "common-controls dependency processor %s" % (arch.group(1) if arch else None))


def main():
    exe, script = sys.argv[1], sys.argv[2]
    if not exe or not os.path.isfile(exe):
        print("no executable at %r" % exe)
        return 77
    resources = list_resources(exe)
    check(len(set(resources)) == len(resources), "a resource appears twice")
    for kind, name, lang in resources:
        wanted = LANG_ENGLISH_US if (kind, name) == (RT_MANIFEST, 1) else LANG_GERMAN
        check(lang == wanted, "resource type %s name %s has language %#06x" %
              (kind, name, lang))
    present = {(kind, name): lang for kind, name, lang in resources}

    catalogue = check_strings(exe, resources)
    check_against_script(catalogue, script)
    if check((RT_DIALOG, 102) in present, "dialog 102 is missing"):
        check_dialog(extract(exe, RT_DIALOG, 102, present[(RT_DIALOG, 102)]))
    if check((RT_GROUP_ICON, 128) in present, "icon group 128 is missing"):
        check_icons(exe, extract(exe, RT_GROUP_ICON, 128, present[(RT_GROUP_ICON, 128)]),
                    resources)
    if check((RT_MANIFEST, 1) in present, "manifest 1 is missing"):
        check_manifest(exe, extract(exe, RT_MANIFEST, 1, present[(RT_MANIFEST, 1)]))

    for failure in failures:
        print("FAIL:", failure)
    print("%s: %d resources, %d catalogue texts, %d failures" %
          (exe, len(resources), len(catalogue), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
