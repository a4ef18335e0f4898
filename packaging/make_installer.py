#!/usr/bin/env python3
"""Builds a Windows installer from a product file (see docs/packaging.md).

Reads and checks the product file, stages each effect's .ini file, writes the
product's part of the NSIS script (product.nsh, included by installer.nsi) and
runs makensis. The installer is written under a temporary name and renamed
only when makensis succeeded, so a failed run leaves no installer behind.

Run through scripts/package.sh, whose name starts every error line.
"""

import argparse
import configparser
import os
import re
import shutil
import subprocess
import sys
import tempfile

PROG = "package.sh"
HERE = os.path.dirname(os.path.abspath(__file__))

PRODUCT_KEYS = ("Vendor", "Product", "Version", "GUID", "Widths", "VendorVersion")
ENGINE_KEYS = {32: "Engine32", 64: "Engine64"}
EFFECT_KEYS = ("Name", "ID", "ProcessIndex", "ChannelsIn", "ChannelsOut")
GUID_PATTERN = re.compile(r"\{[0-9A-Fa-f]{8}-(?:[0-9A-Fa-f]{4}-){3}[0-9A-Fa-f]{12}\}\Z")
RESERVED_NAMES = {"CON", "PRN", "AUX", "NUL"} | {p + str(n) for p in ("COM", "LPT") for n in range(1, 10)}
# The plug-in reads its effect name into 63 characters. These limits and the
# checks below are the plug-in's installation rules (src/installation): the
# table tests/installation/installation_cases.tsv holds both to one verdict.
MAX_NAME = 63
MAX_CHANNELS = 64
MAX_PROCESS_INDEX = 2**31 - 1
# The vendor name every effect answers hosts with fills their 64-byte text.
MAX_VENDOR = 63
MAX_VENDOR_VERSION = 2**31 - 1


class ProductError(Exception):
    pass


def file_name_problem(value):
    """Why `value` cannot be a Windows file or folder name, or None."""
    if not value:
        return "is empty"
    if any(ord(c) < 0x20 or ord(c) > 0x7E for c in value):
        return "is not a valid file name: use printable ASCII characters only"
    bad = sorted(set(c for c in value if c in '<>:"/\\|?*'))
    if bad:
        return "is not a valid file name: it contains " + " ".join(bad)
    if value[-1] in ". ":
        return "is not a valid file name: it ends in a dot or a space"
    if value.split(".")[0].upper() in RESERVED_NAMES:
        return "is not a valid file name: Windows reserves it for a device"
    return None


def effect_name_problem(value):
    """Why `value` cannot name an effect (its files and what the plug-in reads), or None."""
    problem = file_name_problem(value)
    if problem is None and len(value) > MAX_NAME:
        problem = f"is longer than {MAX_NAME} characters"
    return problem


def vendor_problem(value):
    """Why `value` cannot be the vendor name hosts show, or None."""
    if not value:
        return "is empty"
    if len(value) > MAX_VENDOR:
        return f"is longer than {MAX_VENDOR} characters"
    if any(ord(c) < 0x20 or ord(c) > 0x7E for c in value):
        return "holds a character other than printable ASCII"
    if value[0] == " " or value[-1] == " ":
        return "starts or ends with a space"
    if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
        return "is in quotes, which the profile reader drops"
    return None


def parse_vendor_version(text):
    """The vendor version as a number from 0 to 2147483647, or None."""
    if re.fullmatch(r"[0-9]+", text) and int(text) <= MAX_VENDOR_VERSION:
        return int(text)
    return None


def guid_problem(value):
    if GUID_PATTERN.match(value):
        return None
    return "is not a GUID in braces like {6B656C62-7269-6467-6520-64656D6F0001}"


def count_problem(text, highest):
    """Why `text` is not a whole number from 0 to `highest`, or None."""
    if re.fullmatch(r"[0-9]+", text) and int(text) <= highest:
        return None
    return f"must be a whole number from 0 to {highest}"


