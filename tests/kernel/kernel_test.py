#!/usr/bin/python3
"""Drives the real zelta-kernel with the notebook client library over loopback.

Usage: kernel_test.py ZELTA_KERNEL

The kernelspec is installed by `zelta-kernel install --prefix` into a scratch
folder that the client is pointed at, so the install command is tested too.
Every wait is bounded; the kernel process is always shut down or killed.
"""
import base64
import json
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

import jupyter_client

KERNEL = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
TIMEOUT = 60  # seconds for any single reply


def t3_pvalue(t):
    """Two-sided p-value of Student's t with 3 degrees of freedom (closed form)."""
    t = abs(t)
    cdf = 0.5 + (t / (math.sqrt(3) * (1 + t * t / 3)) + math.atan(t / math.sqrt(3))) / math.pi
    return 2 * (1 - cdf)


class Cell:
    """What one execute request produced, from its iopub messages and reply."""

    def __init__(self, reply, msgs):
        self.reply = reply["content"]
        self.msgs = msgs
        self.streams = [m["content"] for m in msgs if m["msg_type"] == "stream"]
        self.stdout = "".join(s["text"] for s in self.streams if s["name"] == "stdout")
        self.stderr = "".join(s["text"] for s in self.streams if s["name"] == "stderr")
        self.displays = [m["content"]["data"] for m in msgs if m["msg_type"] == "display_data"]
        self.errors = [m["content"] for m in msgs if m["msg_type"] == "error"]


class KernelTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zelta-kernel-test-")
        prefix = os.path.join(cls.tmp, "prefix")
        out = subprocess.run([KERNEL, "install", "--prefix", prefix],
                             capture_output=True, text=True, timeout=TIMEOUT)
        assert out.returncode == 0, out.stderr
        cls.specdir = os.path.join(prefix, "share", "jupyter", "kernels", "zelta")
        os.environ["JUPYTER_PATH"] = os.path.join(prefix, "share", "jupyter")
        os.environ["JUPYTER_RUNTIME_DIR"] = os.path.join(cls.tmp, "runtime")
        cls.workdir = os.path.join(cls.tmp, "work")
        os.makedirs(cls.workdir)
        with open(os.path.join(cls.workdir, "mydata_one.csv"), "w") as f:
            f.write("1\n")
        cls.km = jupyter_client.KernelManager(kernel_name="zelta")
        cls.km.start_kernel(cwd=cls.workdir)
        cls.kc = cls.km.client()
        cls.kc.start_channels()
        cls.kc.wait_for_ready(timeout=TIMEOUT)

    @classmethod
    def tearDownClass(cls):
        try:
            cls.kc.stop_channels()
            cls.km.shutdown_kernel(now=False)
        finally:
            if cls.km.has_kernel:
                cls.km.kill_kernel()
            shutil.rmtree(cls.tmp, ignore_errors=True)

    def run_cell(self, code, interrupt_after=None, by_message=False):
        """Executes code; returns a Cell. interrupt_after: interrupt once that
        text has appeared in the output, by a signal or (by_message) by an
        interrupt_request on the control channel."""
        kc = self.kc
        msg_id = kc.execute(code)
        msgs = []
        seen = ""
        interrupted = False
        while True:
            m = kc.get_iopub_msg(timeout=TIMEOUT)
            if m["parent_header"].get("msg_id") != msg_id:
                continue
            msgs.append(m)
            if m["msg_type"] == "stream":
                seen += m["content"]["text"]
                if interrupt_after and not interrupted and interrupt_after in seen:
                    if by_message:
                        req = kc.session.msg("interrupt_request", {})
                        kc.control_channel.send(req)
                        rep = kc.get_control_msg(timeout=TIMEOUT)
                        self.assertEqual(rep["parent_header"]["msg_id"], req["header"]["msg_id"])
                        self.assertEqual(rep["content"]["status"], "ok")
                    else:
                        self.km.interrupt_kernel()
                    interrupted = True
            if m["msg_type"] == "status" and m["content"]["execution_state"] == "idle":
                break
        reply = self.shell_reply(msg_id)
        return Cell(reply, msgs)

    def shell_reply(self, msg_id):
        """The shell reply to msg_id. A late reply to an earlier request (the
        client's own readiness probes send kernel_info requests and may give up
        on one on a slow machine) is skipped."""
        while True:
            reply = self.kc.get_shell_msg(timeout=TIMEOUT)
            if reply["parent_header"].get("msg_id") == msg_id:
                return reply

    def request(self, method, *args, **kw):
        msg_id = getattr(self.kc, method)(*args, **kw)
        return self.shell_reply(msg_id)["content"]

    # The tests run in name order; the numbered ones build on each other.

    def test_00_install(self):
        with open(os.path.join(self.specdir, "kernel.json")) as f:
            kernelspec = json.load(f)
        self.assertEqual(kernelspec["argv"], [KERNEL, "-f", "{connection_file}"])
        self.assertEqual(kernelspec["language"], "zelta")
        for size in (32, 64):
            with open(os.path.join(self.specdir, "logo-%dx%d.png" % (size, size)), "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        bad = subprocess.run([KERNEL, "install", "--bogus"], capture_output=True, text=True,
                             timeout=TIMEOUT)
        self.assertEqual(bad.returncode, 2)
        self.assertIn("usage: zelta-kernel install", bad.stderr)

    def test_01_kernel_info(self):
        info = self.request("kernel_info")
        self.assertEqual(info["status"], "ok")
        self.assertEqual(info["protocol_version"], "5.3")
        li = info["language_info"]
        self.assertEqual(li["name"], "zelta")
        self.assertEqual(li["file_extension"], ".do")
        self.assertIn("codemirror_mode", li)

    def test_01b_about(self):
        # The kernel lists the libraries it links on top of the core's.
        c = self.run_cell("about")
        self.assertEqual(c.reply["status"], "ok")
        self.assertRegex(c.stdout, r"\n    OpenBLAS +\d+\.\d+")
        self.assertRegex(c.stdout, r"\n    ZeroMQ +\d+\.\d+\.\d+\n")
        self.assertRegex(c.stdout, r"\n    OpenSSL +\d+\.\d+\.\d+\n")
        self.assertRegex(c.stdout, r"\n    JSON for Modern C\+\+ +\d+\.\d+\.\d+\n")

    def test_02_data_and_regress(self):
        # y on x for x = 1..5, y = 1 3 2 5 4: slope 8/10, intercept 3 - 3*0.8,
        # residual sum of squares 3.6 on 3 df, so se(slope) = sqrt(1.2/10).
        c = self.run_cell("clear\nset obs 5\ngen x = _n\n"
                          "gen y = cond(_n==1,1,cond(_n==2,3,cond(_n==3,2,cond(_n==4,5,4))))\n"
                          "regress y x\ndisplay _b[x] \" \" _b[_cons]\nlocal mylocal = 42")
        self.assertEqual(c.reply["status"], "ok")
        self.assertIn("Number of obs", c.stdout)
        self.assertIn(".8 .6\n", c.stdout)
        # The coefficient table goes out as display data: text and HTML.
        tables = [d for d in c.displays if "text/html" in d]
        self.assertEqual(len(tables), 1)
        self.assertIn("_cons", tables[0]["text/plain"])
        self.assertNotIn("_cons", c.stdout)  # not twice
        html = tables[0]["text/html"]
        se = math.sqrt(1.2 / 10)
        t = 0.8 / se
        self.assertIn("<th>x</th><td>.8</td><td>%s</td><td>%.2f</td><td>%.3f</td>"
                      % (("%.7f" % se).lstrip("0"), t, t3_pvalue(t)), html)
        self.assertIn("<th>y</th><th>Coef.</th>", html)

    def test_03_list_html(self):
        c = self.run_cell("list x y in 1/2")
        self.assertEqual(c.reply["status"], "ok")
        self.assertEqual(len(c.displays), 1)
        d = c.displays[0]
        self.assertEqual(d["text/plain"], "\n     +-------+\n     | x   y |\n     |-------|\n"
                                          "  1. | 1   1 |\n  2. | 2   3 |\n     +-------+\n")
        self.assertIn("<thead><tr><th></th><th>x</th><th>y</th></tr></thead>", d["text/html"])
        self.assertIn("<tr><th>1</th><td>1</td><td>1</td></tr>\n<tr><th>2</th><td>2</td><td>3</td></tr>",
                      d["text/html"])

    def test_04_stream_order(self):
        # Text, a table and text again arrive in the order they were printed;
        # the interrupt test shows that output also arrives while a cell runs.
        c = self.run_cell('forvalues i = 1/3 {\n  display "line `i\'"\n}\nlist x in 1, noobs\n'
                          'display "after"')
        kinds = []
        for m in c.msgs:
            if m["msg_type"] == "stream" and kinds and kinds[-1][0] == "stream":
                kinds[-1] = ("stream", kinds[-1][1] + m["content"]["text"])
            elif m["msg_type"] in ("stream", "display_data"):
                kinds.append((m["msg_type"], m["content"].get("text")))
        self.assertEqual(kinds, [("stream", "line 1\nline 2\nline 3\n"), ("display_data", None),
                                 ("stream", "after\n")])
        self.assertGreater(c.reply["execution_count"], 0)

    def test_05_error(self):
        before = self.run_cell("display 1").reply["execution_count"]
        c = self.run_cell('display "before"\nregress y nosuchvar\ndisplay "after"')
        self.assertEqual(c.reply["status"], "error")
        self.assertEqual(c.reply["ename"], "r(111)")
        self.assertEqual(c.reply["evalue"], "variable nosuchvar not found")
        self.assertEqual(c.reply["traceback"], ["variable nosuchvar not found", "r(111);"])
        self.assertEqual(c.reply["execution_count"], before + 1)
        self.assertEqual(c.stdout, "before\n")
        self.assertEqual(len(c.errors), 1)
        self.assertEqual(c.errors[0]["ename"], "r(111)")
        # An error caught by capture does not stop the cell; its text shows.
        c = self.run_cell('capture noisily error 198\ndisplay "rc " _rc')
        self.assertEqual(c.reply["status"], "ok")
        self.assertEqual(c.stderr, "invalid syntax\n")
        self.assertIn("rc 198\n", c.stdout)

    def test_05b_error_in_dofile(self):
        with open(os.path.join(self.workdir, "fails.do"), "w") as f:
            f.write('display "in do-file"\nsummarize nosuchvar\ndisplay "not reached"\n')
        c = self.run_cell("do fails.do\ndisplay \"after\"")
        self.assertEqual(c.reply["status"], "error")
        self.assertEqual(c.reply["ename"], "r(111)")
        self.assertEqual(c.reply["evalue"], "variable nosuchvar not found")
        self.assertIn("in do-file\n", c.stdout)
        self.assertNotIn("not reached", c.stdout)
        self.assertNotIn("after", c.stdout)

    def test_06_delimit_and_continuation(self):
        c = self.run_cell('display "a" ///\n  "b"\n#delimit ;\ndisplay\n "c" ;\n'
                          '#delimit cr\ndisplay "`mylocal\'"')
        self.assertEqual(c.reply["status"], "ok")
        self.assertEqual(c.stdout, "ab\ndelimiter now ;\nc\ndelimiter now cr\n42\n")

    def test_07_program(self):
        c = self.run_cell('capture program drop twice\nprogram twice\n  display 2*`1\'\nend\ntwice 21')
        self.assertEqual(c.reply["status"], "ok")
        self.assertEqual(c.stdout, "42\n")

    def test_08_is_complete(self):
        def status(code):
            return self.request("is_complete", code)
        self.assertEqual(status("display 1")["status"], "complete")
        r = status("forvalues i = 1/3 {\n display `i'")
        self.assertEqual(r["status"], "incomplete")
        self.assertEqual(r["indent"], "    ")
        self.assertEqual(status("display 1 ///")["status"], "incomplete")
        self.assertEqual(status('display "{" // {')["status"], "complete")
        self.assertEqual(status("/* open comment")["status"], "incomplete")
        self.assertEqual(status("#delimit ;\ndisplay 1")["status"], "incomplete")
        self.assertEqual(status("#delimit ;\ndisplay 1;")["status"], "complete")
        self.assertEqual(status("}")["status"], "invalid")

    def test_09_complete(self):
        def matches(code, pos=None):
            r = self.request("complete", code, len(code) if pos is None else pos)
            self.assertEqual(r["status"], "ok")
            return r
        r = matches("regr")
        self.assertIn("regress", r["matches"])
        self.assertEqual((r["cursor_start"], r["cursor_end"]), (0, 4))
        self.assertIn("scatter", matches("scat")["matches"])      # an ado-file
        self.assertIn("twice", matches("quietly twi")["matches"])  # a program
        r = matches("regress y x")
        self.assertEqual(r["matches"], ["x"])
        self.assertEqual(r["cursor_start"], 10)
        self.assertEqual(matches("regress x y")["matches"], ["y"])  # the last variable too
        self.assertEqual(matches("display `mylo")["matches"], ["mylocal"])
        self.assertEqual(matches("insheet using mydata_o")["matches"], ["mydata_one.csv"])

    def test_10_inspect(self):
        r = self.request("inspect", "regress y x", 2)
        self.assertEqual(r["status"], "ok")
        self.assertTrue(r["found"])
        # The help page, rendered as plain text (no ZMCL tags).
        text = r["data"]["text/plain"]
        self.assertIn("regress", text)
        self.assertIn("Syntax", text)
        self.assertNotIn("{title:", text)
        # After a prefix, the command's own page.
        r = self.request("inspect", "quietly scatter y x", 10)
        self.assertTrue(r["found"])
        self.assertIn("Scatter plots", r["data"]["text/plain"])
        # An abbreviation finds the full command's page.
        r = self.request("inspect", "su", 1)
        self.assertIn("summarize", r["data"]["text/plain"])
        self.assertIn("Syntax", r["data"]["text/plain"])
        r = self.request("inspect", "nosuchcommand", 3)
        self.assertFalse(r["found"])

    def test_11_graph(self):
        c = self.run_cell("scatter y x")
        self.assertEqual(c.reply["status"], "ok", c.reply)
        graphs = [d for d in c.displays if "image/png" in d]
        self.assertEqual(len(graphs), 1)
        png = base64.b64decode(graphs[0]["image/png"])
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertIn("<svg", graphs[0]["image/svg+xml"])
        # A cell that draws nothing shows no graph.
        c = self.run_cell("display 1")
        self.assertEqual(c.displays, [])

    def test_12_interrupt(self):
        c = self.run_cell('display "started"\nforvalues i = 1/1000000000 {\n}\ndisplay "not reached"',
                          interrupt_after="started")
        self.assertEqual(c.reply["status"], "error")
        self.assertEqual(c.reply["ename"], "r(1)")
        self.assertEqual(c.reply["evalue"], "--Break--")
        self.assertNotIn("not reached", c.stdout)
        c = self.run_cell("display 6*7")
        self.assertEqual(c.stdout, "42\n")
        c = self.run_cell('display "again"\nwhile 1 {\n}', interrupt_after="again", by_message=True)
        self.assertEqual(c.reply["ename"], "r(1)")
        self.assertEqual(self.run_cell("display 7*6").stdout, "42\n")

    def test_12b_signature(self):
        # A request signed with another key is dropped unanswered: the first
        # reply on this connection answers the well-signed request after it.
        import zmq
        from jupyter_client.session import Session
        info = self.km.get_connection_info(session=False)
        good = Session(key=info["key"], signature_scheme=info["signature_scheme"])
        bad = Session(key=b"not-the-key", signature_scheme=info["signature_scheme"])
        ctx = zmq.Context()
        sock = ctx.socket(zmq.DEALER)
        sock.setsockopt(zmq.LINGER, 0)
        sock.connect("tcp://%s:%d" % (info["ip"], info["shell_port"]))
        try:
            bad.send(sock, "execute_request", {"code": 'display "forged"', "silent": False,
                                               "store_history": True, "user_expressions": {},
                                               "allow_stdin": False})
            sent = good.send(sock, "kernel_info_request", {})
            self.assertTrue(sock.poll(TIMEOUT * 1000), "no reply")
            _, frames = good.feed_identities(sock.recv_multipart())
            reply = good.deserialize(frames)
            self.assertEqual(reply["parent_header"]["msg_id"], sent["header"]["msg_id"])
            self.assertEqual(reply["msg_type"], "kernel_info_reply")
            # Fields of the wrong type are taken as absent, never a crash.
            sent = good.send(sock, "complete_request", {"code": "regr", "cursor_pos": "4"})
            self.assertTrue(sock.poll(TIMEOUT * 1000), "no reply")
            _, frames = good.feed_identities(sock.recv_multipart())
            reply = good.deserialize(frames)
            self.assertEqual(reply["parent_header"]["msg_id"], sent["header"]["msg_id"])
            self.assertIn("regress", reply["content"]["matches"])
            good.send(sock, "execute_request", {"code": 5, "silent": "no", "store_history": []})
            self.assertTrue(sock.poll(TIMEOUT * 1000), "no reply")
            _, frames = good.feed_identities(sock.recv_multipart())
            self.assertEqual(good.deserialize(frames)["content"]["status"], "ok")
        finally:
            sock.close()
            ctx.term()

    def test_13_restart(self):
        pid = self.km.provisioner.process.pid
        self.km.restart_kernel(now=False)
        self.kc.wait_for_ready(timeout=TIMEOUT)
        self.assertNotEqual(self.km.provisioner.process.pid, pid)
        # The old process is gone and the new one starts from nothing.
        with self.assertRaises(ProcessLookupError):
            os.kill(pid, 0)
        c = self.run_cell('display _N " [`mylocal\']"')
        self.assertEqual(c.stdout, "0 []\n")
        self.assertEqual(c.reply["execution_count"], 1)


if __name__ == "__main__":
    if not KERNEL:
        sys.exit("usage: kernel_test.py ZELTA_KERNEL")
    # A hard bound on the whole run, whatever hangs.
    def give_up(*_):
        km = getattr(KernelTest, "km", None)
        if km is not None and km.has_kernel:
            km.kill_kernel()
        os._exit(3)
    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(600)
    unittest.main(verbosity=2)
