#!/usr/bin/env python3
"""The interactive console driven through a pseudo-terminal: Tab completion
of commands, variables, macros and file names, the history file written,
trimmed and read back by the next session, Ctrl-C on a half-typed line, and
Ctrl-C breaking a running loop. Every wait has a timeout and the child is
always killed."""
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
        if not self.out.endswith(". "):
            self.expect(r"\n\. $")  # a prompt still on its way belongs to the line before
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
        # Inside the body of a block being typed only that line goes.
        # Each line waits for its prompt: readline sets the terminal up before
        # it prompts, and text typed before that is echoed by the terminal
        # itself, which a pattern here could take for readline's echo.
        c.send("forvalues i = 1/2 {\r")
        c.expect(r"\{\r?\n\. $")
        c.send('display "in" + "loop"\r')
        c.expect(r"loop\"\r?\n\. $")
        c.send("display 99")
        c.expect("display 99")
        c.send("\x03")
        c.expect(r"\n\. $")
        shown = c.run("}")
        self.assertEqual(re.findall(r"(?<=\n)(inloop|99)(?=\r?\n)", shown), ["inloop", "inloop"])
        transcript = c.out
        self.assertNotIn("r(1);", transcript)
        self.assertNotIn("Break", transcript)
        self.assertNotIn("123", transcript)
        c.send("exit, clear\r")
        c.wait_exit()
        # The dropped line never reached the history.
        # (The body lines of a block are not console commands of their own.)
        self.assertEqual(self.histlines(), ["display 3+4", "forvalues i = 1/2 {", "exit, clear"])

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
