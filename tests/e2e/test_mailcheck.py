"""The mail check as a user starts it: 操作, then メールチェック, against a private Dovecot on loopback.
Covers the notice window's texts and topmost place, the login and connection error boxes, the check
without a server, hand-edited quillo.ini, APOP, TLS (port, STLS and the pop3:// way out, with a test CA the prefix trusts; the
certificate refusals and their texts; certificate names by the same rules as natively), the stored password
(a clear one stored protected by the check that uses it, an altered one asked for again), the hang-up of
a stand-in dial-up service's connections after each check, and that the mailbox is left as it was."""

import base64
import ctypes
import os
import pathlib
import poplib
import re
import socket
import time
import unittest

from tests.e2e import harness
from tests.e2e.harness.environment import REPO, log, skip

USER, PASSWORD = "taro", "secret"
ACCOUNT = harness.profile("EXEINI", NAME=USER, NAME2=PASSWORD, NAME3=1)
INI = harness.profile("EXEINI", NUMBER=0)
NEW_MAIL = "新着メールが有ります。"
NO_MAIL = "新着メールはありませんでした。"
NAME_MISMATCH = "サーバーの証明書の名前が POP3 サーバー名と一致しないため、接続を切りました。\n"


def check_mail(app):
    """操作 and メールチェック, both real clicks."""
    harness.open_settings(app)
    app.click("SetForm", "Command6")


def resolve_test_names(testcase):
    """From here to the end of the test, programs started find the test certificates' names
    (tests/dovecot/hosts) on loopback, through nss_wrapper."""
    try:
        ctypes.CDLL("libnss_wrapper.so")
    except OSError:
        skip("nss_wrapper is not installed (apt-get install libnss-wrapper)", whole_run=False)
    env = testcase.session.env
    saved = dict(env)
    env.update(LD_PRELOAD="libnss_wrapper.so", NSS_WRAPPER_HOSTS=os.path.join(REPO, "tests", "dovecot", "hosts"))
    testcase.addCleanup(lambda: (env.clear(), env.update(saved)))


def black_hole(testcase, port):
    """Black-holes [::1]:port to the end of the test: a listener whose accept queue (of one) is full drops
    further SYNs, so a connect there stays unanswered."""
    listener = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    listener.bind(("::1", port))
    listener.listen(0)
    testcase.addCleanup(listener.close)
    testcase.addCleanup(socket.create_connection(("::1", port)).close)


def mailbox_count(pop3):
    """The number of messages the server holds, asked over a POP3 session of our own."""
    session = poplib.POP3(pop3.host, pop3.port, timeout=10)
    try:
        session.user(pop3.user)
        session.pass_(pop3.password)
        return session.stat()[0]
    finally:
        session.quit()


def maildir_files(pop3):
    return sum(len(os.listdir(os.path.join(pop3.directory, "Maildir", sub))) for sub in ("cur", "new"))