def parse_id(text):
    """A number, or exactly four characters with the first in the highest byte."""
    if re.fullmatch(r"-?[0-9]+", text):
        number = int(text)
        if -(2**31) <= number < 2**32:
            return number - 2**32 if number >= 2**31 else number
    elif len(text) == 4 and all(0x20 <= ord(c) < 0x7F for c in text):
        return int.from_bytes(text.encode("ascii"), "big", signed=True)
    return None


def id_text(number):
    chars = (number & 0xFFFFFFFF).to_bytes(4, "big")
    shown = f" ('{chars.decode()}')" if all(0x20 <= c <= 0x7E for c in chars) else ""
    return f"{number}{shown}"


class Product:
    def __init__(self, path):
        self.path = path
        parser = configparser.ConfigParser(
            interpolation=None, comment_prefixes=(";", "#"), inline_comment_prefixes=(";",))
        parser.optionxform = str.lower  # keys are case-insensitive, as in the plug-in's .ini
        try:
            with open(path, encoding="utf-8") as f:
                parser.read_file(f)
        except OSError as e:
            raise ProductError(f"cannot read it: {e.strerror}")
        except UnicodeDecodeError:
            raise ProductError("is not UTF-8 text")
        except configparser.DuplicateSectionError as e:
            raise ProductError(f"line {e.lineno}: [{e.section}] appears twice")
        except configparser.DuplicateOptionError as e:
            raise ProductError(f"line {e.lineno}: [{e.section}] has {e.option} twice")
        except configparser.MissingSectionHeaderError as e:
            raise ProductError(f"line {e.lineno}: a key before the first section, such as [Product]")
        except configparser.ParsingError as e:
            raise ProductError(f"line {e.errors[0][0]}: not a section, a key=value line or a comment")
        self.parser = parser
        self.folder = os.path.dirname(os.path.abspath(path))

        self.section_names = {s.lower(): s for s in parser.sections()}
        if "product" not in self.section_names:
            raise ProductError("[Product] is missing")
        for section in parser.sections():
            if section.lower() != "product" and not section.lower().startswith("effect"):
                raise ProductError(f"[{section}] is not a known section: use [Product] and [Effect1], [Effect2], ...")

        product = self.section_names["product"]
        self.check_keys(product, PRODUCT_KEYS + tuple(ENGINE_KEYS.values()))
        self.vendor = self.file_name(product, "Vendor")
        problem = vendor_problem(self.vendor)
        if problem:
            raise ProductError(f'[{product}] Vendor "{self.vendor}" {problem}')
        raw_version = parser.get(product, "VendorVersion", fallback="").strip()
        self.vendor_version = parse_vendor_version(raw_version) if raw_version else 0
        if self.vendor_version is None:
            raise ProductError(f'[{product}] VendorVersion "{raw_version}" must be a whole number '
                               f"from 0 to {MAX_VENDOR_VERSION}")
        self.product = self.file_name(product, "Product")
        self.version = self.file_name(product, "Version")
        self.guid = self.required(product, "GUID")
        problem = guid_problem(self.guid)
        if problem:
            raise ProductError(f'[{product}] GUID "{self.guid}" {problem}')
        widths = self.required(product, "Widths")
        self.widths = sorted(set(int(w) for w in re.split(r"\s*,\s*", widths) if w in ("32", "64")))
        if not self.widths or len(re.split(r"\s*,\s*", widths)) != len(self.widths):
            raise ProductError(f'[{product}] Widths "{widths}" must be 32, 64 or 32,64')

        # Engines of widths not built are not read, so a product can carry both.
        engines = {w: parser.get(product, ENGINE_KEYS[w], fallback="").strip() for w in self.widths}
        if any(engines.values()):
            for width, engine in engines.items():
                if not engine:
                    raise ProductError(f"[{product}] {ENGINE_KEYS[width]} is missing: every width in Widths ships its engine")
        self.engines = {w: e for w, e in engines.items() if e}

        self.effects = []
        names, ids = {}, {}
        for section in parser.sections():
            if section.lower() == "product":
                continue
            self.check_keys(section, EFFECT_KEYS)
            name = self.required(section, "Name")
            problem = effect_name_problem(name)
            if problem:
                raise ProductError(f'[{section}] Name "{name}" {problem}')
            if name.lower() in names:
                raise ProductError(f'[{section}] Name "{name}" is used by [{names[name.lower()]}] too')
            names[name.lower()] = section
            raw_id = self.required(section, "ID")
            number = parse_id(raw_id)
            if number is None or number == 0:
                raise ProductError(f'[{section}] ID "{raw_id}" must be a number other than 0 or exactly four ASCII characters')
            if number in ids:
                raise ProductError(f"[{section}] ID {id_text(number)} is used by [{ids[number]}] too")
            ids[number] = section
            effect = {"Name": name, "ID": number}
            for key, highest in (("ProcessIndex", MAX_PROCESS_INDEX), ("ChannelsIn", MAX_CHANNELS),
                                 ("ChannelsOut", MAX_CHANNELS)):
                value = self.required(section, key)
                problem = count_problem(value, highest)
                if problem:
                    raise ProductError(f'[{section}] {key} "{value}" {problem}')
                effect[key] = int(value)
            self.effects.append(effect)
        if not self.effects:
            raise ProductError("no effects: add sections [Effect1], [Effect2], ...")

    def check_keys(self, section, known):
        allowed = {k.lower() for k in known}
        for key in self.parser[section]:
            if key not in allowed:
                raise ProductError(f"[{section}] key {key} is not known: use " + ", ".join(known))

    def required(self, section, key):
        value = self.parser.get(section, key, fallback="").strip()
        if not value:
            raise ProductError(f"[{section}] {key} is missing")
        return value

    def file_name(self, section, key):
        value = self.required(section, key)
        problem = file_name_problem(value)
        if problem:
            raise ProductError(f'[{section}] {key} "{value}" {problem}')
        return value

    def check_files(self, plugins):
        """Every file the installer takes must exist: the plug-in of each width and each engine."""
        for width in self.widths:
            if not os.path.isfile(plugins[width]):
                raise ProductError(
                    f"[Product] Widths includes {width}, but the {width}-bit plug-in {plugins[width]} does not exist"
                    + (" (build the windows64 preset)" if width == 64 else " (build the windows preset)"))
        for width, engine in self.engines.items():
            if not os.path.isfile(self.engine_path(width)):
                raise ProductError(f'[Product] {ENGINE_KEYS[width]} "{engine}" does not exist '
                                   f"(looked for {self.engine_path(width)})")

    def engine_path(self, width):
        return os.path.normpath(os.path.join(self.folder, self.engines[width]))

    def setup_name(self):
        return f"{self.product}-{self.version}-setup.exe"


