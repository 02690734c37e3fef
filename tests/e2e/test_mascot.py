"""The mascot once it is out on the desktop: topmost, cut to the outline of the frame it shows, wandering
within the screen while it animates, and ending the program on a right-button press inside the outline.

The expected outlines are worked out here from the frame GIFs themselves (decoded by ImageMagick), so a
wrong key colour, a missing strip or a wrong banding shows up as a mismatch with the window's region."""

import os
import subprocess
import time
import unittest

from tests.e2e import harness
from tests.e2e.harness.environment import log
from tests.e2e.harness.testcase import artifacts_root

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FRAMES_DIR = os.path.join(REPO, "resources", "frames")
FRAME_W, FRAME_H = 80, 100
# The outline scan runs one point past the picture on the right and below; those points are never the key
# colour, so every outline also holds that L-shaped strip (outside the window, which clips it).
SCAN_LAST = 100
# Steps per 500 ms tick are at most 5 pixels sideways and 20 up or down.
MAX_STEP_X, MAX_STEP_Y = 5, 20
TICK = 0.5
WANDER_SECONDS = 20.0
SAMPLE_EVERY = 0.5
# The appearance sequence shows the mascot at its 14th one-second tick; allow for a slow machine.
APPEARANCE_TIMEOUT = 25.0

INI = harness.profile("EXEINI", NUMBER=0)
QUILLO = harness.quillo()


# ----- frame pictures --------------------------------------------------------------------------------------------