class MailCheckTest(harness.SorabuneTestCase):
    def assertNotice(self, app, text, count):
        app.wait_for("MsgForm")
        app.wait_text("MsgForm", "Text2", str(count))
        app.wait_text("MsgForm", "Text1", text)

    def test_three_messages_then_a_failed_connect_reuse_one_notice_and_hang_up(self):
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3)
        app = self.launch(ini=harness.profile("EXEINI", NUMBER=1), id_pass=ACCOUNT,
                          quillo=harness.quillo(pop3=pop3.address), start=False)
        hung_up = self.standin_dial_up(app)  # the auto-disconnect box is ticked
        check_mail(app.start())
        self.assertNotice(app, NEW_MAIL, 3)
        both = ["123400000001", "567800000002"]
        app.wait_until(lambda: hung_up() == both, message="both connections hung up after the check")
        os.makedirs(self.evidence_dir, exist_ok=True)
        app.screenshot(os.path.join(self.evidence_dir, "notice-3-messages.png"))

        notice = app.wait_topmost("MsgForm")
        self.assertEqual(notice["caption"], "新着お知らせ")
        app.wait_gone("SetForm")  # メールチェック closes the settings window after the check
        app.activate("Form2")
        notice, main = app.form("MsgForm"), app.form("Form2")
        self.assertLess(notice["z"], main["z"], "the notice must stay above the main window once that is active")

        self.assertEqual(maildir_files(pop3), 3, "the check must not delete any message")
        self.assertEqual(mailbox_count(pop3), 3, "the mailbox must still hold three messages")

        # A second check while the notice is open: the server is gone, so the connect fails, says why in the
        # error box, and then reports 0.
        pop3.stop()
        check_mail(app)
        box = app.wait_msgbox("エラー")
        self.assertIn("接続できませんでした", box["text"])
        self.assertEqual([button["text"] for button in box["buttons"]], ["OK"])
        app.press_msgbox("OK")
        self.assertNotice(app, NO_MAIL, 0)
        app.wait_until(lambda: hung_up() == both * 2, message="both hung up again after the failed check")
        notices = [form for form in app.forms() if form["name"] == "MsgForm"]
        self.assertEqual(len(notices), 1, "two checks in a row must leave one notice window")
        self.assertEqual(notices[0]["hwnd"], notice["hwnd"], "the notice window must be reused, not recreated")
        self.assertTrue(notices[0]["topmost"])

    def test_a_silent_first_address_costs_a_quarter_second_and_refused_ones_nothing(self):
        resolve_test_names(self)  # dual.test is ::1, then 127.0.0.1
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3)
        black_hole(self, pop3.port)
        for port in (pop3.port, harness.pop3.free_port()):
            app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=harness.quillo(pop3=f"dual.test:{port}"))
            harness.open_settings(app)
            start = time.monotonic()
            app.click("SetForm", "Command6")
            app.wait_until(pop3.logins if port == pop3.port else app.msgboxes, interval=0.02, message="the outcome")
            took = time.monotonic() - start
            log(f"dual.test:{port} ({'served' if port == pop3.port else 'refused'}): {took:.3f} s after the click")
            self.assertLess(took, 5 * self.session.scale, "the check waited for an address that does not answer")
            if port != pop3.port:
                self.assertIn("接続できませんでした", app.wait_msgbox("エラー")["text"])
            app.stop()

    def test_wrong_password_shows_server_reply_then_negative_count(self):
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3)
        app = self.launch(ini=INI, id_pass=harness.profile("EXEINI", NAME=USER, NAME2="wrong", NAME3=1),
                          quillo=harness.quillo(pop3=pop3.address))
        settings = harness.open_settings(app)
        # The settings window opens right over the main window: move it off by its caption.
        left, caption_y = settings["rect"]["x"] + 40, (settings["rect"]["y"] + settings["client"]["y"]) // 2
        app.drag(left, caption_y, left + 250, caption_y)
        app.wait_until(lambda: app.form("SetForm")["rect"]["x"] >= settings["rect"]["x"] + 200, message="moved")
        app.click("SetForm", "Command6")
        box = app.wait_msgbox("エラー")
        self.assertIn("-ERR", box["text"], "the error box should carry the server's reply")
        self.assertEqual([button["text"] for button in box["buttons"]], ["OK"])
        self.assertIsNone(app.form("MsgForm"), "the notice comes only after the error box is closed")
        # The box is modal to the whole program: the main window's close box must not end it mid-check.
        for form in ("Form2", "SetForm"):
            self.assertFalse(app.form(form)["enabled"], f"{form} takes input under the error box")
        main = app.form("Form2")
        seen = app.click_at(main["client"]["x"] + main["client"]["w"] - 8, (main["rect"]["y"] + main["client"]["y"]) // 2)
        self.assertEqual(seen["form"], "Form2", f"the click meant for the main window's close box landed on {seen}")
        time.sleep(3.0 * self.session.scale)  # a program on its way out takes a while under Wine
        self.assertTrue(app.alive(), "a click on the main window's close box ended the program under the error box")
        self.assertEqual([box["title"] for box in app.msgboxes()], ["エラー"])

        app.press_msgbox("OK")
        self.assertNotice(app, NO_MAIL, -1)
        self.assertTrue(app.form("Form2")["enabled"], "the main window takes input again once the box is closed")
        self.assertEqual(app.msgboxes(), [])
        self.assertEqual(mailbox_count(pop3), 3)

    def test_under_code_page_1252_from_a_deep_japanese_folder(self):
        """Windows whose language for non-Unicode programs is not Japanese, the program copied into a folder
        with Japanese names and ★, over 200 characters deep: every text reads whole, the refused login's box
        included, and the jingle's file opens (by its short path, as Wine's +mci trace shows)."""
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3)
        parts = ["ドキュメント", "★コピー"]  # over 200 characters, the files in it within MAX_PATH
        while len("Z:" + os.path.join(self.test_dir, *parts, "Sorabune")) <= 200:
            parts.append("とても長いフォルダーの名前")
        app = self.launch(ini=INI, id_pass=harness.profile("EXEINI", NAME=USER, NAME2="wrong", NAME3=1),
                          quillo=harness.quillo(pop3=pop3.address), folder_name=os.path.join(*parts, "Sorabune"),
                          code_page=1252, winedebug="+mci")
        self.assertEqual(app.wait_for("Form2", timeout=45)["caption"], "Velmora・・・")
        harness.open_settings(app)
        self.assertEqual(app.text("SetForm", "Command6"), "メールチェック")
        app.click("SetForm", "Command6")
        box = app.wait_msgbox("エラー")
        self.assertEqual(box["text"], "ログインできませんでした。サーバーの応答: -ERR [AUTH] Authentication failed.")
        app.press_msgbox("OK")
        self.assertNotice(app, NO_MAIL, -1)
        self.assertEqual(app.form("MsgForm")["caption"], "新着お知らせ")

        harness.open_settings(app)
        app.click("SetForm", "Command3")  # 少女を出す: the jingle
        # The open's result is the first "=> 2/" of the +mci trace before the next command's line.
        opened = re.compile(r'mciSendStringW \(L"open \\"(.*)\n(?:(?!.*mciSendStringW \(L).*\n)*?.*=> 2/ (\w+)')
        trace = pathlib.Path(app.log_path)
        found = app.wait_until(lambda: opened.search(trace.read_text(encoding="utf-8", errors="replace")),
                               message="the jingle's open and its result in the +mci trace")
        log(f"open {found.group(1)}: {found.group(2)}")
        self.assertEqual(found.group(2), "0", "the sequencer could not open the jingle's file")
        self.assertIn("~", found.group(1), "the open should name the file by its short path")

    def test_no_server_set_says_where_quillo_ini_is_read_then_reports_zero(self):
        app = self.launch(ini=INI, id_pass=ACCOUNT)
        check_mail(app)
        box = app.wait_msgbox("エラー")
        self.assertIn("POP3 サーバーが設定されていない", box["text"])
        self.assertIn("「Z:" + app.work_dir.replace("/", "\\") + "」", box["text"], "the working directory is named")
        self.assertIsNone(app.form("MsgForm"), "the notice comes only after the error box is closed")
        app.press_msgbox("OK")
        self.assertNotice(app, NO_MAIL, 0)
        self.assertTrue(app.form("MsgForm")["topmost"])
        app.wait_gone("SetForm")
        self.assertIsNone(app.read_quillo(), "the check must not create quillo.ini")

    def test_apop_login_from_a_hand_edited_quillo_ini(self):
        # A UTF-8 BOM, LF line ends, and UTF-8 lines ending in a lone lead byte of code page 932 ("あ": 0x82):
        # the lines stay apart, so APOP=1 is read.
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3)
        aa = "あ".encode("utf-8")
        app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=b"\xef\xbb\xbf; " + aa + b"\r\nPOP3=" +
                          pop3.address.encode() + b"\nMAIL=" + aa + b"\r\nAPOP=1\n")
        check_mail(app)
        self.assertNotice(app, NEW_MAIL, 3)
        self.assertEqual(app.msgboxes(), [])
        with open(os.path.join(pop3.directory, "dovecot.log"), encoding="utf-8", errors="replace") as f:
            logins = [line for line in f if "Login: user=<" + USER + ">" in line]
        self.assertTrue(logins, "Dovecot logged no login")
        self.assertIn("method=APOP", logins[-1], "the program should have logged in with APOP")

    def test_clear_password_is_stored_protected_and_an_altered_one_is_asked_for(self):
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=1)
        app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=harness.quillo(pop3=pop3.address))
        check_mail(app)
        self.assertNotice(app, NEW_MAIL, 1)
        stored = app.read_id_pass()
        self.assertEqual(harness.encodings_holding(stored, PASSWORD), [], f"the password in clear: {stored!r}")
        self.assertIn(b"\r\nNAME2=\r\n", stored)
        protected = re.search(rb"\r\nNAME2PROTECTED=([A-Za-z0-9+/=]{100,})\r\n", stored)
        self.assertIsNotNone(protected, stored)
        # The protected value alone logs in too.
        check_mail(app)
        app.wait_until(lambda: len(pop3.logins()) == 2, message="a second login, with the protected password")

        # An altered value, like one protected for another user or PC: the dialog asks and nothing is sent.
        blob = bytearray(base64.b64decode(protected.group(1)))
        blob[-1] ^= 0x01
        altered = stored.replace(protected.group(1), base64.b64encode(bytes(blob)))
        app.stop()
        app.write_id_pass(altered)
        app.start()
        check_mail(app)
        self.assertNotice(app, NO_MAIL, 0)
        self.assertTrue(app.wait_for("IdPassForm")["visible"])
        self.assertEqual(app.text("IdPassForm", "IdText"), USER)
        self.assertEqual(app.msgboxes(), [])
        self.assertEqual(len(pop3.logins()), 2, "no login may be tried without a readable password")
        self.assertEqual(app.read_id_pass(), altered, "the unreadable value stays until the user saves again")

    def test_encrypted_checks_through_the_tls_port_stls_and_in_clear(self):
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="server")
        for server, encrypted in ((f"pop3s://localhost:{pop3.tls_port}", True), (f"127.0.0.1:{pop3.port}", True),
                                  (f"pop3://localhost:{pop3.port}", False)):
            with self.subTest(server=server):
                app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=harness.quillo(pop3=server))
                check_mail(app)
                self.assertNotice(app, NEW_MAIL, 3)
                self.assertEqual(app.msgboxes(), [])
                login = pop3.logins()[-1]
                log(f"{server}: {login}")
                self.assertEqual(" TLSv1." in login, encrypted, login)
                # SNI names the host, never an address (Dovecot leaves out an empty one).
                self.assertEqual("sni=<localhost>" in login, server.startswith("pop3s://localhost"), login)
                self.assertEqual("sni=" in login, server.startswith("pop3s://localhost"), login)
                app.stop()
        self.assertEqual(mailbox_count(pop3), 3)

    def assertRefusedBeforeLogin(self, pop3, server, *texts):
        """A check against `server` ends in the error box, holding every one of `texts`, before any login."""
        app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=harness.quillo(pop3=server))
        check_mail(app)
        box = app.wait_msgbox("エラー")
        shown = box["text"].replace("\r\n", "\n")
        log(f"{server}: {shown!r}")
        for text in texts:
            self.assertIn(text, shown, server)
        self.assertEqual([button["text"] for button in box["buttons"]], ["OK"])
        self.assertIsNone(app.form("MsgForm"), "the notice comes only after the error box is closed")
        app.press_msgbox("OK")
        self.assertNotice(app, NO_MAIL, 0)
        self.assertEqual(pop3.logins(), [], "nothing may be sent once the certificate failed")
        app.stop()

    def test_certificate_for_another_name_is_refused_before_login(self):
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="other")
        self.assertRefusedBeforeLogin(
            pop3, f"localhost:{pop3.port}",
            NAME_MISMATCH + "証明書にある名前: other.example\nPOP3 サーバーの設定を証明書にある名前にするか、"
            f"暗号化しない接続でよければ「pop3://localhost:{pop3.port}」にしてください。")
        # A wildcard over a whole top-level domain (Wine's own check takes it), a certificate that names the
        # host only in its CN, an untrusted issuer, and a TLS 1.3-only server: Wine's SChannel offers 1.2 at most.
        resolve_test_names(self)
        tld = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="tld")
        self.assertRefusedBeforeLogin(tld, f"pop3s://pop.test:{tld.tls_port}", NAME_MISMATCH + "証明書にある名前: *.test\n")
        cn_only = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="cnonly")
        self.assertRefusedBeforeLogin(
            cn_only, f"pop3s://localhost:{cn_only.tls_port}",
            NAME_MISMATCH + "この証明書には、サーバー名を示す欄 (subjectAltName) に名前がありません。\n"
            "暗号化しない接続でよければ、POP3 サーバーの設定を「pop3://localhost」にしてください。")
        self_signed = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="self")
        self.assertRefusedBeforeLogin(self_signed, f"pop3s://localhost:{self_signed.tls_port}",
                                      "サーバーの証明書の発行者が信頼されていないため、接続を切りました。\n発行者: localhost\n")
        tls13 = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="server", tls_min="TLSv1.3")
        self.assertRefusedBeforeLogin(
            tls13, f"pop3s://localhost:{tls13.tls_port}",
            "TLS (暗号化通信) の準備中に、サーバーが何も返さずに接続を切りました。このシステムの TLS は 1.2 までのため、"
            "サーバーが TLS 1.3 にだけ対応していると考えられます。\n"
            "暗号化しない接続でよければ、POP3 サーバーの設定を「pop3://localhost」にしてください。")

    def test_certificate_names_follow_the_same_rules_as_natively(self):
        resolve_test_names(self)
        pop3 = self.start_pop3(user=USER, password=PASSWORD, messages=3, tls="names")
        # A wildcard stands for one whole leftmost label, an IDN one too; an address needs an IP entry.
        for host in ("pop.partial.test", "127.0.0.1"):
            self.assertRefusedBeforeLogin(pop3, f"pop3s://{host}:{pop3.tls_port}",
                                          NAME_MISMATCH + "証明書にある名前: *.example.test, p*.partial.test, 127.0.0.1\n")
        app = self.launch(ini=INI, id_pass=ACCOUNT, quillo=harness.quillo(pop3=f"pop3s://xn--bcher-kva.example.test:{pop3.tls_port}"))
        check_mail(app)
        self.assertNotice(app, NEW_MAIL, 3)
        self.assertEqual(app.msgboxes(), [])


if __name__ == "__main__":
    unittest.main()