def ini_text(product, effect):
    """The .ini file beside one installed effect, as the plug-in reads it."""
    lines = ["[KEL]", f"GUID={product.guid}", f"ChannelsIn={effect['ChannelsIn']}",
             f"ChannelsOut={effect['ChannelsOut']}", f"ID={effect['ID']}",
             f"ProcessIndex={effect['ProcessIndex']}", "", "[VST]", f"Name={effect['Name']}",
             f"Vendor={product.vendor}"]
    if product.vendor_version:
        lines.append(f"VendorVersion={product.vendor_version}")
    return "\r\n".join(lines) + "\r\n"


def nsis(text):
    """`text` as the inside of an NSIS string in double quotes."""
    return text.replace("$", "$$").replace('"', '$\\"')


def product_nsh(product, stage, setup):
    """The product's part of the installer script, included by installer.nsi."""
    out = [f'!define KEL_{key.upper()} "{nsis(value)}"' for key, value in (
        ("Vendor", product.vendor), ("Product", product.product), ("Version", product.version),
        ("GUID", product.guid))]
    out.append(f'!define KEL_OUTFILE "{setup}"')
    for width in product.widths:
        out.append(f"!define KEL_WIDTH_{width}")
        engine = product.engine_path(width) if width in product.engines else None
        if engine:
            out.append(f'!define KEL_ENGINE_{width} "{nsis(os.path.basename(engine))}"')
        # Files of one width, in the plug-in folder $PluginDir<width> and,
        # for the engine, the product's folder.
        # makensis reads source paths as they are, so every source is a file
        # of the staging folder with a plain name; /oname= gives the real one.
        source = os.path.join(stage, str(width))
        out.append(f"!macro KelInstallFiles{width}")
        out.append(f'  SetOutPath "$PluginDir{width}"')
        for number, effect in enumerate(product.effects, 1):
            name = nsis(effect["Name"])
            out.append(f'  File "/oname={name}.dll" "{source}/kelbridge.dll"')
            out.append(f'  File "/oname={name}.ini" "{source}/effect{number}.ini"')
        if engine:
            out.append(f'  SetOutPath "$EngineDir{width}"')
            out.append(f'  File "/oname={nsis(os.path.basename(engine))}" "{source}/engine.dll"')
        out.append("!macroend")
        out.append(f"!macro KelDeleteFiles{width}")
        for effect in product.effects:
            for extension in (".dll", ".ini"):
                out.append(f'  Delete "$PluginDir{width}\\{nsis(effect["Name"])}{extension}"')
        out.append("!macroend")
        if engine:
            out.append(f"!macro KelDeleteEngine{width}")
            out.append(f'  Delete "$EngineDir{width}\\{nsis(os.path.basename(engine))}"')
            out.append("!macroend")
    return "\n".join(out) + "\n"


