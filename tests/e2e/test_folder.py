"""End to end under Wine: the target folder (checks, confirmation, creation)
and the whole add, from the command line to the registry and the disk."""

import os
import unittest

import wine
from wine import HKCU_ENV, HKLM_ENV, REG_EXPAND_SZ, REG_MULTI_SZ, REG_SZ, crlf, utf16

P = None


def setUpModule():
    global P
    P = wine.Prefix()
    P.remove_drive("Q")
    P.add_drive("D")  # a new drive's current folder is its root


def tearDownModule():
    P.close()


QUESTION = b"Confirmez l'ajout et la cr\x82ation du dossier [O/N] ?"
BIN = (REG_EXPAND_SZ, b"C:\\bin\0")
MACHINE = (REG_EXPAND_SZ, b"%SystemRoot%\\system32;%SystemRoot%\0")
NO_DRIVE = b"L'unit\x82 n'est pas sp\x82cifi\x82e."
NO_NAME = b"Le dossier n'est pas sp\x82cifi\x82."
BAD_CHAR = b"Le dossier %s contient un caract\x8are invalide."
CREATED = crlf(b"La variable Path (inexistante) a \x82t\x82 cr\x82\x82e.", b"")
RECOMMENDED = crlf(b"La variable Path poss\x8ade le type REG_SZ (r\x82paration recommand\x82e).",
                   b"")
REPAIRED = crlf(b"La variable Path poss\x8ade le type REG_SZ (r\x82paration en cours).",
                b"Sauvegarde de la variable REG_SZ effectu\x82e.",
                b"Modification du type REG_SZ en REG_EXPAND_SZ effectu\x82e.",
                b"Suppression de la sauvegarde REG_SZ effectu\x82e.", b"")


def shown(folder):
    return crlf(b" ", folder) + QUESTION


def confirmed(folder, found=False):
    """What the folder steps print once o is typed: the folder made or found."""
    done = b"existe d\x82j\x85 sur le lecteur." if found else b"a \x82t\x82 cr\x82\x82."
    return shown(folder) + b"o" + crlf(b"", b"", b"Le chemin " + folder + b" " + done, b"")


def display(old, new=b""):
    lines = [b"Variable Path :", old, b""] if old else []
    if new:
        lines += [b"Nouvelle variable Path :", new, b""]
    listed = new or old
    if b";" in listed:
        lines += [b"Variable Path (d\x82compos\x82e) :"]
        lines += [wine.oem(e.decode("cp1252")) for e in listed.split(b";") if e]
    return crlf(*lines)


def program_errors(result):
    # Wine's own notices (such as the unmapped working folder) are not the program's.
    return [line for line in result.err.splitlines() if not line.startswith(b"wine:")]


