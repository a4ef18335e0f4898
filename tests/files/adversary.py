#!/usr/bin/env python3
"""The adversary: every plughost command that writes or deletes, run against
hostile folders, with the promises checked over the whole scratch tree and the
registry keys the run owns.

    adversary.py RUNNER BIN_FOLDER

RUNNER runs a Windows program under Wine (cmake/wine-run.sh or
wine64-run.sh); BIN_FOLDER holds plughost.exe, kelbridge.dll and
kel_demo_engine.dll. The table ROWS is data: one row is one command in one
state. After each run:
  - nothing outside the row's declared outputs changed (type, content, link
    target, read-only bit), in the whole scratch tree;
  - no temporary file of plughost is left anywhere in it;
  - the exit status is 0 exactly when every declared output is there whole;
  - a failure says so in exactly one line on stderr.
The read-only and full file systems are tmpfs mounts (remounted read-only, or
filled up), which needs root; without it those rows are skipped and named.
"""
import hashlib
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import uuid

RUNNER, BIN = sys.argv[1], sys.argv[2]
# Rows whose label holds this text, alone (KEL_ADVERSARY_ONLY="uninstall").
ONLY = os.environ.get("KEL_ADVERSARY_ONLY", "")
GUID = "{%s}" % str(uuid.uuid4()).upper()        # the demo engine, as installed
NEW_GUID = "{%s}" % str(uuid.uuid4()).upper()    # what register rows register
TEMPORARY_MARKS = ("~plughost-", ".plughost-")


