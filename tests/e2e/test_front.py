"""End to end, under Wine: the usage text, the raw command line, the drive
messages and the confirmation question of wayfold.exe."""

import re
import unittest

import wine
from wine import HKCU_ENV, HKLM_ENV, REG_EXPAND_SZ, REG_SZ, oem

P = None  # the module's Wine prefix


def setUpModule():
    global P
    P = wine.Prefix()


def tearDownModule():
    P.close()


USAGE_LINES = [
    "WAYFOLD v1.0 - Chemin pour variable PATH",
    "Ajoute un chemin à la variable PATH et crée le dossier concerné.",
    " ",
    "Syntaxe     : wayfold x:\\chemin [/K] [/R] [/S]",
    " ",
    "  x:\\chemin : lecteur et chemin à ajouter (et créer) si inexistant",
    "  /K        : ajoute à la variable Path de tous les utilisateurs (HKLM)",
    "  /R        : répare éventuellement le type de la variable Path (REG_EXPAND_SZ)",
    "  /S        : ajoute et crée le chemin sans affichage ni confirmation (SILENT)",
    " ",
    "              ERRORLEVEL=0 si aucune erreur (dossier et variable)",
    " ",
    "              /R peut être utilisé seul sans chemin (réparation sans ajout)",
    "              Syntaxe : wayfold /r ou wayfold /k /r",
    " ",
    "  Exemples  : wayfold %SystemRoot%\\wayFOLD",
    "              wayfold \"d:\\common utilities\\our cmds\" /k /r",
]
USAGE = oem("".join(line + "\r\n" for line in USAGE_LINES))

NO_DRIVE = oem("L'unité n'est pas spécifiée.\r\n")
QUESTION = oem("Confirmez l'ajout et la création du dossier [O/N] ?")


def bad_drive(drive):
    return oem("L'unité %s n'est pas valide.\r\n" % drive)


def asked(folder):
    """The output up to the question about folder (OEM bytes as shown)."""
    return b" \r\n" + folder + b"\r\n" + QUESTION


class Untouched:
    """Checks that a run changed neither Path variable nor made a folder."""

    folders = (r"C:\outils", r"C:\my dir", r"C:\autre", "C:\\caf\xe9", r"D:\outils")

    def setUp(self):
        for folder in self.folders:
            P.remove_tree(folder)
        self.before = (P.values(HKCU_ENV), P.values(HKLM_ENV))

    def assertUntouched(self):
        for folder in self.folders:
            self.assertFalse(P.exists(folder), folder + " was created")
        self.assertEqual((P.values(HKCU_ENV), P.values(HKLM_ENV)), self.before)


class UsageTest(Untouched, unittest.TestCase):
    def test_usage_text_in_oem_bytes(self):
        self.assertEqual(len(USAGE_LINES), 17)
        self.assertIn(b"cr\x82e le dossier concern\x82.\r\n", USAGE)  # 850, not 1252
        cases = [
            b"wayfold",
            b"wayfold ?",
            b"wayfold /?",
            b'wayfold "" /?',       # an empty quote pair is no argument
            b'wayfold ""',
            b"wayfold \t ",          # blanks only
            b"wayfold /? C:\\outils",  # asking for help wins over the folder
            b"wayfold C:\\outils ?",
        ]
        for line in cases:
            with self.subTest(line=line):
                self.assertEqual(P.run(line=line), (1, USAGE, b""))
        self.assertUntouched()

    def test_usage_on_a_pipe_whatever_the_input(self):
        self.assertEqual(P.run(b"/?", stdin=b"o\r\n"), (1, USAGE, b""))

    def test_usage_to_a_file(self):
        self.assertEqual(P.run(b"/?", stdout="file"), (1, USAGE, b""))

    def test_silent_usage_prints_nothing(self):
        for args in (b"/S /?", b"/? /S", b"/s /?", b"? /S", b'"/S" /?'):
            with self.subTest(args=args):
                self.assertEqual(P.run(args), (1, b"", b""))


class DriveTest(Untouched, unittest.TestCase):
    def tearDown(self):
        P.remove_drive("D")

    def test_folder_without_a_drive(self):
        for args in (b"x", b"\\outils", b"outils\\sous"):
            with self.subTest(args=args):
                self.assertEqual(P.run(args), (1, NO_DRIVE, b""))
        self.assertUntouched()

    def test_drive_that_does_not_exist(self):
        cases = [
            (b"Q:\\outils", "Q:"),
            (b'"Q:\\my dir"', "Q:"),
            (b'Q:\\my" "dir', "Q:"),
            (b"D:\\outils", "D:"),  # no D: in this prefix yet
        ]
        for args, drive in cases:
            with self.subTest(args=args):
                self.assertEqual(P.run(args), (1, bad_drive(drive), b""))
        self.assertUntouched()

    def test_added_drive_is_accepted_and_removed_one_refused(self):
        P.add_drive("D")
        self.assertEqual(P.run(b"D:\\outils"), (1, asked(b"D:\\outils\\") + b"\r\n", b""))
        P.remove_drive("D")
        self.assertEqual(P.run(b"D:\\outils"), (1, bad_drive("D:"), b""))
        self.assertUntouched()