class FolderTest(unittest.TestCase):
    def setUp(self):
        self.before = self.on_disk()

    def tearDown(self):
        for path in self.made():
            P.remove_tree(path)

    def on_disk(self):
        return {d + name for d in ("C:\\", "D:\\") for name in os.listdir(P.unix_path(d))}

    def made(self):
        return self.on_disk() - self.before

    def set_paths(self, user, machine=MACHINE):
        commands = [("del", HKCU_ENV, "Path"), ("del", HKCU_ENV, "Path_wayFOLD_BACKUP")]
        if user:
            commands.append(("set", HKCU_ENV, "Path") + user)
        P.reg(*commands, ("set", HKLM_ENV, "Path") + machine)

    def paths(self):
        answers = P.reg(("get", HKCU_ENV, "Path"), ("get", HKLM_ENV, "Path"))
        return [None if a == "MISSING" else (int(a.split()[0]), bytes.fromhex(a.split()[1]))
                for a in answers]

    def check(self, result, out, status):
        self.assertEqual((result.out, result.status), (out, status))
        self.assertEqual(program_errors(result), [])

    def test_refused_changes_nothing(self):
        # Every row is refused before anything on disk or in the registry is
        # touched (the drive checks and declining are in test_front).
        rows = [
            (b"/K", crlf(NO_DRIVE)),
            (b"C:\\", crlf(NO_NAME)),
            (b"C:", crlf(NO_NAME)),
            (b"C:\\outils\\a?b", crlf(BAD_CHAR.replace(b"%s", b"outils\\a?b"))),
            # A ';' would split the Path entry: refused wherever it stands.
            (b"C:\\a;b", crlf(BAD_CHAR.replace(b"%s", b"a;b"))),
            (b"D:;outils", crlf(BAD_CHAR.replace(b"%s", b";outils"))),
            (b"D:?outils", crlf(BAD_CHAR.replace(b"%s", b"?outils"))),
            (b"C:\\a;b /S", b""),
            (b"Q:\\outils /S", b""),
        ] + [(b"C:\\a" + bytes([c]) + b"b", crlf(BAD_CHAR.replace(b"%s", b"a" + bytes([c]) + b"b")))
             for c in b"*/:<>|"]
        for args, out in rows:
            with self.subTest(args=args):
                self.set_paths(BIN)
                self.check(P.run(args), out, 1)
                self.assertEqual(self.paths(), [BIN, MACHINE])
                self.assertEqual(self.made(), set())

    def test_silent_add(self):
        # folder on the command line, folder that must exist afterwards, Path text afterwards
        rows = [
            (b"C:\\outils", "C:\\outils", "C:\\bin;C:\\outils\\"),
            (b"c:\\n1\\n2\\n3\\", "C:\\n1\\n2\\n3", "C:\\bin;c:\\n1\\n2\\n3\\"),
            # Both backslashes kept in the entry, and the folder truly made.
            (b"C:\\dbl\\\\", "C:\\dbl", "C:\\bin;C:\\dbl\\\\"),
            # Drive-relative: the entry names the folder made, not one relative
            # to whatever folder a later process is in.
            (b"D:rel", "D:\\rel", "C:\\bin;D:\\rel\\"),
            # The ANSI code page's text, which Windows keeps as Unicode.
            (b"C:\\Donn\xe9es", "C:\\Données", "C:\\bin;C:\\Données\\"),
        ]
        for args, folder, text in rows:
            with self.subTest(args=args):
                if not folder.isascii():
                    P.need_french_file_names()
                self.set_paths(BIN)
                self.check(P.run(args + b" /S"), b"", 0)
                self.assertTrue(P.is_dir(folder))
                self.assertEqual(P.get_value(HKCU_ENV, "Path", wide=True),
                                 (REG_EXPAND_SZ, utf16(text + "\0")))
                self.assertEqual(self.paths()[1], MACHINE)

    def test_console_add(self):
        # args, keys typed, folder (ending in "\\") or file made beforehand, HKCU Path
        # before, output, exit status, HKCU and HKLM Path afterwards
        rows = [
            # x, Y and Enter do not answer; o does.
            (b"C:\\outils", b"xY\ro", None, BIN,
             confirmed(b"C:\\outils\\") + display(b"C:\\bin", b"C:\\bin;C:\\outils\\"), 0,
             (REG_EXPAND_SZ, b"C:\\bin;C:\\outils\\\0"), MACHINE),
            (b"C:\\deja", b"o", "C:\\deja\\", BIN,
             confirmed(b"C:\\deja\\", found=True) + display(b"C:\\bin", b"C:\\bin;C:\\deja\\"), 0,
             (REG_EXPAND_SZ, b"C:\\bin;C:\\deja\\\0"), MACHINE),
            (b"C:\\fic\\sous", b"o", "C:\\fic", BIN,
             shown(b"C:\\fic\\sous\\")
             + crlf(b"o", b"Erreur dans la cr\x82ation du dossier C:\\fic\\sous\\"), 1,
             BIN, MACHINE),
            (b"C:\\dbl\\\\", b"o", None, BIN,
             confirmed(b"C:\\dbl\\\\") + display(b"C:\\bin", b"C:\\bin;C:\\dbl\\\\"), 0,
             (REG_EXPAND_SZ, b"C:\\bin;C:\\dbl\\\\\0"), MACHINE),
            (b"C:\\neuf", b"o", None, None,
             confirmed(b"C:\\neuf\\") + CREATED + display(b"", b"C:\\neuf\\"), 0,
             (REG_EXPAND_SZ, b"C:\\neuf\\\0"), MACHINE),
            (b"C:\\sz", b"o", None, (REG_SZ, b"C:\\bin\0"),
             confirmed(b"C:\\sz\\") + RECOMMENDED + display(b"C:\\bin", b"C:\\bin;C:\\sz\\"), 0,
             (REG_SZ, b"C:\\bin;C:\\sz\\\0"), MACHINE),
            (b"C:\\sz /R", b"o", None, (REG_SZ, b"C:\\bin\0"),
             confirmed(b"C:\\sz\\") + REPAIRED + display(b"C:\\bin", b"C:\\bin;C:\\sz\\"), 0,
             (REG_EXPAND_SZ, b"C:\\bin;C:\\sz\\\0"), MACHINE),
            (b"C:\\Outils", b"o", None, (REG_EXPAND_SZ, b"c:\\OUTILS\\\\;C:\\bin\0"),
             confirmed(b"C:\\Outils\\")
             + crlf(b"Le chemin C:\\Outils\\ existe d\x82j\x85 dans la variable Path.", b"")
             + display(b"c:\\OUTILS\\\\;C:\\bin"), 0,
             (REG_EXPAND_SZ, b"c:\\OUTILS\\\\;C:\\bin\0"), MACHINE),
            (b"C:\\multi", b"o", None, (REG_MULTI_SZ, b"C:\\bin\0\0"),
             confirmed(b"C:\\multi\\"), 1, (REG_MULTI_SZ, b"C:\\bin\0\0"), MACHINE),
            (b"C:\\tous /K", b"o", None, BIN,
             confirmed(b"C:\\tous\\") + display(b"%SystemRoot%\\system32;%SystemRoot%",
                                                b"%SystemRoot%\\system32;%SystemRoot%;C:\\tous\\"),
             0, BIN, (REG_EXPAND_SZ, b"%SystemRoot%\\system32;%SystemRoot%;C:\\tous\\\0")),
            # Accented: the whole values as stored, messages and entries in code page 850;
            # upper-casing follows the locale, so DONNÉES is the folder already there.
            (b"C:\\Donn\xe9es", b"o", None, BIN,
             confirmed(b"C:\\Donn\x82es\\") + display(b"C:\\bin", b"C:\\bin;C:\\Donn\xe9es\\"), 0,
             (REG_EXPAND_SZ, b"C:\\bin;C:\\Donn\xe9es\\\0"), MACHINE),
            (b"C:\\Donn\xe9es", b"o", None, (REG_EXPAND_SZ, b"C:\\DONN\xc9ES\0"),
             confirmed(b"C:\\Donn\x82es\\")
             + crlf(b"Le chemin C:\\Donn\x82es\\ existe d\x82j\x85 dans la variable Path.", b"")
             + display(b"C:\\DONN\xc9ES"), 0, (REG_EXPAND_SZ, b"C:\\DONN\xc9ES\0"), MACHINE),
        ]
        for args, keys, there, user, out, status, user_after, machine_after in rows:
            with self.subTest(args=args, user=user):
                if not args.isascii():
                    P.need_french_file_names()
                self.set_paths(user)
                if there and there.endswith("\\"):
                    P.make_dirs(there)
                elif there:
                    open(P.unix_path(there), "wb").close()
                self.check(P.run_console(args, keys=keys), out, status)
                self.assertEqual(self.paths(), [user_after, machine_after])
                self.assertEqual(P.values(HKCU_ENV).get(b"Path_wayFOLD_BACKUP"), None)
                folder = args.split(b" ")[0].decode("cp1252")
                # The folder is there exactly when the run said it made or found it.
                self.assertEqual(P.is_dir(folder), b"Le chemin " in out)
                self.tearDown()
                self.setUp()


if __name__ == "__main__":
    unittest.main()