def read_gif(path):
    """(width, height, [(r, g, b), ...] row by row) of the first image of a GIF file, decoded by ImageMagick."""
    first = f"{path}[0]"
    size = subprocess.run(["identify", "-format", "%w %h %g", first], capture_output=True, text=True, timeout=30,
                          check=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    if size[2] != f"{width}x{height}+0+0":
        raise ValueError(f"{path}: the image does not cover the whole picture ({size[2]})")
    rgb = subprocess.run(["convert", first, "-depth", "8", "rgb:-"], capture_output=True, timeout=30,
                         check=True).stdout
    if len(rgb) != 3 * width * height:
        raise ValueError(f"{path}: {len(rgb)} bytes of pixels for {width}x{height}")
    return width, height, [tuple(rgb[i:i + 3]) for i in range(0, len(rgb), 3)]


def figure_mask(path):
    """mask[y][x] over the scanned square: True where the outline includes the point."""
    width, height, pixels = read_gif(path)
    if (width, height) != (FRAME_W, FRAME_H):
        raise ValueError(f"{path} is {width}x{height}, not {FRAME_W}x{FRAME_H}")
    key = pixels[0]
    return [[x >= width or y >= height or pixels[y * width + x] != key for x in range(SCAN_LAST + 1)]
            for y in range(SCAN_LAST + 1)]


def banded_rects(mask):
    """The mask as the window system keeps a region: bands from top to bottom, rectangles left to right, and
    rows with the same spans directly below one another merged into one band."""
    rects, band, band_rects = [], None, []
    for y, row in enumerate(mask):
        spans, x = [], 0
        while x < len(row):
            if row[x]:
                start = x
                while x < len(row) and row[x]:
                    x += 1
                spans.append((start, x))
            else:
                x += 1
        if spans and spans == band and band_rects and band_rects[0][3] == y:
            for r in band_rects:
                r[3] = y + 1
            continue
        band = spans
        band_rects = [[left, y, right, y + 1] for left, right in spans]
        rects.extend(band_rects)
    return rects


FRAME_FILES = [os.path.join(FRAMES_DIR, f"girl{k}.gif") for k in range(4)]


def expected_outlines():
    """Picture number (0..3, frames k and k + 4 share one) -> its outline's rectangles."""
    return {k: banded_rects(figure_mask(path)) for k, path in enumerate(FRAME_FILES)}


def steady_points(masks, inside=True):
    """Points of the window that stay inside the figure of every picture (inside=True), or never on it
    (inside=False: cut away or off the window), after one more tick's step in any direction; a look or a
    press there finds the same whatever the mascot does in between."""
    def on_figure(m, x, y):
        return 0 <= x < FRAME_W and 0 <= y < FRAME_H and m[y][x]

    points = []
    for y in range(FRAME_H):
        for x in range(FRAME_W):
            if all(on_figure(m, x + dx, y + dy) == inside for m in masks for dy in range(-MAX_STEP_Y, MAX_STEP_Y + 1)
                   for dx in range(-MAX_STEP_X, MAX_STEP_X + 1)):
                points.append((x, y))
    return points


# ----- the tests -------------------------------------------------------------------------------------------------

class MascotTest(harness.SorabuneTestCase):
    def test_mascot_is_shaped_wanders_on_screen_and_right_press_ends_program(self):
        outlines = expected_outlines()
        masks = [figure_mask(path) for path in FRAME_FILES]
        app = self.launch(ini=INI, quillo=QUILLO)
        app.wait_for("Form2", visible=True, timeout=45)
        app.key("space")  # the hidden イベント button holds the focus and starts the appearance sequence
        mascot = app.wait_for("Form1", visible=True, timeout=APPEARANCE_TIMEOUT)
        screen = app.info()
        self.assertTrue(mascot["topmost"], f"the mascot must stay above other windows: {mascot}")

        samples = self._wander(app, outlines)
        self._check_samples(samples, screen)
        self._check_cut_away_points_belong_to_what_is_behind(app, masks)
        self._right_press_ends_program(app, masks)

    # ----- looks every half second while it wanders, with a screenshot half way ----------------------------------
    def _wander(self, app, outlines):
        samples, shot_taken = [], False
        started = time.monotonic()
        while time.monotonic() - started < WANDER_SECONDS:
            at = time.monotonic()
            form = app.form("Form1")
            self.assertIsNotNone(form, "the mascot window was unloaded while it wandered")
            region = app.region("Form1")
            picture = next((k for k, rects in outlines.items() if rects == region["rects"]), None)
            samples.append({"t": at - started, "form": form, "region": region, "picture": picture})
            if not shot_taken and at - started > WANDER_SECONDS / 2:
                self._screenshots(app, form)
                shot_taken = True
            time.sleep(max(0.0, SAMPLE_EVERY - (time.monotonic() - at)))
        return samples

    def _screenshots(self, app, form):
        folder = os.path.join(artifacts_root(), "mascot")
        harness.save_screen(self.session, os.path.join(folder, "mascot-on-desktop.png"))
        r = form["rect"]
        x, y = max(0, r["x"] - 40), max(0, r["y"] - 40)
        harness.save_screen(self.session, os.path.join(folder, "mascot-closeup.png"),
                    {"x": x, "y": y, "w": r["w"] + 80, "h": r["h"] + 80})

    def _check_samples(self, samples, screen):
        for s in samples:
            form, region = s["form"], s["region"]
            where = f"at {s['t']:.1f} s"
            self.assertTrue(form["visible"] and form["topmost"], f"{where}: mascot not visible and topmost: {form}")
            rect = form["rect"]
            self.assertEqual((rect["w"], rect["h"]), (FRAME_W, FRAME_H), f"{where}: mascot size {rect}")
            self.assertTrue(0 <= rect["x"] and rect["x"] + rect["w"] <= screen["w"] and 0 <= rect["y"]
                            and rect["y"] + rect["h"] <= screen["h"], f"{where}: mascot not fully on screen: {rect}")
            self.assertEqual(region["type"], "complex", f"{where}: the mascot has no outline: {region}")
            self.assertIsNotNone(
                s["picture"], f"{where}: the window region ({region['count']} rectangles, bounds "
                f"{region['bounds']}) matches none of the frame pictures; first rectangles {region['rects'][:6]}")
        for before, after in zip(samples, samples[1:]):
            a, b = before["form"]["rect"], after["form"]["rect"]
            # One tick more than the interval holds, for the time each look takes.
            ticks = int((after["t"] - before["t"]) / TICK) + 2
            between = f"between {before['t']:.1f} and {after['t']:.1f} s"
            self.assertLessEqual(abs(b["x"] - a["x"]), MAX_STEP_X * ticks,
                                 f"moved {b['x'] - a['x']} px sideways {between}")
            self.assertLessEqual(abs(b["y"] - a["y"]), MAX_STEP_Y * ticks,
                                 f"moved {b['y'] - a['y']} px up or down {between}")
        positions = {(s["form"]["rect"]["x"], s["form"]["rect"]["y"]) for s in samples}
        pictures = {s["picture"] for s in samples}
        shown = sorted(p for p in pictures if p is not None)
        log(f"mascot: {len(samples)} looks, {len(positions)} places, pictures {shown}")
        self.assertGreater(len(positions), 1, f"the mascot did not move in {WANDER_SECONDS:.0f} s: {positions}")
        self.assertGreater(len(pictures), 1, f"the mascot did not change its picture in {WANDER_SECONDS:.0f} s")

    def _check_cut_away_points_belong_to_what_is_behind(self, app, masks):
        points = [p for p in steady_points(masks, inside=False) if p[0] >= 1 and p[1] >= 1]
        self.assertTrue(points, "no point is silver in every frame picture")
        x, y = points[0]
        rect = app.form("Form1")["rect"]
        seen = app.at(rect["x"] + x, rect["y"] + y)
        self.assertNotEqual(seen.get("form"), "Form1",
                            f"the silver point ({x}, {y}) of the mascot still belongs to its window: {seen}")

    # ----- the right button ends the program ---------------------------------------------------------------------
    def _right_press_ends_program(self, app, masks):
        points = steady_points(masks)
        self.assertTrue(points, "no point lies inside every frame picture's figure")
        px, py = points[len(points) // 2]
        rect = app.form("Form1")["rect"]
        inside = [r for r in app.region("Form1")["rects"] if r[0] <= px < r[2] and r[1] <= py < r[3]]
        self.assertTrue(inside, f"({px}, {py}) should lie inside the mascot's current outline")
        seen = app.click_at(rect["x"] + px, rect["y"] + py, "right")
        pressed = time.monotonic()
        self.assertEqual(seen.get("form"), "Form1", f"the right press did not land on the mascot: {seen}")
        try:
            app.proc.wait(timeout=10 * self.session.scale)
        except subprocess.TimeoutExpired:
            app.fail("a right-button press on the mascot did not end the program")
        took = time.monotonic() - pressed
        self.assertLess(took, 2.0 * self.session.scale, f"the program took {took:.1f} s to end after the right press")


if __name__ == "__main__":
    unittest.main()