def win(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + path.replace("/", "\\")


def run(program, args, stdout_path=None):
    """Runs a Windows program; its streams go to files, never pipes: the helper
    processes Wine starts with a program inherit its streams and outlive it."""
    with tempfile.TemporaryDirectory(prefix="kel-adversary-streams-") as streams:
        out_path = stdout_path or streams + "/out"
        with open(out_path, "wb") as out, open(streams + "/err", "wb") as err:
            code = subprocess.run([RUNNER, program] + args, stdout=out, stderr=err,
                                  timeout=120).returncode
        data = b"" if stdout_path else open(out_path, "rb").read()
        return code, data, open(streams + "/err", "rb").read().decode("utf-8", "replace")


def plughost(args, stdout_path=None):
    return run(os.path.join(BIN, "plughost.exe"), args, stdout_path)


def registry():
    """The lines of the keys this run owns under Software\\KEL."""
    text = run("reg", ["query", "HKLM\\Software\\KEL", "/s"])[1].decode("utf-8", "replace")
    keep, lines = False, []
    for line in text.splitlines():
        if line.startswith("HKEY_"):
            keep = GUID in line or NEW_GUID in line
        if keep and line.strip():
            lines.append(line.strip())
    return lines


def snapshot(root):
    """Every entry below root: what it is, its content or link target, its mode."""
    seen = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                seen[path] = ("link", os.readlink(path))
            elif stat.S_ISDIR(info.st_mode):
                seen[path] = ("folder", info.st_mode & 0o777)
            else:
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                seen[path] = ("file", digest, info.st_mode & 0o777)
    return seen


STREAMED = 0xFFFFFFFF  # the size a WAV streamed to a pipe gives: not known


def whole_wav(data):
    """A WAV whose sizes add up, or one streamed with its sizes unknown whose
    samples end on a whole frame."""
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        return False
    if int.from_bytes(data[4:8], "little") != STREAMED:
        return int.from_bytes(data[4:8], "little") + 8 == len(data)
    offset, frame = 12, 0
    while offset + 8 <= len(data):
        tag, size = data[offset:offset + 4], int.from_bytes(data[offset + 4:offset + 8], "little")
        if tag == b"fmt ":
            frame = int.from_bytes(data[offset + 20:offset + 22], "little")
        if tag == b"data":
            samples = len(data) - offset - 8
            return size == STREAMED and frame > 0 and samples > 0 and samples % frame == 0
        offset += 8 + size + (size & 1)
    return False


def whole(kind, data):
    """True when `data` is a complete file of `kind`."""
    if kind == "wav":
        return whole_wav(data)
    if kind == "png":
        return data[:8] == b"\x89PNG\r\n\x1a\n" and data[-8:-4] == b"IEND"
    if kind == "fxp":
        return data[:4] == b"CcnK" and int.from_bytes(data[4:8], "big") + 8 == len(data)
    if kind == "json":
        try:
            return isinstance(json.loads(data.decode("utf-8")), dict)
        except ValueError:
            return False
    if kind == "dll":
        return data[:2] == b"MZ" and data == open(os.path.join(BIN, "kelbridge.dll"), "rb").read()
    if kind == "ini":
        return b"[KEL]" in data and b"[VST]" in data
    if kind == "gone":
        return data is None
    if kind in ("text", "never"):
        return kind == "text" and bool(data)
    raise ValueError(kind)


# ---------------------------------------------------------------- the table
# Commands: arguments ({out} is the row's output path) and the kind of file
# each declared output must be.
COMMANDS = {
    "render": (["render", "{plugin}", "--generate", "sine", "--seconds", "0.1", "--out", "{out}"],
               "wav"),
    "preset save": (["preset", "save", "{plugin}", "{out}"], "fxp"),
    "analyze": (["analyze", "{plugin}", "--png", "{out}"], "png"),
    "validate --json": (["validate", "{plugin}", "--only", "open", "--json", "{out}"], "json"),
    "edit --screenshot": (["edit", "{plugin}", "--screenshot", "{out}", "--seconds", "0.5"], "png"),
}
# Commands that open windows: run only where there is a display, which the
# Wine server must have had from its start (adversary_under_display.sh).
NEEDS_DISPLAY = {"edit --screenshot"}
# States of the output: (how the scratch tree is changed, the output path,
# whether the command must succeed). `s` is the scratch root.
OUTPUT_STATES = {
    "a new file": (None, "{s}/out/new.{ext}", True),
    "a link into another folder": ("link_out", "{s}/out/link.{ext}", True),
    "a hard link into another folder": ("hardlink_out", "{s}/out/hard.{ext}", True),
    "a read-only file": ("readonly_out", "{s}/out/ro.{ext}", False),
    "a read-only file system": ("readonly_fs", "{s}/rofs/new.{ext}", False),
    "a full file system": ("full_fs", "{s}/full/new.{ext}", False),
    "a folder": ("folder_out", "{s}/out/folder.{ext}", False),
    "the plug-in in other case": (None, "{s}/fx/DEMOGAIN.DLL", False),
    "a link to the plug-in": ("link_to_plugin", "{s}/out/plugin.{ext}", False),
    "/dev/full": (None, "/dev/full", False),
    "-": (None, "-", True),
    "/dev/stdout": (None, "/dev/stdout", True),
}
ROWS = [(command, state) for command in COMMANDS for state in OUTPUT_STATES]
# Commands with outputs of their own: (arguments, the state's change, declared
# outputs with their kind, whether it must succeed, registry change expected).
INSTALL = ["install", "--plugin", "{bridge}", "--dir", "{s}/fx", "--name", "{name}", "--guid",
           GUID, "--id", "Test", "--process-index", "0"]
UNINSTALL = ["uninstall", "--dir", "{s}/fx", "--name", "DemoGain"]
OWN_ROWS = [
    ("install", "a new effect", INSTALL, None, {"name": "Fresh"}, True),
    ("install", "over a read-only earlier copy", INSTALL, "readonly_copy", {"name": "DemoGain"},
     False),
    ("install", "a folder at the DLL's name", INSTALL, "folder_dll", {"name": "Box"}, False),
    ("install", "over a copy of the other width", INSTALL, "other_width", {"name": "DemoGain"},
     False),
    ("install", "over the bridge itself in other case", INSTALL, None,
     {"name": "KELBRIDGE", "dir": "bin"}, False),
    ("install", "into a full file system", INSTALL, "full_fs", {"name": "Fresh", "dir": "full"},
     False),
    ("install", "into a read-only file system", INSTALL, "readonly_fs",
     {"name": "Fresh", "dir": "rofs"}, False),
    ("uninstall", "an installed effect", UNINSTALL, None, {}, True),
    ("uninstall", "an .ini that links into another folder", UNINSTALL, "link_ini", {}, False),
    ("uninstall", "a DLL that links into another folder", UNINSTALL, "link_dll", {}, False),
    ("uninstall", "on a read-only file system", UNINSTALL, "readonly_fs_effect", {"dir": "rofs"},
     False),
    ("register", "a new GUID", ["register", "--guid", NEW_GUID, "--engine", "{engine}"], None, {},
     True),
    ("unregister", "the GUID registered before", ["unregister", "--guid", NEW_GUID], None, {},
     True),
    ("unregister", "a GUID no longer registered", ["unregister", "--guid", NEW_GUID], None, {},
     False),
]


# ---------------------------------------------------------- the scratch tree
def mount(path, size):
    os.makedirs(path, exist_ok=True)
    return subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s" % size, "tmpfs", path],
                          capture_output=True).returncode == 0


