"""End to end under Wine: repairing the type of the Path variable (/R), and
how the add reads the value back, checked against the real registry."""

import unittest

import wine
from wine import HKCU_ENV, HKLM_ENV, REG_EXPAND_SZ, REG_MULTI_SZ, REG_SZ, crlf, utf16

P = None


def setUpModule():
    global P
    P = wine.Prefix()


def tearDownModule():
    P.close()


BACKUP = "Path_wayFOLD_BACKUP"
REPAIRED = crlf(b"La variable Path poss\x8ade le type REG_SZ (r\x82paration en cours).",
                b"Sauvegarde de la variable REG_SZ effectu\x82e.",
                b"Modification du type REG_SZ en REG_EXPAND_SZ effectu\x82e.",
                b"Suppression de la sauvegarde REG_SZ effectu\x82e.", b"")
NOT_NEEDED = crlf(b"Une r\x82paration n'est pas n\x82cessaire (REG_EXPAND_SZ d\x82tect\x82).", b"")
SHOWN = b"Variable Path :"
DECOMPOSED = b"Variable Path (d\x82compos\x82e) :"
SYSTEM = b"%SystemRoot%\\system32;%SystemRoot%"


def by_name(values):
    # Value names are case-blind (Wine's machine variable is "PATH").
    return {name.lower(): value for name, value in values.items()}


def program_errors(result):
    # Wine's own notices (such as the unmapped working folder) are not the program's.
    return [line for line in result.err.splitlines() if not line.startswith(b"wine:")]


class RepairOnly(unittest.TestCase):
    def test_repair_only(self):
        # args, key, stored Path (type, data, written wide) or None, stale backup,
        # expected output, exit status, Path afterwards (type, data) or None
        rows = [
            ("/R", HKCU_ENV, (REG_SZ, SYSTEM + b";C:\\bin\0"), None,
             REPAIRED, 0, (REG_EXPAND_SZ, SYSTEM + b";C:\\bin\0")),
            ("/R", HKCU_ENV, (REG_SZ, b"C:\\bin\0"), (REG_EXPAND_SZ, b"C:\\old\0"),
             REPAIRED, 0, (REG_EXPAND_SZ, b"C:\\bin\0")),
            ("/r /s", HKCU_ENV, (REG_SZ, b"C:\\bin\0"), None,
             b"", 0, (REG_EXPAND_SZ, b"C:\\bin\0")),
            ("/K /R", HKLM_ENV, (REG_SZ, SYSTEM + b"\0"), (REG_SZ, b"x\0"),
             REPAIRED, 0, (REG_EXPAND_SZ, SYSTEM + b"\0")),
            # Stored without its terminating zero: the last character is text, not a terminator.
            ("/R", HKCU_ENV, (REG_SZ, utf16("C:\\bin"), True), None,
             REPAIRED, 0, (REG_EXPAND_SZ, b"C:\\bin\0")),
            ("/R", HKCU_ENV, (REG_EXPAND_SZ, b"C:\\bin\0"), None,
             NOT_NEEDED + crlf(SHOWN, b"C:\\bin", b""), 0, (REG_EXPAND_SZ, b"C:\\bin\0")),
            # The whole value is shown as stored, its entries in the console's code page.
            ("/R", HKCU_ENV, (REG_EXPAND_SZ, b"%SystemRoot%;C:\\Donn\xe9es;;\0"), None,
             NOT_NEEDED + crlf(SHOWN, b"%SystemRoot%;C:\\Donn\xe9es;;", b"",
                               DECOMPOSED, b"%SystemRoot%", b"C:\\Donn\x82es"),
             0, (REG_EXPAND_SZ, b"%SystemRoot%;C:\\Donn\xe9es;;\0")),
            ("/R /S", HKCU_ENV, (REG_EXPAND_SZ, b"C:\\a;C:\\b\0"), None,
             b"", 0, (REG_EXPAND_SZ, b"C:\\a;C:\\b\0")),
            ("/R", HKCU_ENV, None, None, crlf(b"La variable Path n'existe pas."), 1, None),
            ("/R", HKCU_ENV, (REG_MULTI_SZ, b"C:\\a\0C:\\b\0\0"), None,
             crlf(b"La variable Path ne poss\x8ade pas le type REG_SZ "
                  b"(r\x82paration impossible)."),
             1, (REG_MULTI_SZ, b"C:\\a\0C:\\b\0\0")),
        ]
        for args, key, stored, backup, out, status, after in rows:
            with self.subTest(args=args, stored=stored, backup=backup):
                P.reg(("del", key, "Path"), ("del", key, BACKUP))
                if stored:
                    P.set_value(key, "Path", stored[0], stored[1], wide=len(stored) > 2)
                if backup:
                    P.set_value(key, BACKUP, *backup)
                other = HKLM_ENV if key == HKCU_ENV else HKCU_ENV
                before, other_before = by_name(P.values(key)), P.values(other)
                result = P.run(args)
                self.assertEqual((result.out, result.status), (out, status))
                self.assertEqual(program_errors(result), [])
                # Only the Path changes, and no backup is left behind (not even
                # a stale one), unless the repair was refused before it began.
                expected = dict(before)
                expected.pop(b"path", None)
                if after:
                    expected[b"path"] = after
                if status == 0:
                    expected.pop(BACKUP.lower().encode(), None)
                self.assertEqual(by_name(P.values(key)), expected)
                self.assertEqual(P.values(other), other_before)


class ReadBack(unittest.TestCase):
    def test_add_keeps_the_whole_text(self):
        """The text read is the data without every trailing zero: nothing cut,
        no zero left inside to hide the last entry; references between
        percent signs are kept."""
        # type, stored text (as Windows keeps it, UTF-16), Path text afterwards
        # (None: nothing written, the folder being found)
        rows = [
            (REG_EXPAND_SZ, "C:\\bin", "C:\\bin;C:\\w\\\0"),
            (REG_SZ, "C:\\bin\0\0", "C:\\bin;C:\\w\\\0"),
            (REG_EXPAND_SZ, "C:\\bin;\0\0\0", "C:\\bin;C:\\w\\\0"),
            (REG_EXPAND_SZ, "C:\\bin;C:\\w\\\0\0", None),
            (REG_SZ, "c:\\W", None),
            (REG_EXPAND_SZ, "", "C:\\w\\\0"),
            (REG_SZ, "\0", "C:\\w\\\0"),
            (REG_EXPAND_SZ, "%SystemRoot%\\system32;%USERPROFILE%\\bin\0",
             "%SystemRoot%\\system32;%USERPROFILE%\\bin;C:\\w\\\0"),
        ]
        for kind, stored, text in rows:
            with self.subTest(kind=kind, stored=stored):
                P.set_value(HKCU_ENV, "Path", kind, utf16(stored), wide=True)
                result = P.run("C:\\w /S")
                self.assertEqual((result.out, result.status), (b"", 0))
                self.assertEqual(P.get_value(HKCU_ENV, "Path", wide=True),
                                 (kind, utf16(stored if text is None else text)))
        self.assertTrue(P.is_dir("C:\\w"))


if __name__ == "__main__":
    unittest.main()
