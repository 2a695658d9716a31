#!/usr/bin/env python3
"""The interactive console driven through a pseudo-terminal: Tab completion
of commands, variables, macros and file names, the history file written,
trimmed and read back by the next session (block lines too, and #review),
numbered prompts of a program's body, the continuation prompt of a `{`
block, Ctrl-C on a half-typed line and between two lines (inside a block it
abandons the whole block, nested ones too), Ctrl-C breaking a running loop,
and the width following a resized terminal. Every wait has a timeout and the child is always
killed."""
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import struct
import sys
import tempfile
import termios
import time
import unittest

ZELTA = None
WAIT = 30  # seconds for any one expected text (the machine may be busy)
COLOUR = re.compile(r"\x1b\[[0-9;]*m")


class Console:
    """One zelta session on a pseudo-terminal."""

    def __init__(self, cwd, env):
        self.raw = ""   # everything the terminal showed
        self.out = ""   # the same without colour escapes
        self.mark = 0   # where the next expect starts looking
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            try:
                # The size is set before zelta starts: a later change would
                # send it a SIGWINCH and a redrawn line.
                fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
                os.chdir(cwd)
                os.execve(ZELTA, [ZELTA, "-q"], env)
            finally:
                os._exit(127)
        self.expect(r"\. $")

    def _read(self, timeout):
        r, _, _ = select.select([self.fd], [], [], timeout)
        if not r:
            return False
        try:
            data = os.read(self.fd, 4096)
        except OSError:
            return None  # the child has gone
        if not data:
            return None
        self.raw += data.decode("utf-8", "replace")
        self.out = COLOUR.sub("", self.raw)
        return True

    def expect(self, pattern, timeout=WAIT):
        """Waits for the regex after the mark; returns the match."""
        end = time.monotonic() + timeout
        rx = re.compile(pattern)
        while True:
            m = rx.search(self.out, self.mark)
            if m:
                self.mark = m.end()
                return m
            left = end - time.monotonic()
            if left <= 0 or self._read(left) is None:
                raise AssertionError("timed out waiting for %r; the terminal showed:\n%s"
                                     % (pattern, self.out[self.mark:]))

    def send(self, text):
        os.write(self.fd, text.encode())

    def run(self, line):
        """Types a line and waits for the next prompt; returns what was shown."""
        if not self.out.endswith((". ", "> ")):
            self.expect(r"\n[.>] $")  # a prompt still on its way belongs to the line before
        start = self.mark = len(self.out)
        self.send(line + "\r")
        self.expect(r"\n\. $")
        return self.out[start:]

    def wait_exit(self, timeout=WAIT):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.pid = None
                return status
            self._read(0.1)
        raise AssertionError("zelta did not exit; the terminal showed:\n" + self.out[self.mark:])

    def kill(self):
        if self.pid:
            try:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
            except (ProcessLookupError, ChildProcessError):
                pass
            self.pid = None
        try:
            os.close(self.fd)
        except OSError:
            pass


class ConsoleTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zelta-console-")
        self.home = os.path.join(self.dir, "home")
        os.mkdir(self.home)
        self.hist = os.path.join(self.dir, "hist")
        self.sessions = []

    def tearDown(self):
        for c in self.sessions:
            c.kill()
        shutil.rmtree(self.dir, ignore_errors=True)

    def env(self, **extra):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home, "TERM": "dumb",
               "INPUTRC": "/dev/null", "LANG": "C.UTF-8", "ZELTA_HISTORY": self.hist}
        for k, v in os.environ.items():  # the sanitizer build's settings
            if k.startswith(("ASAN_", "UBSAN_", "LSAN_")):
                env[k] = v
        for k, v in extra.items():
            if v is None:
                env.pop(k, None)
            else:
                env[k] = v
        return env

    def start(self, **extra):
        c = Console(self.dir, self.env(**extra))
        self.sessions.append(c)
        return c

    def histlines(self, path=None):
        with open(path or self.hist) as f:
            return f.read().splitlines()

    def test_completion(self):
        with open(os.path.join(self.dir, "mydata_one.do"), "w") as f:
            f.write('display "ran" + "file"\n')
        c = self.start()
        c.run("set obs 3")
        c.run("generate double weightkg = 70")
        # A command, then a variable of the dataset in memory.
        shown = c.run("summ\tweig\t")
        self.assertIn("summarize weightkg", shown)
        self.assertRegex(shown, r"weightkg [|│]\s+3\s+70\s+0\s+70\s+70")
        # A local after a backquote gets its closing quote; a global after $.
        c.run("local mylocal 42")
        shown = c.run("display `myl\t + 1")
        self.assertIn("display `mylocal' + 1", shown)
        self.assertRegex(shown, r"\n43\r?\n")
        c.run("global myglobal 5")
        shown = c.run("display $myg\t* 2")
        self.assertRegex(shown, r"\n10\r?\n")
        # A file name after do.
        shown = c.run("do mydata_o\t")
        self.assertIn("do mydata_one.do", shown)
        self.assertIn("ranfile", shown)
        # Two candidates: the second Tab lists both; Ctrl-C then drops the line.
        c.run("local myother 1")
        c.send("display `my\t\t")
        c.expect(r"mylocal\s+myother")
        c.send("\x03")
        c.expect(r"\n\. $")
        shown = c.run('display "after" + "list"')
        self.assertIn("afterlist", shown, c.out)
        c.send("exit, clear\r")
        c.wait_exit()

    def test_ctrl_c_on_partial_line(self):
        c = self.start()
        c.send("display 12")
        c.expect("display 12")  # readline has taken the keys
        c.send("\x03")
        c.expect(r"\n\. $")
        shown = c.run("display 3+4")
        self.assertRegex(shown, r"\n7\r?\n")
        self.assertNotIn("Break", c.out)
        self.assertNotIn("123", c.out)
        # Inside the body of a block being typed the prompt says so, and a
        # Ctrl-C abandons the whole block: the loop never runs.
        # Each line waits for its prompt: readline sets the terminal up before
        # it prompts, and text typed before that is echoed by the terminal
        # itself, which a pattern here could take for readline's echo.
        c.send("forvalues i = 1/2 {\r")
        c.expect(r"\{\r?\n> $")
        c.send('display "in" + "loop"\r')
        c.expect(r"loop\"\r?\n> $")
        c.send("display 99")
        c.expect("display 99")
        c.send("\x03")
        c.expect(r"(--|──)Break(--|──)")
        c.expect(r"r\(1\);")
        c.expect(r"\n\. $")
        # Back at the top: a line runs at once, and a lone brace is no block end.
        shown = c.run('display "after" + "block"')
        self.assertIn("afterblock", shown)
        self.assertNotIn("inloop", c.out)
        self.assertNotRegex(c.out, r"\n99\r?\n")
        c.send("exit, clear\r")
        c.wait_exit()
        # The body lines typed are in the history, the dropped line is not.
        self.assertEqual(self.histlines(), ["display 3+4", "forvalues i = 1/2 {",
                                            'display "in" + "loop"', 'display "after" + "block"',
                                            "exit, clear"])

    def test_ctrl_c_abandons_nested_blocks(self):
        c = self.start()
        c.run("log using typed.log, text")
        c.send("if 1 {\r")
        c.expect(r"\{\r?\n> $")
        c.send('display "outer" + "ran"\r')
        c.expect(r"outerran\r?\n> $")  # an if block runs each line as it comes
        c.send("forvalues i = 1/3 {\r")
        c.expect(r"\{\r?\n> $")
        c.send('display "inner" + "ran"\r')
        c.expect(r"ran\"\r?\n> $")
        c.send("\x03")  # on an empty line: both blocks go
        c.expect(r"(--|──)Break(--|──)")
        c.expect(r"r\(1\);")
        c.expect(r"\n\. $")
        shown = c.run('display "top" + "level"')
        self.assertIn("toplevel", shown)
        self.assertNotIn("innerran", c.out)
        # A block typed to its end still runs, with the continuation prompts.
        c.send("forvalues i = 1/2 {\r")
        c.expect(r"\{\r?\n> $")
        c.send('display "again" + "`i\'"\r')
        c.expect(r"> $")
        shown = c.run("}")
        self.assertEqual(re.findall(r"(?<=\n)again\d(?=\r?\n)", shown), ["again1", "again2"])
        c.run("log close")
        c.send("exit, clear\r")
        c.wait_exit()
        # The log shows the block's lines with the prompt they were typed at.
        with open(os.path.join(self.dir, "typed.log")) as f:
            log = f.read()
        self.assertIn("\n. if 1 {\n> display \"outer\" + \"ran\"\nouterran\n", log)
        self.assertIn("\n. forvalues i = 1/2 {\n> display \"again\" + \"`i'\"\n> }\n", log)

    def test_ctrl_c_breaks_a_loop(self):
        c = self.start()
        c.send("forvalues i = 1/1000000000 {\r")
        c.send("local x = `i'\r")
        c.send("if `i' == 1000 display \"loop\" + \"running\"\r")
        c.send("}\r")
        c.expect("looprunning")
        c.send("\x03")
        c.expect(r"(--|──)Break(--|──)")
        c.expect(r"r\(1\);")
        # The prompt must be read before the next line is typed, or run()
        # would take this prompt for the one that follows its own line.
        c.expect(r"\n\. $")
        shown = c.run('display "still" + "here"')
        self.assertIn("stillhere", shown, c.out)
        shown = c.run("display `x' > 0")
        self.assertRegex(shown, r"\n1\r?\n")  # the loop got past 1000 before the Break
        c.send("exit, clear\r")
        c.wait_exit()

    def test_history_file(self):
        c = self.start()
        c.run("display 1")
        c.run("display 1")  # typed twice running: kept once
        c.run('display "hist" + "ory"')
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(self.histlines(), ["display 1", 'display "hist" + "ory"', "exit, clear"])
        # The next session reads it back: two steps back is the display.
        c = self.start()
        shown = c.run("\x10\x10")
        self.assertIn("history", shown)
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(self.histlines()[-2:], ['display "hist" + "ory"', "exit, clear"])
        # A smaller bound cuts the file to its last lines when the session ends.
        c = self.start(ZELTA_HISTSIZE="2")
        c.run("display 2")
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(self.histlines(), ["display 2", "exit, clear"])
        leftovers = [f for f in os.listdir(self.dir) if f.startswith("hist.")]
        self.assertEqual(leftovers, [])

    def test_block_lines_in_history_and_review(self):
        c = self.start()
        c.run("display 11")
        c.send("foreach w in ab cd {\r")
        c.expect(r"\{\r?\n> $")
        c.send('display "`w\'" + "!"\r')
        c.expect(r"!\"\r?\n> $")
        shown = c.run("}")
        self.assertEqual(re.findall(r"(?<=\n)(ab!|cd!)(?=\r?\n)", shown), ["ab!", "cd!"])
        # A program's body, numbered prompts and all.
        c.send("program define hello\r")
        c.expect(r"\n  1\. $")
        c.send('display "hel" + "lo"\r')
        c.expect(r"\n  2\. $")
        c.run("end")
        # A Vemo block.
        c.send("vemo\r")
        c.expect(r"\n: $")
        c.send("7*6\r")
        c.expect(r"42\r?\n: $")
        c.send("end\r")
        c.expect(r"\n\. $")
        # #review lists the body lines with the rest, oldest first; the
        # directive itself is not kept.
        shown = c.run("#review 6")
        self.assertEqual(re.findall(r"(?<=\n)\d .*?(?=\r?\n)", shown),
                         ["6 program define hello", '5 display "hel" + "lo"', "4 end", "3 vemo",
                          "2 7*6", "1 end"])
        shown = c.run("#review 12 2")
        self.assertEqual(re.findall(r"(?<=\n)\d+ .*?(?=\r?\n)", shown),
                         ["10 display 11", "9 foreach w in ab cd {"])
        c.send("exit, clear\r")
        c.wait_exit()
        expected = ["display 11", "foreach w in ab cd {", 'display "`w\'" + "!"', "}",
                    "program define hello", 'display "hel" + "lo"', "end", "vemo", "7*6", "end",
                    "exit, clear"]
        self.assertEqual(self.histlines(), expected)
        # The next session: the up arrow reaches a body line, and #review
        # shows the earlier session's lines the up arrow recalls.
        c = self.start()
        shown = c.run("#review 3")
        self.assertEqual(re.findall(r"(?<=\n)\d .*?(?=\r?\n)", shown),
                         ["3 7*6", "2 end", "1 exit, clear"])
        c.send("\x10" * 9)  # back to the body line of the loop
        c.expect(re.escape('display "`w\'" + "!"'))
        c.send("\x05 + \"?\"\r")  # to the end of the line, add to it, run it
        c.expect(r"\n\. $")
        self.assertRegex(c.out, r"\n!\?\r?\n")  # `w' is empty out of the loop
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(self.histlines()[-2:], ['display "`w\'" + "!" + "?"', "exit, clear"])

    def test_program_define_prompt(self):
        c = self.start()
        c.run("log using typed.log, text")
        c.send("program define twice\r")
        c.expect(r"\n  1\. $")
        c.send("display 2*21\r")
        c.expect(r"\n  2\. $")
        c.send("display 99")
        c.expect("display 99")
        c.send("\x03")  # drops this line only; the prompt keeps its number
        c.expect(r"\n  2\. $")
        c.send("display 2*22\r")
        c.expect(r"\n  3\. $")
        c.run("end")
        shown = c.run("twice")
        self.assertEqual(re.findall(r"(?<=\n)\d+(?=\r?\n)", shown), ["42", "44"])
        c.run("log close")
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertNotIn("Break", c.out)
        # The log shows the typed lines with their prompts, as a do-file's would.
        with open(os.path.join(self.dir, "typed.log")) as f:
            log = f.read()
        body = log[log.index("program define"):log.index("log close")]
        self.assertEqual(body.splitlines(),
                         ["program define twice", "  1. display 2*21", "  2. display 2*22",
                          "  3. end", "", ". twice", "42", "44", "", ". "])

    def test_ctrl_c_between_lines(self):
        # The console waits this long after taking each line, so that a
        # Ctrl-C lands after one line and before the next prompt.
        c = self.start(ZELTA_TEST_LINEGAP="2000")
        c.send("forvalues i = 1/2 {\r")
        c.expect(r"\{\r?\n")
        c.send("\x03")
        # It abandons the block being typed, like a Ctrl-C on its next line.
        c.expect(r"(--|──)Break(--|──)")
        c.expect(r"r\(1\);")
        c.expect(r"\n\. $")
        shown = c.run('display "in" + "loop"')
        self.assertEqual(re.findall(r"(?<=\n)inloop(?=\r?\n)", shown), ["inloop"])
        self.assertEqual(c.out.count("Break"), 1)
        c.send("program define once\r")
        c.expect(r"\n  1\. $")
        c.send('display "in" + "prog"\r')
        c.expect(r"prog\"\r?\n")
        c.send("\x03")
        c.expect(r"  2\. \r?\n  2\. $")
        c.run("end")
        shown = c.run("once")
        self.assertRegex(shown, r"\ninprog\r?\n")
        self.assertEqual(c.out.count("Break"), 1)  # only the block's
        c.send("exit, clear\r")
        c.wait_exit()

    def test_break_in_block_is_not_carried(self):
        # A Break of a command run inside a block typed at the console ends
        # what the block runs; it is not taken for a Ctrl-C on the next line.
        c = self.start()
        c.send("if 1 {\r")
        c.expect(r"\{\r?\n> $")
        c.send("shell sleep 5\r")
        c.expect(r"sleep 5\r?\n")
        time.sleep(0.5)
        c.send("\x03")
        c.expect(r"> $")  # the terminal echoes ^C before it
        c.send('display "not" + "run"\r')
        c.expect(r"run\"\r?\n> $")
        shown = c.run("}")
        self.assertNotIn("notrun", shown)
        self.assertRegex(shown, r"r\(1\);")
        self.assertNotRegex(c.out, r"> \r?\n> display")

    def test_resize(self):
        c = self.start()

        def resize(cols, rows=24):
            # While a command runs, so that no prompt is being redrawn.
            c.send("shell sleep 1\r")
            c.expect(r"sleep 1\r?\n")
            fcntl.ioctl(c.fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))
            c.expect(r"\n\. $")

        shown = c.run("display c(linesize)")
        self.assertRegex(shown, r"\n80\r?\n")
        resize(100)
        shown = c.run("display c(linesize)")
        self.assertRegex(shown, r"\n100\r?\n")
        resize(30)  # narrower than the least line size
        shown = c.run("display c(linesize)")
        self.assertRegex(shown, r"\n40\r?\n")
        resize(300)
        shown = c.run("display c(linesize)")
        self.assertRegex(shown, r"\n255\r?\n")
        # Set by the user, the width stays.
        c.run("set linesize 90")
        resize(120)
        shown = c.run("display c(linesize)")
        self.assertRegex(shown, r"\n90\r?\n")
        c.send("exit, clear\r")
        c.wait_exit()

    def test_history_location(self):
        # Without ZELTA_HISTORY the file is in the home folder.
        c = self.start(ZELTA_HISTORY=None)
        c.run("display 5")
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(self.histlines(os.path.join(self.home, ".zelta_history")),
                         ["display 5", "exit, clear"])
        # Set to nothing, it is turned off.
        os.remove(os.path.join(self.home, ".zelta_history"))
        c = self.start(ZELTA_HISTORY="")
        c.run("display 6")
        c.send("exit, clear\r")
        c.wait_exit()
        self.assertEqual(os.listdir(self.home), [])
        self.assertFalse(os.path.exists(self.hist))


if __name__ == "__main__":
    ZELTA = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
