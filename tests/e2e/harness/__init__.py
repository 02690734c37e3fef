"""End-to-end harness: the real Sorabune.exe under Wine on a virtual X display, driven like a user.

Running
    cmake --preset windows && cmake --build --preset windows      # Sorabune.exe and sbdriver.exe
    python3 -m unittest -v tests.e2e.test_startup                 # from the repository root
    ctest --test-dir build/linux -L e2e                           # all e2e tests through CTest

Environment variables
    SORABUNE_WINDOWS_BUILD      Windows build folder holding dist/ and sbdriver.exe (default build/windows)
    SORABUNE_E2E_DRIVER         explicit path of sbdriver.exe
    SORABUNE_E2E_PREFIX_CACHE   folder for a pristine Wine prefix that each run copies instead of running
                                wineboot (about 10 s saved per run; rebuilt when the Wine version changes)
    SORABUNE_E2E_ARTIFACTS      where a failing test leaves its screenshot, logs and settings files
                                (default /tmp/sorabune-e2e-artifacts)
    SORABUNE_E2E_TIMEOUT_SCALE  multiplies every timeout (default 1)
    SORABUNE_E2E_KEEP=1         keep the run's temporary folder (prefix, program copies, logs)
    SORABUNE_E2E_WINEDEBUG      WINEDEBUG for the wine processes (default -all)
A run without the Windows build, wine or Xvfb is skipped with a message holding "E2E-SKIP", which CTest
reports as "Skipped". A test needing Dovecot when it is missing is skipped on its own (CTest: passed).

Writing a test
    from tests.e2e import harness

    class MailCheckTest(harness.SorabuneTestCase):
        def test_three_new_messages(self):
            pop3 = self.start_pop3(user="taro", password="secret", messages=3)
            app = self.launch(ini=harness.profile("EXEINI", NUMBER=0),
                              id_pass=harness.profile("EXEINI", NAME="taro", NAME2="secret", NAME3=1),
                              quillo=harness.quillo(pop3=pop3.address))
            app.wait_for("Form2")
            app.click("Form2", "Command2")            # 操作
            app.wait_for("SetForm")
            app.click("SetForm", "Command6")          # メールチェック
            app.wait_for("MsgForm")
            app.wait_text("MsgForm", "Text2", "3")

One environment per test process (SorabuneTestCase.setUpClass -> Session.get()): a ja_JP.UTF-8 locale
(generated when missing), Xvfb 1024x768x24 on a free display, a fresh Wine prefix whose processes share
the default desktop "Default" of 1024x768, and a persistent wineserver; all torn down at exit (a watchdog
also cleans up when the process is killed). Each test gets its own folder: a copy of dist/ as the program
folder and a separate working directory.

SorabuneTestCase
    launch(ini=None, id_pass=None, quillo=None, folder_name="Sorabune", blank_in_path=False,
           cwd="work", mail_data=True, start=True) -> App
        Copies the program, writes ★MailData\\ini.ini, ★MailData\\iniIdPass.ini and <cwd>\\quillo.ini
        (str is encoded as CP932 with CR LF; bytes are written as they are; None writes no file), and
        starts Sorabune.exe with `wine` in cwd ("work", "program" or an absolute path). Stopped at the end
        of the test. start=False returns the prepared App; call app.start() yourself.
    start_pop3(user="taro", password="secret", messages=0, size=None, tls=None) -> Pop3Server
        Dovecot on 127.0.0.1; .host, .port, .address ("127.0.0.1:PORT"), .logins(), .stop(). Stopped after
        the test. tls="server" (for localhost) or "other" (for another name): a certificate from a test CA
        made for the run and trusted in its Wine prefix; TLS on .tls_port, STLS offered on .port.
    assertCentredOnScreen(form_state, tolerance=2), assertFileBytes(path, expected_str_or_bytes_or_None)
    standin_dial_up(app) -> hung_up: before app.start(), puts the stand-in rasapi32.dll (two connections,
        answering as Windows does) into the prefix for this test and overrides to it in app.env;
        hung_up() lists the handles hung up so far, in order, as hex texts.
    test_dir, session (display, env, prefix, screenshot(path, crop=None)), apps
save_screen(session, path, crop=None) -> path: a screenshot kept for a person; raises when not taken.
open_settings(app) -> the settings window (SetForm), opened with the main window's 操作 button.
    A failing test leaves final-screen.png, program.log, driver.log and the settings files under
    SORABUNE_E2E_ARTIFACTS/<test folder>/.

App (timeouts in seconds, all scaled by SORABUNE_E2E_TIMEOUT_SCALE; waits poll every 0.1 s)
    Paths: program_dir, work_dir, mail_data_dir, exe, ini_path, id_pass_path, quillo_path, log_path
    env: the program's environment (the session's, unless the test gives one run its own)
    Files: write_ini(c), write_id_pass(c), write_quillo(c, folder=None), read_ini(), read_id_pass(),
           read_quillo()  (reads return bytes or None)
    Process: start() (again after the program ended: a restart on the same folders and files),
             alive(), pid (Windows pid), proc (Popen of the wine process),
             wait_exit(timeout=15) -> exit status, stop()
    Looking (each returns what is true right now):
        forms() -> [form]; form(name) -> form or None when not loaded
            form = {name, hwnd, pid, visible, enabled, topmost, iconic, foreground, z (0 = frontmost),
                    rect {x,y,w,h} (window, screen coords), client {x,y,w,h} (screen coords), caption,
                    class, style, exstyle}
        controls(form) -> [control]; control(form, name) -> control; text(form, name); checked(form, name)
            control = {name, form, hwnd, class, id, text, check (0/1/2, None if not a check box),
                       rect {x,y,w,h} (screen), visible, own_visible, in_client (centre inside the form's
                       client area), enabled, focus, style, password_char (edits; None when unmasked)}
        focus() -> {control, form, focus, active, foreground, hwnd}   (foreground thread's focus)
        region(form) -> {type: "none"|"null"|"simple"|"complex", count, bounds [l,t,r,b], area,
                         rects [[l,t,r,b]...] in window coordinates, window {x,y,w,h}}
        msgboxes() -> [{title, text, buttons [{text, id, rect}], visible, foreground, rect, hwnd, pid}]
        info() -> {w, h, acp, oemcp, dpi_x, dpi_y, work, cursor, driver_pid}
        at(x, y) -> {form, control, class, hwnd, what}; pixel(x, y) -> (r, g, b); windows() -> all windows
    Waiting (fail with a screenshot and the forms' state on timeout):
        wait_for(form, visible=True|False|None, timeout=15) -> form
        wait_gone(form, timeout=15); wait_text(form, control, text, timeout=15)
        wait_msgbox(title=None, timeout=15) -> box
        wait_until(predicate, timeout=15, message="...") -> predicate's truthy value
    Acting (real input through SendInput; returns as soon as the input is queued):
        click(form, control, button="left", activate=True, wait_uncovered=5)   fails when the centre is
            outside the form's client area, off screen, or covered by another window for wait_uncovered s
        click_at(x, y, button="left"); mouse_down/mouse_up(x, y, button); mouse_move(x, y)
        drag(x1, y1, x2, y2, steps=10, button="left")
        key(*chords, form=None)   "space", "enter", "esc", "tab", "shift+tab", "alt+f4", "a", "f5", ...
        type(text, form=None)     Unicode characters (KEYEVENTF_UNICODE)
        close(form)               the close box (WM_SYSCOMMAND SC_CLOSE)
        activate(form); press_msgbox(caption)   ("はい" matches "はい(&Y)")
    Evidence: screenshot(path=None) -> path; call(command, *args, check=True) for any driver command.

Driver commands (sbdriver.exe; one line in, one JSON line out with "ok"): info|screen, forms, form F,
controls F, control F C, click F C [button] [noactivate], click_at X Y [button], mouse_down X Y [button],
mouse_up X Y [button], mouse_move X Y, drag X1 Y1 X2 Y2 [steps] [button], key CHORD..., type TEXT,
close F, activate F, focus, region F, msgbox, msgbox_press CAPTION, pid, wait_exit PID MS, at X Y,
pixel X Y, windows, hold PATH MS (opens the file sharing read and write, not delete, for MS ms; returns at once). Arguments with blanks are JSON string literals.
"""

from .app import App, open_settings
from .driver import DriverError
from .environment import Session, save_screen
from .files import encodings_holding, profile, quillo, read_bytes, read_cp932, to_cp932, write_cp932
from .pop3 import Pop3Server
from .testcase import SorabuneTestCase

__all__ = ["App", "DriverError", "Pop3Server", "Session", "SorabuneTestCase", "encodings_holding", "open_settings",
           "profile", "quillo", "read_bytes", "read_cp932", "save_screen", "to_cp932", "write_cp932"]