class CommandLineTest(Untouched, unittest.TestCase):
    """The folder as the program read it from the raw command line shows in
    its question; with no console to answer, nothing is done."""

    def test_folder_read_from_raw_command_line(self):
        cases = [
            (b"C:\\outils", b"C:\\outils\\"),
            (b'"C:\\my dir"', b"C:\\my dir\\"),
            (b'C:\\my" "dir', b"C:\\my dir\\"),      # a quote anywhere
            (b'"C:\\my dir\\"', b"C:\\my dir\\"),    # a backslash escapes nothing
            (b'"C:\\my dir', b"C:\\my dir\\"),       # quote left open
            (b'"" C:\\outils', b"C:\\outils\\"),
            (b"\tC:\\outils\t", b"C:\\outils\\"),
            (b"C:\\outils C:\\autre", b"C:\\outils\\"),  # the first folder only
            (b"/k C:\\outils /r", b"C:\\outils\\"),
            (b"C:\\caf\xe9", b"C:\\caf\x82\\"),      # shown in OEM 850
        ]
        for args, shown in cases:
            with self.subTest(args=args):
                self.assertEqual(P.run(args), (1, asked(shown) + b"\r\n", b""))
        self.assertUntouched()


    def test_longest_command_line(self):
        # 32,766 characters: the most CreateProcess passes on.
        line = b"wayfold C:\\" + b"y" * (32766 - len(b"wayfold C:\\"))
        folder = line[len(b"wayfold "):] + b"\\"
        self.assertEqual(P.run(line=line), (1, asked(folder) + b"\r\n", b""))


class NoStdOutTest(Untouched, unittest.TestCase):
    """Without any standard output handle the program stops before doing
    anything, even with /S, and reports the I/O error on standard error."""

    REPORT = re.compile(rb"Exception EInOutError dans le module wayfold\.exe dans [0-9A-F]{16}\.\r\n"
                        rb"Erreur d'E/S 105\.\r\n\r\n\Z")

    def setUp(self):
        # A REG_SZ Path, which /S /R would turn into REG_EXPAND_SZ.
        P.set_text(HKCU_ENV, "Path", r"C:\a", REG_SZ)
        super().setUp()

    def tearDown(self):
        P.delete_value(HKCU_ENV, "Path")

    def test_io_error_105(self):
        for args in (b"/?", b"C:\\outils /S", b"/S /R"):
            with self.subTest(args=args):
                result = P.run(args, stdout="none")
                self.assertEqual(result.status, 1)
                self.assertEqual(result.out, b"")
                self.assertRegex(result.err, self.REPORT)
        self.assertUntouched()


class QuestionTest(Untouched, unittest.TestCase):
    def test_input_not_a_console_answers_no(self):
        for stdin in ("null", b"", b"o\r\n", b"O"):
            with self.subTest(stdin=stdin):
                result = P.run(b"C:\\outils", stdin=stdin)
                self.assertEqual(result, (1, asked(b"C:\\outils\\") + b"\r\n", b""))
        self.assertUntouched()

    def test_no_in_a_console(self):
        cases = [
            (b"n", b"n"),
            (b"N", b"N"),
            (b"xY\rn", b"n"),   # other keys are not answers
            (b"\x1b N", b"N"),
        ]
        for keys, echo in cases:
            with self.subTest(keys=keys):
                result = P.run_console(b"C:\\outils", keys=keys)
                self.assertEqual(result, (1, asked(b"C:\\outils\\") + echo + b"\r\n", b""))
        self.assertUntouched()

    def test_no_on_the_console_screen(self):
        result = P.run_console(b"C:\\outils", keys=b"xn", screen=True)
        self.assertEqual(result.status, 1)
        self.assertEqual(result.err, b"")
        # The screen keeps no trailing blanks: the " " line reads as empty.
        rows = result.out.split(b"\r\n")
        self.assertEqual([r for r in rows if r], [b"C:\\outils\\", QUESTION + b"n"])
        self.assertUntouched()


class YesTest(unittest.TestCase):
    def setUp(self):
        P.remove_tree(r"C:\outils")
        P.set_text(HKCU_ENV, "Path", r"C:\a")

    def tearDown(self):
        P.remove_tree(r"C:\outils")
        P.delete_value(HKCU_ENV, "Path")

    def test_yes_creates_and_adds(self):
        for keys in (b"o", b"xO"):
            with self.subTest(keys=keys):
                self.setUp()
                result = P.run_console(b"C:\\outils", keys=keys)
                self.assertEqual(result.status, 0, result)
                self.assertEqual(result.err, b"")
                echo = keys[-1:]
                self.assertTrue(result.out.startswith(asked(b"C:\\outils\\") + echo + b"\r\n"),
                                result.out)
                self.assertTrue(P.is_dir(r"C:\outils"))
                self.assertEqual(P.get_value(HKCU_ENV, "Path"),
                                 (REG_EXPAND_SZ, b"C:\\a;C:\\outils\\\0"))


if __name__ == "__main__":
    unittest.main()