def build(product, plugins, out_dir):
    product.check_files(plugins)
    makensis = shutil.which("makensis")
    if not makensis:
        raise ProductError("makensis is not installed (Debian package nsis)")
    os.makedirs(out_dir, exist_ok=True)
    target = os.path.join(os.path.abspath(out_dir), product.setup_name())
    partial = target + ".partial"
    with tempfile.TemporaryDirectory(prefix="kel-package.") as stage:
        setup = os.path.join(stage, "package.exe")  # makensis reads it without escapes
        for width in product.widths:
            source = os.path.join(stage, str(width))
            os.makedirs(source)
            shutil.copyfile(plugins[width], os.path.join(source, "kelbridge.dll"))
            if width in product.engines:
                shutil.copyfile(product.engine_path(width), os.path.join(source, "engine.dll"))
            for number, effect in enumerate(product.effects, 1):
                with open(os.path.join(source, f"effect{number}.ini"), "w", newline="") as f:
                    f.write(ini_text(product, effect))
        nsh = os.path.join(stage, "product.nsh")
        with open(nsh, "w") as f:
            f.write(product_nsh(product, stage, setup))
        run = subprocess.run([makensis, "-V2", "-NOCD", f"-DKEL_PRODUCT_NSH={nsh}",
                              os.path.join(HERE, "installer.nsi")],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if run.returncode != 0 or not os.path.isfile(setup):
            sys.stderr.write(run.stdout)
            raise ProductError(f"makensis failed (exit status {run.returncode}); its output is above")
        # Copied under a temporary name, then renamed: never half an installer.
        try:
            shutil.copyfile(setup, partial)
            os.replace(partial, target)
        except OSError as e:
            if os.path.exists(partial):
                os.remove(partial)
            raise ProductError(f"cannot write {target}: {e.strerror}")
    return target


def main():
    parser = argparse.ArgumentParser(prog=PROG)
    parser.add_argument("product")
    parser.add_argument("--check", action="store_true",
                        help="only check the product file's fields and print its widths")
    parser.add_argument("--bin32", default="build/windows/bin")
    parser.add_argument("--bin64", default="build/windows64/bin")
    parser.add_argument("--out", default="out/package")
    args = parser.parse_args()
    try:
        product = Product(args.product)
        if args.check:
            print(" ".join(str(w) for w in product.widths))
            return 0
        plugins = {32: os.path.abspath(os.path.join(args.bin32, "kelbridge.dll")),
                   64: os.path.abspath(os.path.join(args.bin64, "kelbridge.dll"))}
        target = build(product, plugins, args.out)
    except ProductError as e:
        print(f"{PROG}: error: {args.product}: {e}", file=sys.stderr)
        return 1
    print(f"Built {target}: {product.vendor} {product.product} {product.version}, "
          f"{len(product.effects)} effect{'' if len(product.effects) == 1 else 's'}, "
          f"{' and '.join(f'{w}-bit' for w in product.widths)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