def build(root, change):
    """The base tree (an installed DemoGain, other folders' files), then `change`."""
    fx, other, out = root + "/fx", root + "/other", root + "/out"
    for folder in (fx, other, out, root + "/bin"):
        os.makedirs(folder)
    shutil.copy(TEMPLATE + "/DemoGain.dll", fx)
    shutil.copy(TEMPLATE + "/DemoGain.ini", fx)
    shutil.copy(os.path.join(BIN, "kelbridge.dll"), root + "/bin/kelbridge.dll")
    for name in ("victim.wav", "victim.fxp", "victim.png", "victim.json", "DemoGain.ini",
                 "DemoGain.dll"):
        with open(other + "/" + name, "wb") as f:
            f.write(b"not yours: " + name.encode())
    for ext in ("wav", "fxp", "png", "json"):
        with open(out + "/ro." + ext, "wb") as f:
            f.write(b"read-only")
        os.chmod(out + "/ro." + ext, 0o444)
        os.symlink("../other/victim." + ext, out + "/link." + ext)
        os.link(other + "/victim." + ext, out + "/hard." + ext)
        os.makedirs(out + "/folder." + ext)
        os.symlink("../fx/DemoGain.dll", out + "/plugin." + ext)
    if change in ("readonly_fs", "readonly_fs_effect"):
        if not mount(root + "/rofs", "1m"):
            return False
        if change == "readonly_fs_effect":
            shutil.copy(TEMPLATE + "/DemoGain.dll", root + "/rofs")
            shutil.copy(TEMPLATE + "/DemoGain.ini", root + "/rofs")
        subprocess.run(["mount", "-o", "remount,ro", root + "/rofs"], check=True)
    if change == "full_fs":
        if not mount(root + "/full", "256k"):
            return False
        descriptor = os.open(root + "/full/filler", os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(descriptor, b"\0" * 4096) > 0:
                pass
        except OSError:
            pass
        os.close(descriptor)
    if change == "readonly_copy":
        os.chmod(fx + "/DemoGain.dll", 0o444)
    if change == "other_width":
        # The machine field of the PE header swapped: a build of the other width.
        with open(fx + "/DemoGain.dll", "r+b") as f:
            image = bytearray(f.read())
            at = int.from_bytes(image[0x3C:0x40], "little") + 4
            machine = int.from_bytes(image[at:at + 2], "little")
            image[at:at + 2] = (0x8664 if machine == 0x14C else 0x14C).to_bytes(2, "little")
            f.seek(0)
            f.write(image)
    if change == "folder_dll":
        os.makedirs(fx + "/Box.dll")
    if change == "link_ini":
        os.remove(fx + "/DemoGain.ini")
        os.symlink("../other/DemoGain.ini", fx + "/DemoGain.ini")
        shutil.copy(TEMPLATE + "/DemoGain.ini", other + "/DemoGain.ini")
    if change == "link_dll":
        os.remove(fx + "/DemoGain.dll")
        shutil.copy(TEMPLATE + "/DemoGain.dll", other + "/DemoGain.dll")
        os.symlink("../other/DemoGain.dll", fx + "/DemoGain.dll")
    return True


def unmount_all(root):
    for name in ("rofs", "full"):
        if os.path.ismount(root + "/" + name):
            subprocess.run(["umount", root + "/" + name])


def fill(arguments, values):
    result = []
    for argument in arguments:
        for key, value in values.items():
            argument = argument.replace("{%s}" % key, value)
        result.append(argument)
    return result


def judge(name, root, before, after, outputs, code, data, err, must_succeed, registry_ok=True):
    """The promises of one row; a list of what broke."""
    broken = []
    declared = {path for path, _ in outputs}
    for path in sorted(set(before) | set(after)):
        if path in declared:
            continue
        if before.get(path) != after.get(path):
            broken.append("changed outside its outputs: %s (%s -> %s)" %
                          (path, before.get(path), after.get(path)))
        if any(mark in os.path.basename(path) for mark in TEMPORARY_MARKS):
            broken.append("temporary file left: " + path)
    all_whole = registry_ok
    for path, kind in outputs:
        # An output counts only when this run made it: a file that was
        # already there as it would be written proves nothing.
        if path not in ("-stdout", "/dev/full") and before.get(path) == after.get(path):
            all_whole = False
        if path == "-stdout":
            content = data
        elif kind == "gone":
            content = None if not os.path.lexists(path) else b"still there"
        elif os.path.isfile(path) and not os.path.islink(path):
            content = open(path, "rb").read()
        else:
            content = b""
        all_whole = all_whole and whole(kind, content)
    if (code == 0) != all_whole:
        broken.append("exit status %d but outputs %s" % (code, "whole" if all_whole else
                                                         "not all there whole"))
    if must_succeed and code != 0:
        broken.append("failed where it must succeed: " + err.strip())
    if not must_succeed and code == 0:
        broken.append("succeeded where it must fail")
    if code != 0:
        lines = [line for line in err.splitlines() if line.strip()]
        if len(lines) != 1 or not lines[0].startswith("plughost: error: "):
            broken.append("not one error line on stderr: %r" % err)
    return broken


def run_row(label, arguments, change, outputs_for, must_succeed, values,
            registry_after_expected=None, stdout_to=None):
    if ONLY not in label:
        return "not chosen by KEL_ADVERSARY_ONLY"
    root = tempfile.mkdtemp(prefix="kel-adversary-")
    try:
        if not build(root, change):
            return "skipped (no tmpfs mount: not root?)"
        values = dict(values, s=root)
        outputs = outputs_for(root)
        before = snapshot(root)
        keys_before = registry() if registry_after_expected is not None else None
        windows_args = []
        for argument in fill(arguments, values):
            windows_args.append(win(argument) if argument.startswith("/") and
                                not argument.startswith("/dev/") else argument)
        stdout_file = stdout_to or root + ".stdout"
        code, _, err = plughost(windows_args, stdout_file)
        data = b""
        if not stdout_to:
            data = open(stdout_file, "rb").read()
            os.remove(stdout_file)
        registry_ok = True
        if registry_after_expected is not None:
            after_keys = registry()
            registry_ok = registry_after_expected(after_keys) and after_keys != keys_before
        after = snapshot(root)
        broken = judge(label, root, before, after, outputs, code, data, err, must_succeed,
                       registry_ok)
        return broken
    finally:
        unmount_all(root)
        subprocess.run(["chmod", "-R", "u+w", root])
        shutil.rmtree(root, ignore_errors=True)


def main():
    global TEMPLATE
    started = time.time()
    bridge = os.path.join(BIN, "kelbridge.dll")
    engine = os.path.join(BIN, "kel_demo_engine.dll")
    TEMPLATE = tempfile.mkdtemp(prefix="kel-adversary-template-")
    failures = []
    try:
        code, out, err = plughost(["register", "--guid", GUID, "--engine", win(engine)])
        assert code == 0, err
        code, out, err = plughost(["install", "--plugin", win(bridge), "--dir", win(TEMPLATE),
                                   "--name", "DemoGain", "--guid", GUID, "--id", "DGai",
                                   "--process-index", "0"])
        assert code == 0, err
        rows = 0
        for command, state in ROWS:
            arguments, kind = COMMANDS[command]
            change, out_template, must_succeed = OUTPUT_STATES[state]
            ext = kind

            def outputs_for(root, out_template=out_template, kind=kind):
                out = out_template.replace("{s}", root).replace("{ext}", kind)
                if out in ("-", "/dev/stdout"):
                    return [("-stdout", kind)]
                if out == "/dev/full":
                    return [("/dev/full", "never")]
                return [(out, kind)]

            if command in NEEDS_DISPLAY and not os.environ.get("DISPLAY"):
                report(command + " to " + state, "skipped (no display: plughost_adversary_display_test runs it)",
                       failures)
                continue
            out_path = out_template.replace("{ext}", ext)
            arguments = [a.replace("{plugin}", "{s}/fx/DemoGain.dll").replace("{out}", out_path)
                         for a in arguments]
            result = run_row(command + " to " + state, arguments, change, outputs_for,
                             must_succeed, {})
            rows += 1
            report(command + " to " + state, result, failures)
        registered = False
        for command, state, arguments, change, extra, must_succeed in OWN_ROWS:
            folder = extra.get("dir", "fx")
            name = extra.get("name", "DemoGain")
            args = [a.replace("{s}/fx", "{s}/" + folder) for a in arguments]
            values = {"bridge": "{s}/bin/kelbridge.dll", "name": name, "engine": engine}
            args = fill(args, values)

            def outputs_for(root, command=command, folder=folder, name=name):
                base = "%s/%s/%s" % (root, folder, name)
                if command == "install":
                    return [(base + ".dll", "dll"), (base + ".ini", "ini")]
                if command == "uninstall":
                    return [(base + ".dll", "gone"), (base + ".ini", "gone")]
                return []

            expected = None
            if command == "register":
                expected = lambda lines: any(NEW_GUID in line for line in lines)
            elif command == "unregister":
                expected = lambda lines: not any(NEW_GUID in line for line in lines)
            result = run_row(command + " " + state, args, change, outputs_for, must_succeed, {},
                             registry_after_expected=expected)
            rows += 1
            report(command + " " + state, result, failures)
        # A standard output that cannot be written (/dev/full) fails the command.
        for args in (["info", "{s}/fx/DemoGain.dll"], ["register", "--guid", GUID, "--engine",
                                                       engine]):
            result = run_row(args[0] + " with stdout on /dev/full", args, None,
                             lambda root: [("-stdout", "text")],
                             False, {}, stdout_to="/dev/full")
            rows += 1
            report(args[0] + " with stdout on /dev/full", result, failures)
        # Only this run's keys are its business: the engine it registered is still there.
        if not any(GUID in line for line in registry()):
            failures.append("the run's own engine key went missing")
        print("%d rows in %.0f s" % (rows, time.time() - started))
    finally:
        plughost(["unregister", "--guid", GUID])
        plughost(["unregister", "--guid", NEW_GUID])
        shutil.rmtree(TEMPLATE, ignore_errors=True)
    if failures:
        print("%d broken promises" % len(failures))
        sys.exit(1)


def report(label, result, failures):
    if isinstance(result, str):
        print("SKIP %s: %s" % (label, result))
    elif result:
        print("FAIL %s" % label)
        for line in result:
            print("     " + line)
            failures.append(label + ": " + line)
    else:
        print("ok   %s" % label)
    sys.stdout.flush()


if __name__ == "__main__":
    main()
