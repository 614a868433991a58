#!/usr/bin/python3
"""The page in headless Chromium, held against plughost. Every real palette
of the corpus, opened on the page, shows the entries `plughost open` gives,
group by group, each swatch named by its group, index and colour, or
plughost's refusal word for word; a colour changed on the page and the
palette downloaded in its own form is the file `plughost save --into` makes
of the same change, and the swatch then shows what the file holds; the
other downloads (a 24-bit palette, .gpl, .pal, PNG swatch) are the files
plughost writes; a palette cut short shows plughost's refusal; ten palettes
converted in one go on the page are, in the zip it downloads, the files of
one `plughost open --group all`, with a line a palette; a .gpl, a PNG swatch
and a text dropped on a group are what `plughost save --into --group 1`
makes of them; a palette of 4,000 groups opens with no task over 100 ms
and draws only the groups near the view; KiSS sets show the doll that
draw_doll draws natively, byte for byte, and redraw it within a frame as a
colour changes (check_sets); axe-core finds no violation; the page fits
360 px. Also prints how long each opening took on the page, the
longest task while the big palette opens and the page's size, which are
measured, not judged (but for that longest task).

    page_test.py PAGE_DIR PLUGHOST CORPUS_DIR DATA_DIR WORK_DIR --axe AXE_MIN_JS
                 --kiss-sets SETS_DIR --draw-doll DRAW_DOLL [--screenshot PNG] [--doll-screenshot PNG]
"""
import base64
import io
import os
import shutil
import statistics
import struct
import subprocess
import sys
import time
import zipfile
import zlib

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

page_dir, plughost, corpus, data, work = (os.path.abspath(a) for a in sys.argv[1:6])
options = dict(zip(sys.argv[6::2], sys.argv[7::2]))
axe = options.get("--axe")
screenshot = options.get("--screenshot")
doll_screenshot = options.get("--doll-screenshot")
kiss_sets = options.get("--kiss-sets")
draw_doll = options.get("--draw-doll")
failures = []
checks = 0


def check(ok, what):
    global checks
    checks += 1
    if not ok:
        failures.append(what)
        print("FAILED:", what)


def run_plughost(args, cwd):
    done = subprocess.run([plughost] + args, cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stderr


def refusal_of(stderr):
    """plughost's first sentence of refusal, without its prefix."""
    for line in stderr.splitlines():
        if line.startswith("plughost: ") and not line.startswith("plughost: note: "):
            return line[len("plughost: "):]
    return ""


def read_ppm(path):
    with open(path, "rb") as f:
        data_ = f.read()
    fields, at = [], 0
    while len(fields) < 4:  # P6, width, height, maximum
        while data_[at:at + 1].isspace():
            at += 1
        end = at
        while not data_[end:end + 1].isspace():
            end += 1
        fields.append(data_[at:end])
        at = end
    pixels = data_[at + 1:]
    return int(fields[1]), int(fields[2]), ["#%02x%02x%02x" % tuple(pixels[i:i + 3])
                                            for i in range(0, len(pixels), 3)]


def write_ppm(path, columns, rows, hexes):
    body = b"".join(bytes.fromhex(h[1:]) for h in hexes)
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (columns, rows) + body)


def group_args(layer):
    return [] if layer == "palette" else ["--group", layer.split()[1]]


def start_browser():
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1200,1000"):
        options.add_argument(arg)
    # Every download saved without asking, however many the page makes.
    options.add_experimental_option("prefs", {
        "download.prompt_for_download": False,
        "profile.default_content_setting_values.automatic_downloads": 1})
    driver = webdriver.Chrome(options=options)
    fresh_page(driver)
    return driver


def fresh_page(driver):
    """The page loaded anew, its module ready."""
    driver.get("file://" + page_dir + "/index.html")
    WebDriverWait(driver, 20).until(
        lambda d: d.find_element(By.ID, "status").text.startswith("Choose"))


# A group's swatches are drawn as it comes into view: each is scrolled to
# and read once drawn.
CARD = """const [c, done] = [arguments[0], arguments[arguments.length - 1]];
const frame = () => new Promise(r => requestAnimationFrame(() => setTimeout(r, 0)));
(async () => {
  const layers = [];
  for (const g of c.querySelectorAll('.group')) {
    g.scrollIntoView();
    for (let i = 0; i < 100 && !g.querySelector('.swatch'); ++i) await frame();
    layers.push({name: g.querySelector('h3').textContent,
                 hexes: [...g.querySelectorAll('.swatch')].map(b => b.dataset.hex),
                 labels: [...g.querySelectorAll('.swatch')].map(b => b.getAttribute('aria-label'))});
  }
  done({name: c.querySelector('.name').textContent, form: c.querySelector('.form').textContent,
        refusal: c.querySelector('.refusal').textContent, ms: Number(c.dataset.openMs),
        history: c.querySelector('.history').textContent,
        notes: [...c.querySelectorAll('.notes li')].map(l => l.textContent), layers});
})();"""


def open_on_page(driver, path):
    cards = driver.find_elements(By.CSS_SELECTOR, ".palette")
    files = driver.find_element(By.ID, "files")
    driver.execute_script("arguments[0].value = '';", files)
    files.send_keys(path)
    WebDriverWait(driver, 60).until(
        lambda d: len(d.find_elements(By.CSS_SELECTOR, ".palette")) > len(cards))
    card = driver.find_elements(By.CSS_SELECTOR, ".palette")[-1]
    WebDriverWait(driver, 60).until(lambda d: card.get_attribute("data-open-ms"))
    return card, driver.execute_async_script(CARD, card)


def download(driver, card, format_, layer, folder):
    """Downloads `card`'s palette in `format_` into `folder`; the file's name
    and bytes, or the refusal the page shows."""
    os.makedirs(folder, exist_ok=True)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder})
    driver.execute_script("""const c = arguments[0];
        c.querySelector('.format').value = arguments[1];
        c.querySelector('.layer').value = String(arguments[2]);""", card, format_, layer)
    card.find_element(By.CSS_SELECTOR, ".save").click()
    deadline = time.time() + 20
    while time.time() < deadline:
        names = [n for n in os.listdir(folder) if not n.endswith(".crdownload")]
        if names:
            time.sleep(0.05)
            with open(os.path.join(folder, names[0]), "rb") as f:
                return names[0], f.read()
        refusal = card.find_element(By.CSS_SELECTOR, ".refusal").text
        if refusal:
            return None, refusal
        time.sleep(0.05)
    return None, "no download"


def change_colour(driver, card, layer, index, colour):
    swatch = card.find_elements(By.CSS_SELECTOR, ".group")[layer].find_elements(
        By.CSS_SELECTOR, ".swatch")[index]
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", swatch)
    swatch.click()
    at = driver.execute_script("""const [s, p] = [arguments[0].getBoundingClientRect(),
        document.getElementById('picker').getBoundingClientRect()];
        return [p.left - s.left, p.top - s.bottom];""", swatch)
    check(all(abs(d) <= 1 for d in at), "the colour chooser opens at its swatch, not %s px off" % at)
    driver.execute_script("""const p = document.getElementById('picker');
        p.value = arguments[0]; p.dispatchEvent(new Event('change'));""", colour)
    return swatch


def inverse(hex_):
    return "#%06x" % (int(hex_[1:], 16) ^ 0xFFFFFF)


def read_gpl(path):
    """The colours of a GIMP palette, as #rrggbb."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    body = lines[lines.index("#") + 1:]
    return ["#%02x%02x%02x" % tuple(int(v) for v in line.split()[:3]) for line in body if line.strip()]


def expected_layers(name, folder, layers):
    """What plughost open gives for each of the page's layers: its image,
    and the entries of the file, which its palette text lists."""
    shown = []
    for k, layer in enumerate(layers):
        status, err = run_plughost(["open", name] + group_args(layer["name"]) +
                                   ["--out", "layer%d.ppm" % k], folder)
        run_plughost(["open", name] + group_args(layer["name"]) + ["--out", "layer%d.gpl" % k], folder)
        shown.append(read_ppm(os.path.join(folder, "layer%d.ppm" % k)) +
                     (read_gpl(os.path.join(folder, "layer%d.gpl" % k)),) if status == 0 else err)
    return shown


def expected_refusal(name, folder):
    _, err = run_plughost(["open", name, "--out", "whole.ppm"], folder)
    # A palette of several groups opens on the page a group at a time.
    if "--group" in refusal_of(err):
        _, err = run_plughost(["open", name, "--group", "all", "--out-dir", "groups"], folder)
    return refusal_of(err)


def check_palette(driver, path, serial, timings, other_formats):
    name = os.path.basename(path)
    folder = os.path.join(work, "case%d" % serial)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    # A copy of its own that plughost may rewrite: the corpus is read-only.
    shutil.copyfile(path, os.path.join(folder, name))
    card, shown = open_on_page(driver, path)
    check(shown["name"] == name, name + ": the card names the file")
    if shown["refusal"]:
        want = expected_refusal(name, folder)
        check(shown["refusal"] == want, "%s: the page says %r, plughost %r" % (name, shown["refusal"], want))
        check(not shown["layers"], name + ": a refused palette shows no colours")
        return
    timings.append((shown["ms"], name))
    check(shown["history"].startswith("History note: Morvid: ref num="), name + ": history note shown")
    check(shown["form"] != "", name + ": form shown")
    expected = expected_layers(name, folder, shown["layers"])
    for layer, want in zip(shown["layers"], expected):
        check(isinstance(want, tuple) and layer["hexes"] == want[3] == want[2][:len(want[3])],
              "%s %s: the page shows the group's own entries, plughost open's colours (%d swatches)"
              % (name, layer["name"], len(layer["hexes"])))
        check(layer["labels"] == ["%s, colour %d: %s" % (layer["name"], i, h) for i, h in enumerate(layer["hexes"])],
              "%s %s: every swatch is named by its group, index and colour" % (name, layer["name"]))
    # One colour of the last layer changed, then the palette downloaded in its own form.
    last = len(shown["layers"]) - 1
    columns, rows, hexes, held = expected[last]
    index = (serial * 37 + 5) % len(held)
    # Not a colour of 4 bits a channel, so that a 12-bit palette writes
    # another than the one chosen.
    colour = "#%06x" % (int(inverse(hexes[index])[1:], 16) ^ 0x010101)
    swatch = change_colour(driver, card, last, index, colour)
    check(swatch.get_attribute("data-hex") == colour, name + ": the swatch shows the new colour")
    got_name, got = download(driver, card, "kcf", last, os.path.join(folder, "own"))
    said = driver.find_element(By.ID, "status").text
    edited = list(hexes)
    edited[index] = colour
    write_ppm(os.path.join(folder, "edited.ppm"), columns, rows, edited)
    status, err = run_plughost(["save", "edited.ppm", "--into", name] +
                               group_args(shown["layers"][last]["name"]), folder)
    with open(os.path.join(folder, name), "rb") as f:
        want = f.read()
    check(status == 0 and got_name == name and got == want,
          "%s: the download in its own form is save --into's bytes (%s)" % (name, err.strip() or got_name))
    check(said == "Saved %s, %s bytes." % (name, format(len(got), ",")),
          "%s: one short line after a download: %r" % (name, said[:200]))
    # The swatch then shows what the file holds, as plughost opens it.
    run_plughost(["open", name] + group_args(shown["layers"][last]["name"]) + ["--out", "saved.ppm"], folder)
    held_now = read_ppm(os.path.join(folder, "saved.ppm"))[2][index]
    try:
        WebDriverWait(driver, 10).until(lambda d: swatch.get_attribute("data-hex") == held_now)
    except Exception:
        pass
    check(swatch.get_attribute("data-hex") == held_now, "%s: after the save the swatch shows %s as written, %s"
          % (name, held_now, swatch.get_attribute("data-hex")))
    if not other_formats:
        return
    group = group_args(shown["layers"][last]["name"])
    stem = os.path.splitext(name)[0] + ("-" + group[1] if group else "")
    for format_, args, out in (("gpl", [], stem + ".gpl"), ("pal", [], stem + ".pal"),
                               ("png", ["--swatch", "16"], stem + ".png")):
        got_name, got = download(driver, card, format_, last, os.path.join(folder, format_))
        status, err = run_plughost(["open", name] + group + args + ["--out", out], folder)
        with open(os.path.join(folder, out), "rb") as f:
            check(got_name == out and got == f.read(),
                  "%s: the %s download is plughost open's %s (%s %s)" % (name, format_, out, got_name, err.strip()))
    got_name, got = download(driver, card, "kcf24", last, os.path.join(folder, "kcf24"))
    status, err = run_plughost(["save", "saved.ppm", "--out", "new.kcf"], folder)
    with open(os.path.join(folder, "new.kcf"), "rb") as f:
        check(len(got) == 800 and got == f.read(),
              "%s: the 24-bit download is plughost save's 800 bytes (%s)" % (name, got_name))
    # Undone, the swatch shows its colour again; arrow keys move along the grid.
    card.find_element(By.CSS_SELECTOR, ".undo").click()
    check(swatch.get_attribute("data-hex") == hexes[index], name + ": undo restores the colour")
    first = card.find_elements(By.CSS_SELECTOR, ".swatch")[0]
    driver.execute_script("arguments[0].focus();", first)
    first.send_keys(Keys.ARROW_RIGHT)
    focused = driver.switch_to.active_element
    check(focused.get_attribute("aria-label") == shown["layers"][0]["labels"][1],
          name + ": the right arrow moves to the next swatch")
    # Which group is written is asked only where it matters.
    which = card.find_element(By.CSS_SELECTOR, ".which")
    for format_, asked in (("kcf", False), ("gpl", len(shown["layers"]) > 1)):
        driver.execute_script("""const f = arguments[0].querySelector('.format');
            f.value = arguments[1]; f.dispatchEvent(new Event('change'));""", card, format_)
        check(which.is_displayed() == asked, "%s: 'of group' %s for %s" % (name, "shown" if asked else "hidden", format_))


def write_palette(path, per_group, groups):
    """A 24-bit palette whose every colour differs from its neighbours."""
    header = b"KiSS" + bytes([16, 24, 0, 0]) + struct.pack("<hh", per_group, groups) + bytes(20)
    colours = bytearray()
    for k in range(per_group * groups):
        colours += bytes([k * 7 & 255, (k >> 3) * 5 & 255, (k >> 8) * 11 & 255])
    with open(path, "wb") as f:
        f.write(header + colours)


LONG_TASKS = """window.longTasks = [];
new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map(e => e.duration)))
  .observe({type: 'longtask'});"""


def check_big_palette(driver):
    """A palette of 4,000 groups of 16 colours: the page answers all the
    while it opens (no task over 100 ms), draws the groups in view only,
    and draws the last one as plughost opens it once it is scrolled to."""
    folder = os.path.join(work, "big")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    path = os.path.join(folder, "groups-4000.kcf")
    write_palette(path, 16, 4000)
    fresh_page(driver)
    driver.execute_script(LONG_TASKS)
    driver.find_element(By.ID, "files").send_keys(path)
    WebDriverWait(driver, 120).until(
        lambda d: d.execute_script("const c = document.querySelector('.palette'); return c && c.dataset.openMs"))
    time.sleep(0.5)
    got = driver.execute_script("""const c = document.querySelector('.palette');
        return {tasks: window.longTasks, first: Number(c.dataset.firstMs), all: Number(c.dataset.openMs),
                groups: c.querySelectorAll('.group').length, swatches: c.querySelectorAll('.swatch').length};""")
    longest = max(got["tasks"], default=0)
    # The browser reports only tasks of 50 ms or more.
    print("4000 groups of 16 colours: longest task while opening %s, first groups shown after %.0f ms, "
          "all open after %.0f ms, %d swatches drawn"
          % ("%.0f ms (%d of 50 ms or more)" % (longest, len(got["tasks"])) if got["tasks"] else "under 50 ms",
             got["first"], got["all"], got["swatches"]))
    check(longest <= 100, "the page answers within 100 ms while a palette of 4000 groups opens: %.0f ms" % longest)
    check(got["groups"] == 4000, "every group of the 4000 has its place: %d" % got["groups"])
    check(0 < got["swatches"] < 4000, "only the groups in view are drawn: %d swatches" % got["swatches"])
    card = driver.find_element(By.CSS_SELECTOR, ".palette")
    # Tab goes on from the last group drawn to the next, drawn as it is reached.
    drawn = driver.execute_script("""const drawn = [...arguments[0].querySelectorAll('.group')]
        .filter(g => g.querySelector('.swatch'));
        return [drawn.length, drawn[drawn.length - 1].querySelector('.swatch')];""", card)
    drawn[1].send_keys(Keys.TAB)
    focused = driver.switch_to.active_element.get_attribute("aria-label") or ""
    check(focused.startswith("group %d, colour 0: #" % drawn[0]),
          "Tab from the last group drawn (%d) reaches the next one's first swatch: %r" % (drawn[0] - 1, focused))
    driver.execute_script("arguments[0].querySelector('.group:last-child').scrollIntoView();", card)
    run_plughost(["open", "groups-4000.kcf", "--group", "3999", "--out", "last.gpl"], folder)
    want = read_gpl(os.path.join(folder, "last.gpl"))
    last = lambda d: [b.get_attribute("data-hex") for b in
                      card.find_elements(By.CSS_SELECTOR, ".group:last-child .swatch")]
    try:
        WebDriverWait(driver, 10).until(lambda d: last(d) == want)
    except Exception:
        pass
    check(last(driver) == want, "group 3999, scrolled to, shows plughost's colours: %s" % last(driver))
    left = driver.execute_script("return arguments[0].querySelectorAll('.group:first-child .swatch').length;", card)
    check(left == 0, "group 0, far from the view, has given up its swatches: %d" % left)


DROP = """const [section, name, packed] = arguments;
const file = new File([Uint8Array.from(atob(packed), (c) => c.charCodeAt(0))], name);
const carried = new DataTransfer();
carried.items.add(file);
for (const type of ['dragenter', 'dragover', 'drop'])
  section.dispatchEvent(new DragEvent(type, {dataTransfer: carried, bubbles: true, cancelable: true}));"""


def drop_on_group(driver, card, group, path, chosen=False):
    """`path` dropped on group `group` of `card`, or `chosen` for it with the
    card's file chooser; what the page then says."""
    said = driver.find_element(By.ID, "status").text
    if chosen:
        driver.execute_script("arguments[0].querySelector('.into').value = arguments[1];", card, str(group))
        card.find_element(By.CSS_SELECTOR, ".bring-in").send_keys(path)
    else:
        section = card.find_elements(By.CSS_SELECTOR, ".group")[group]
        with open(path, "rb") as f:
            packed = base64.b64encode(f.read()).decode("ascii")
        driver.execute_script(DROP, section, os.path.basename(path), packed)
    try:
        WebDriverWait(driver, 20).until(lambda d: d.find_element(By.ID, "status").text != said)
    except TimeoutException:
        pass  # the page said nothing new: the check that follows says so
    return driver.find_element(By.ID, "status").text, [
        li.text for li in card.find_elements(By.CSS_SELECTOR, ".notes li")]


def check_drops(driver, palettes, multi):
    """A .gpl (chosen with the card's file chooser, as by keyboard), a PNG
    swatch and a text dropped on group 1 of a palette of ten groups: after
    each, group 1 shows what `plughost save --into --group 1` puts there of
    the same file, and the page says its notes and refusal; the palette
    downloaded is plughost's bytes; undo takes the colours back out."""
    folder = os.path.join(work, "drops")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    name = os.path.basename(multi)
    # A copy of its own that plughost may rewrite: the corpus is read-only.
    shutil.copyfile(multi, os.path.join(folder, name))
    # The colours of two other palettes of one group each (a palette's own
    # groups are often alike), so that each step changes group 1.
    wanted = [("colours.gpl", []), ("swatch.png", ["--swatch", "16"])]
    for path in palettes:
        if path != multi and wanted:
            shutil.copyfile(path, os.path.join(folder, "source.kcf"))
            out, args = wanted[0]
            if run_plughost(["open", "source.kcf", "--out", out] + args, folder)[0] == 0:
                wanted.pop(0)
    with open(os.path.join(folder, "words.txt"), "w") as f:
        f.write("no colours here\n")
    fresh_page(driver)
    card, shown = open_on_page(driver, os.path.join(folder, name))
    before = shown["layers"][1]["hexes"]
    for dropped in ("colours.gpl", "swatch.png", "words.txt"):
        said, notes = drop_on_group(driver, card, 1, os.path.join(folder, dropped), dropped.endswith(".gpl"))
        code, err = run_plughost(["save", dropped, "--into", name, "--group", "1"], folder)
        want_notes = [l[len("plughost: note: "):] for l in err.splitlines() if l.startswith("plughost: note: ")]
        # plughost's notes go on to name its options.
        check(len(notes) == len(set(want_notes)) and all(any(w.startswith(n) for w in want_notes) for n in notes)
              and (code == 0 or said == refusal_of(err)),
              "%s dropped on group 1: the page says %r %s, plughost %r %s" % (dropped, said, notes, refusal_of(err), want_notes))
        run_plughost(["open", name, "--group", "1", "--out", "group1.gpl"], folder)
        shown_now = driver.execute_async_script(CARD, card)["layers"][1]["hexes"]
        check(shown_now == read_gpl(os.path.join(folder, "group1.gpl")),
              "after %s, group 1 shows what plughost put there" % dropped)
    got_name, got = download(driver, card, "kcf", 0, os.path.join(folder, "own"))
    with open(os.path.join(folder, name), "rb") as f:
        check(got == f.read(), "the palette with the colours dropped is save --into --group 1's bytes")
    for _ in range(2):
        card.find_element(By.CSS_SELECTOR, ".undo").click()
    back = driver.execute_async_script(CARD, card)["layers"][1]["hexes"]
    check(back == before, "undo takes the dropped colours back out of group 1")


AXE_RUN = """const done = arguments[arguments.length - 1];
axe.run(document, {resultTypes: ['violations']}).then(
  (r) => done(r.violations.map(v => v.id + ' (' + v.impact + '): ' + v.nodes.length + ' nodes, the first '
                                 + JSON.stringify(v.nodes[0].target) + ': ' + v.nodes[0].failureSummary)),
  (e) => done(['axe failed: ' + e]));"""


def check_accessibility(driver, multi):
    """axe-core, as the test command installs it, finds nothing wrong with
    the page holding a palette of ten groups, a swatch focused; nor, 360 px
    wide, with a text opened by mistake and its notes, and a conversion's
    lines."""
    if not axe or not os.path.isfile(axe):
        check(False, "axe-core is missing (%s): scripts/install-deps.sh installs it" % axe)
        return
    fresh_page(driver)
    card, _ = open_on_page(driver, multi)
    driver.execute_script("arguments[0].focus();", card.find_elements(By.CSS_SELECTOR, ".swatch")[3])
    with open(axe, encoding="utf-8") as f:
        driver.execute_script(f.read())
    driver.set_script_timeout(60)
    violations = driver.execute_async_script(AXE_RUN)
    version = driver.execute_script("return axe.version;")
    print("axe-core %s: %d violations with %s open%s" % (version, len(violations), os.path.basename(multi),
                                                       "".join("\n  " + v for v in violations)))
    check(not violations, "axe-core finds no violation on the page: %d" % len(violations))
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 360, "height": 800, "deviceScaleFactor": 1, "mobile": False})
    open_on_page(driver, os.path.join(work, "small", "README.md"))
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": os.path.join(work, "axe")})
    driver.find_element(By.ID, "convert-all").click()
    WebDriverWait(driver, 20).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#converted li"))
    narrow = driver.execute_async_script(AXE_RUN)
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    print("axe-core, 360 px wide, a text's notes and a conversion's lines shown: %d violations%s"
          % (len(narrow), "".join("\n  " + v for v in narrow)))
    check(not narrow, "axe-core finds no violation on the page 360 px wide: %d" % len(narrow))


def check_small_things(driver, multi):
    """A file that is no palette is named so once, not once a group; the
    page fits a window 360 px wide."""
    folder = os.path.join(work, "small")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    text = os.path.join(folder, "README.md")
    with open(text, "w") as f:
        f.write("# Palettes\n\nSome words about the palettes here, chosen by mistake.\n" * 8)
    shutil.copyfile(multi, os.path.join(folder, "palette.kcf"))
    run_plughost(["open", "palette.kcf", "--group", "0", "--out", "swatch.png", "--swatch", "16"], folder)
    fresh_page(driver)
    for name, named in (("README.md", "not laid out as"), ("swatch.png", "it is a PNG image, not a palette")):
        _, shown = open_on_page(driver, os.path.join(folder, name))
        _, err = run_plughost(["open", name, "--out", "whole.ppm"], folder)
        notes = [l[len("plughost: note: "):] for l in err.splitlines() if l.startswith("plughost: note: ")]
        check(sorted(shown["notes"]) == sorted(set(notes)) and any(named in n for n in notes),
              "%s chosen by mistake: each of plughost's notes once: %s against %s" % (name, shown["notes"], notes))
    # Headless Chromium's windows are at least 500 px wide: a phone's width
    # is the browser's own emulation of one.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 360, "height": 800, "deviceScaleFactor": 1, "mobile": False})
    open_on_page(driver, multi)
    wide = driver.execute_script("""const e = document.documentElement;
        return [e.scrollWidth, e.clientWidth, window.innerWidth];""")
    check(wide[0] <= wide[1] and wide[2] == 360,
          "the page fits 360 px: %d px wide in %d px of a window of %d" % tuple(wide))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def check_conversion(driver, palettes, extension):
    """Ten palettes opened on a fresh page and converted in one go: the zip
    it downloads holds the files one `plughost open --group all` writes."""
    folder = os.path.join(work, "convert-" + extension)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "in"))
    names = []
    for path in palettes:
        names.append(os.path.basename(path))
        shutil.copy(path, os.path.join(folder, "in", names[-1]))
    fresh_page(driver)
    driver.find_element(By.ID, "files").send_keys("\n".join(os.path.join(folder, "in", n) for n in names))
    WebDriverWait(driver, 60).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, ".palette")) == len(names))
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": os.path.join(folder, "zip")})
    driver.execute_script("document.getElementById('convert-format').value = arguments[0];", extension)
    driver.find_element(By.ID, "convert-all").click()
    got, deadline = None, time.time() + 60
    while got is None and time.time() < deadline:
        done = [n for n in os.listdir(os.path.join(folder, "zip")) if n.endswith(".zip")] \
            if os.path.isdir(os.path.join(folder, "zip")) else []
        if done:
            time.sleep(0.1)
            with open(os.path.join(folder, "zip", done[0]), "rb") as f:
                got = zipfile.ZipFile(io.BytesIO(f.read()))
        time.sleep(0.05)
    status = driver.find_element(By.ID, "status").text
    check(got is not None, "%d palettes converted to .%s in one zip (%s)" % (len(names), extension, status))
    if got is None:
        return
    args = ["open"] + names + ["--group", "all", "--out-dir", "../out", "--format", extension]
    code, err = run_plughost(args + (["--swatch", "16"] if extension in ("png", "ppm") else []),
                             os.path.join(folder, "in"))
    expected = {n: open(os.path.join(folder, "out", n), "rb").read()
                for n in sorted(os.listdir(os.path.join(folder, "out")))} if code == 0 else {}
    check(code == 0, "plughost open --group all of the ten palettes (%s)" % err.strip())
    check(sorted(got.namelist()) == sorted(expected),
          "the zip holds the files plughost writes: %s against %s" % (got.namelist(), list(expected)))
    for name in expected:
        if name in got.namelist():
            check(got.read(name) == expected[name], "%s in the zip is plughost's %s" % (name, name))
    check(str(len(expected)) + " files from " + str(len(names)) + " palettes" in status,
          "the page says what it converted: " + status)
    # A line a palette, with as many files as plughost writes of it alone.
    lines = [li.text for li in driver.find_elements(By.CSS_SELECTOR, "#converted li")]
    want = []
    for k, name in enumerate(names):
        out = os.path.join(folder, "one%d" % k)
        run_plughost(["open", name, "--group", "all", "--out-dir", out, "--format", extension], os.path.join(folder, "in"))
        made = len(os.listdir(out)) if os.path.isdir(out) else 0
        want.append("%s: %d %s" % (name, made, "file" if made == 1 else "files"))
    check(lines == want, "a line a palette: %s against %s" % (lines, want))


def check_same_names(driver, palettes):
    """Two palettes of one name from two folders, converted in one go: as
    plughost does, the conversion is refused before anything is written,
    naming both, and neither palette is lost."""
    folder = os.path.join(work, "same-names")
    shutil.rmtree(folder, ignore_errors=True)
    for sub, path in (("a", palettes[0]), ("b", palettes[1])):
        os.makedirs(os.path.join(folder, sub))
        shutil.copy(path, os.path.join(folder, sub, "x.kcf"))
    fresh_page(driver)
    driver.find_element(By.ID, "files").send_keys(
        "\n".join(os.path.join(folder, sub, "x.kcf") for sub in ("a", "b")))
    WebDriverWait(driver, 60).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, ".palette")) == 2)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": os.path.join(folder, "zip")})
    driver.execute_script("document.getElementById('convert-format').value = 'gpl';")
    driver.find_element(By.ID, "convert-all").click()
    said = ("would both", "files from", "could not", "Nothing was converted")
    try:
        WebDriverWait(driver, 20).until(lambda d: any(w in d.find_element(By.ID, "status").text for w in said))
    except Exception:  # the check below names what the page said instead
        pass
    status = driver.find_element(By.ID, "status").text
    time.sleep(0.5)
    zips = os.listdir(os.path.join(folder, "zip")) if os.path.isdir(os.path.join(folder, "zip")) else []
    check("would both be written" in status and "x.kcf" in status and not zips,
          "two palettes named x.kcf: refused before writing, no zip: %s %s" % (status, zips))


def read_png_rgba(path):
    """Width, height and the RGBA bytes of a PNG of 8-bit RGBA, not
    interlaced, as the native drawing writes its dolls."""
    with open(path, "rb") as f:
        data_ = f.read()
    at, idat, head = 8, b"", None
    while at < len(data_):
        length, kind = struct.unpack(">I4s", data_[at:at + 8])
        body = data_[at + 8:at + 8 + length]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = head
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError("%s: a PNG of depth %d, colour type %d, interlace %d" % (path, depth, colour, interlace))
    raw, stride, rows, prior = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prior[i], prior[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prior = line
    return width, height, b"".join(rows)


def draw_native(path, set_, out, cwd=None):
    """draw_doll's doll of set `set_` of `path`: (width, height, RGBA), or
    its refusal."""
    done = subprocess.run([draw_doll, path, str(set_), out], cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        return done.stderr.strip()
    return read_png_rgba(out if cwd is None else os.path.join(cwd, out))


CANVAS = """const c = arguments[0].querySelector('.doll canvas');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let s = '';
for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
return [c.width, c.height, btoa(s), c.dataset.shown, Number(c.dataset.drawMs)];"""


def canvas_of(driver, card):
    width, height, packed, shown, ms = driver.execute_script(CANVAS, card)
    return width, height, base64.b64decode(packed), shown, ms


def differing(a, b):
    return sum(1 for i in range(0, min(len(a), len(b)), 4) if a[i:i + 4] != b[i:i + 4])


def open_set_on_page(driver, paths, tasks=False):
    """The set of `paths` (an archive, or a configuration and its files)
    chosen on a fresh page: its card once every palette of it is open."""
    fresh_page(driver)
    if tasks:
        driver.execute_script(LONG_TASKS)
    driver.find_element(By.ID, "files").send_keys("\n".join(paths))
    WebDriverWait(driver, 120).until(
        lambda d: d.execute_script("const c = document.querySelector('.set'); return c && c.dataset.openMs"))
    return driver.find_element(By.CSS_SELECTOR, ".set")


# The doll's key of the pixel most often shown of palette 0, and how many
# pixels show it: the index to change for the doll to change.
MOST_SHOWN = """const keys = arguments[0].doll.flat.keys, counts = new Map();
for (const k of keys) if (k > 0 && k < 256) counts.set(k, (counts.get(k) || 0) + 1);
return [...counts].sort((a, b) => b[1] - a[1])[0];"""

# A colour chosen for a swatch of the set's palette, the doll read just
# before and just after, in the same task: the doll is redrawn by the time
# the change is handled.
CHANGE_AND_READ = """const [card, colour] = arguments;
const read = () => { const c = card.querySelector('.doll canvas');
  return c.getContext('2d').getImageData(0, 0, c.width, c.height).data; };
const before = read();
const p = document.getElementById('picker');
const started = performance.now();
p.value = colour;
p.dispatchEvent(new Event('change'));
const took = performance.now() - started;
const after = read();
let changed = 0, toColour = 0;
const want = [1, 3, 5].map(k => parseInt(colour.slice(k, k + 2), 16));
for (let i = 0; i < after.length; i += 4) {
  if (after[i] === before[i] && after[i + 1] === before[i + 1] && after[i + 2] === before[i + 2]) continue;
  ++changed;
  toColour += after[i] === want[0] && after[i + 1] === want[1] && after[i + 2] === want[2];
}
return [changed, toColour, took, Number(card.querySelector('.doll canvas').dataset.drawMs)];"""


def write_cel(path, bits, width, height, pixels, mark=32):
    """A marked cel: pixels are indices, or (red, green, blue, alpha) for 32 bits."""
    if bits == 32:
        body = b"".join(bytes([b, g, r, a]) for r, g, b, a in pixels)
    else:
        body = bytes(pixels)
    with open(path, "wb") as f:
        f.write(b"KiSS" + bytes([mark, bits, 0, 0]) + struct.pack("<hhhh", width, height, 0, 0) + bytes(16) + body)


def check_blended_set(driver, folder):
    """A cel of colours whose pixels are partly transparent, over a cel of
    indices some of which lie past its group's 16 colours, and a cel of 4
    bits beside them, chosen as a configuration with its files: the page
    draws it as draw_doll does, blending as it does."""
    made = os.path.join(folder, "glass")
    os.makedirs(made)
    write_palette(os.path.join(made, "glass.kcf"), 16, 2)
    write_cel(os.path.join(made, "base.cel"), 8, 8, 8, [(k * 3) % 20 + 1 for k in range(64)])
    write_cel(os.path.join(made, "glass.cel"), 32, 6, 6,
              [(k * 40 % 256, 255 - k * 7, k * 11 % 256, (0, 64, 128, 200, 255, 1)[k % 6]) for k in range(36)],
              mark=33)
    write_cel(os.path.join(made, "small.cel"), 4, 3, 2, [0x12, 0x30, 0x45, 0x60])
    with open(os.path.join(made, "glass.cnf"), "w") as f:
        f.write("%glass.kcf\n(16,12)\n#0 glass.cel\n#1 base.cel\n#2 small.cel\n$1 1,1 0,0 10,2\n")
    card = open_set_on_page(driver, sorted(os.path.join(made, n) for n in os.listdir(made)))
    width, height, pixels, shown, _ = canvas_of(driver, card)
    want = draw_native(os.path.join(made, "glass.cnf"), 0, os.path.join(folder, "glass.png"))
    blended = driver.execute_script("return arguments[0].doll.flat.blended;", card)
    check(blended and not isinstance(want, str) and (width, height, pixels) == want,
          "a cel of colours partly transparent over one of indices is draw_doll's doll (%s, %s pixels differ)"
          % (want if isinstance(want, str) else "", "?" if isinstance(want, str) else differing(pixels, want[2])))


def check_sets(driver):
    """KiSS sets on the page: kayla's archive shows the doll that draw_doll
    draws natively, set by set as the set buttons are clicked; a colour
    of group 0 changed redraws the doll in the same task, in under 16 ms,
    and the palette then downloaded, put back among the set's files, draws
    natively as the page shows it; the set's own files chosen together
    show the same doll; every set of ../shared/kiss-sets opens as draw_doll
    draws it, with no task over 100 ms (the set of 266 cels too); the damaged
    archives are refused in draw_doll's words; axe-core finds nothing
    wrong with a doll shown, nor is the page wider than 360 px; a set made
    here of a cel of colours partly transparent over cels of indices draws
    as draw_doll draws it."""
    folder = os.path.join(work, "sets")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    if not shutil.which("lhasa"):
        check(False, "lhasa is missing: Debian's lhasa unpacks kayla's set for the test")
        return
    check_blended_set(driver, folder)
    archives = sorted(os.path.join(kiss_sets, n) for n in os.listdir(kiss_sets) if n.endswith(".lzh"))
    kayla = next(p for p in archives if "kayla" in p)
    # Every set opens as draw_doll draws its first set used; a damaged one
    # is refused in the same words.
    for path in archives:
        name = os.path.basename(path)
        # Other work on the machine can stretch a task: an opening with one
        # over 100 ms is tried again, twice at most, and the best judged.
        tries = []
        while len(tries) < 3 and (not tries or min(tries) > 100):
            card = open_set_on_page(driver, [path], tasks=True)
            tries.append(max(driver.execute_script("return window.longTasks;"), default=0))
        longest = min(tries)
        refusal = card.find_element(By.CSS_SELECTOR, ".refusal").text
        shutil.copyfile(path, os.path.join(folder, name))
        width, height, shown_pixels, shown, ms = canvas_of(driver, card)
        if refusal:
            want = draw_native(name, 0, "refused.png", cwd=folder)
            check(isinstance(want, str) and want == refusal + ".",
                  "%s: the page refuses it in draw_doll's words: %r, %r" % (name, refusal, want))
            check(not card.find_element(By.CSS_SELECTOR, ".doll canvas").is_displayed(),
                  name + ": a refused set shows no doll")
            continue
        set_ = int(shown.split()[0])
        want = draw_native(path, set_, os.path.join(folder, name + ".png"))
        opaque = sum(1 for i in range(3, len(shown_pixels), 4) if shown_pixels[i] == 255)
        check(opaque > width * height // 20, "%s: the doll covers %d pixels of %d" % (name, opaque, width * height))
        check(not isinstance(want, str) and (width, height, shown_pixels) == want,
              "%s: set %d on the page is draw_doll's doll byte for byte (%d x %d, %s pixels differ)"
              % (name, set_, width, height, "?" if isinstance(want, str) else differing(shown_pixels, want[2])))
        cels = driver.execute_script("return arguments[0].doll.told.cels.length;", card)
        print("%s: %d cels, %d x %d, unpacked + read in %s ms, doll shown after %.0f ms, all open after %.0f ms, "
              "longest task %s%s, drawn in %.1f ms" % (name, cels, width, height, card.get_attribute("data-read-ms"),
                                    float(card.get_attribute("data-doll-ms")),
                                    float(card.get_attribute("data-open-ms")),
                                    "%.0f ms" % longest if longest else "under 50 ms",
                                    " (tries: %s ms)" % " ".join("%.0f" % t for t in tries) if len(tries) > 1 else "", ms))
        check(longest <= 100, "%s: the page answers within 100 ms while its %d cels open: %.0f ms"
              % (name, cels, longest))
        # Redrawn ten times, in each palette group in turn, as a colour changed redraws it.
        redraws = driver.execute_script("""const c = arguments[0], ms = [];
            const groups = c.querySelectorAll('.group-choice button');
            for (let k = 0; k < 10; ++k) {
              groups[k % groups.length].click(); ms.push(Number(c.querySelector('.doll canvas').dataset.drawMs)); }
            return ms;""", card)
        # The machine's other work may hold up one draw: the typical one is judged.
        print("  redrawn ten times: %s ms" % " ".join("%.1f" % r for r in redraws))
        check(statistics.median(redraws) < 16, "%s: the doll redraws within a frame: %.1f ms (median of %s)"
              % (name, statistics.median(redraws), redraws))
    # Kayla, set by set, each button one click.
    card = open_set_on_page(driver, [kayla])
    buttons = card.find_elements(By.CSS_SELECTOR, ".set-choice button")
    used = [k for k, b in enumerate(buttons) if b.is_enabled()]
    check(len(buttons) == 10 and len(used) > 1, "kayla: ten set buttons, %s enabled" % used)
    for set_ in reversed(used):
        buttons[set_].click()
        width, height, pixels, shown, _ = canvas_of(driver, card)
        want = draw_native(kayla, set_, os.path.join(folder, "kayla-%d.png" % set_))
        pressed = [b.get_attribute("aria-pressed") for b in buttons]
        check(not isinstance(want, str) and (width, height, pixels) == want and shown.split()[0] == str(set_)
              and pressed == ["true" if k == set_ else "false" for k in range(10)],
              "kayla: set %d's button shows draw_doll's set %d, pressed alone (%s)" % (set_, set_, pressed))
    # A colour of group 0 changed: the doll redrawn at once.
    card.find_elements(By.CSS_SELECTOR, ".group-choice button")[0].click()
    key, count = driver.execute_script(MOST_SHOWN, card)
    palette = card.find_element(By.CSS_SELECTOR, ".set-palettes .palette")
    swatch = palette.find_elements(By.CSS_SELECTOR, ".group")[0].find_elements(By.CSS_SELECTOR, ".swatch")[key]
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", swatch)
    swatch.click()
    # Five colours in turn, the last the one saved.
    took = []
    for turn in range(4, -1, -1):
        colour = "#%06x" % (int(inverse(swatch.get_attribute("data-hex"))[1:], 16) ^ (turn * 0x101010))
        changed, to_colour, handled, draw_ms = driver.execute_script(CHANGE_AND_READ, card, colour)
        took.append(handled)
        check(changed == to_colour == count,
              "kayla: the doll shows %s at once where it shows colour %d: %d of %d pixels changed, %d to it"
              % (colour, key, changed, count, to_colour))
    print("kayla: colour %d of group 0 changed five times: %d pixels redrawn each time, the change handled "
          "in %s ms, the doll drawn in %.1f ms the last time" % (key, count, " ".join("%.1f" % t for t in took), draw_ms))
    check(statistics.median(took) < 16, "kayla: a colour changed redraws the doll within a frame: %.1f ms (median of %s)"
          % (statistics.median(took), took))
    # Saved as today; the saved palette among the set's own files draws
    # natively as the page shows the doll now.
    got_name, got = download(driver, palette, "kcf", 0, os.path.join(folder, "own"))
    unpacked = os.path.join(folder, "kayla")
    os.makedirs(unpacked)
    subprocess.run(["lhasa", "-xq", kayla], cwd=unpacked, check=True)
    check(got_name == "kayla.kcf", "kayla: the palette downloads as kayla.kcf: %s" % got_name)
    with open(os.path.join(unpacked, "kayla.kcf"), "wb") as f:
        f.write(got)
    want = draw_native(os.path.join(unpacked, "kayla.cnf"), used[0], os.path.join(folder, "saved.png"))
    try:  # the page reads the saved palette back and redraws the doll in what it holds
        WebDriverWait(driver, 10).until(lambda d: canvas_of(d, card)[2] == want[2])
    except Exception:  # the check below says how far apart they are
        pass
    width, height, pixels, shown, _ = canvas_of(driver, card)
    check(not isinstance(want, str) and (width, height, pixels) == want,
          "kayla: the doll after the change is draw_doll's of the palette downloaded (%s pixels differ)"
          % ("?" if isinstance(want, str) else differing(pixels, want[2])))
    for _ in took:
        card.find_element(By.CSS_SELECTOR, ".set-palettes .undo").click()
    check(canvas_of(driver, card)[2] == draw_native(kayla, int(shown.split()[0]), os.path.join(folder, "undone.png"))[2],
          "kayla: undo draws the doll in its own colours again")
    # A group of another colours shows the doll in them.
    groups = card.find_elements(By.CSS_SELECTOR, ".group-choice button")
    groups[-1].click()
    check(groups[-1].get_attribute("aria-pressed") == "true" and canvas_of(driver, card)[3].split()[1]
          == str(len(groups) - 1), "kayla: a group's button shows the doll in that group")
    # The set's own files, chosen together.
    files = sorted(os.path.join(unpacked, n) for n in os.listdir(unpacked))
    card = open_set_on_page(driver, files)
    width, height, pixels, shown, _ = canvas_of(driver, card)
    want = draw_native(os.path.join(unpacked, "kayla.cnf"), int(shown.split()[0]), os.path.join(folder, "files.png"))
    check(card.find_element(By.CSS_SELECTOR, ".name").text == "kayla.cnf" and not isinstance(want, str)
          and (width, height, pixels) == want and len(driver.find_elements(By.CSS_SELECTOR, ".palette")) == 1,
          "kayla.cnf chosen with its %d files shows draw_doll's doll, its palette on the set's card" % (len(files) - 1))
    # axe-core with a doll shown, a set button focused.
    card.find_element(By.CSS_SELECTOR, ".set-choice button:not([disabled])").click()
    with open(axe, encoding="utf-8") as f:
        driver.execute_script(f.read())
    driver.set_script_timeout(60)
    violations = driver.execute_async_script(AXE_RUN)
    print("axe-core with kayla's doll shown: %d violations%s" % (len(violations), "".join("\n  " + v for v in violations)))
    check(not violations, "axe-core finds no violation on the page with a doll shown: %d" % len(violations))
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 360, "height": 800, "deviceScaleFactor": 1, "mobile": False})
    wide = driver.execute_script("""const e = document.documentElement, c = document.querySelector('.doll canvas');
        return [e.scrollWidth, e.clientWidth, c.getBoundingClientRect().width];""")
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    check(wide[0] <= wide[1] and 0 < wide[2] <= wide[1],
          "the page with a doll fits 360 px: %d px wide in %d, the doll %d px wide" % tuple(wide))
    # Dropped on the page rather than chosen.
    fresh_page(driver)
    with open(kayla, "rb") as f:
        driver.execute_script(DROP, driver.find_element(By.ID, "drop"), os.path.basename(kayla),
                              base64.b64encode(f.read()).decode("ascii"))
    try:
        WebDriverWait(driver, 60).until(lambda d: d.execute_script(
            "const c = document.querySelector('.set'); return c && c.dataset.openMs"))
        dropped = canvas_of(driver, driver.find_element(By.CSS_SELECTOR, ".set"))[2]
    except TimeoutException:
        dropped = None
    check(dropped == draw_native(kayla, used[0], os.path.join(folder, "dropped.png"))[2],
          "kayla's archive dropped on the page shows draw_doll's doll")
    if doll_screenshot:
        driver.set_window_size(1200, 1000)
        open_set_on_page(driver, [kayla])
        driver.save_screenshot(doll_screenshot)


def main():
    os.makedirs(work, exist_ok=True)
    for program in (plughost, draw_doll):
        if not program or not os.access(program, os.X_OK):
            print("FAILED: %s is missing: build the native tree first (plughost, draw_doll)" % program)
            return 1
    palettes = sorted(os.path.join(corpus, n) for n in os.listdir(corpus) if n.lower().endswith(".kcf"))
    cut = [os.path.join(data, n) for n in ("cut-in-colours-24.kcf", "cut-in-header-31.kcf",
                                           "mark-32.kcf", "too-many-16x17.kcf")]
    driver = start_browser()
    timings = []
    multi, again = None, 0.0
    try:
        multi = next((p for p in palettes if "kayla" in p), palettes[0])
        for serial, path in enumerate(palettes + cut):
            check_palette(driver, path, serial, timings, other_formats=path in (multi, palettes[-1]))
        refused = driver.find_elements(By.CSS_SELECTOR, ".refusal:not([hidden])")
        check(len(refused) >= 1, "a palette cut short shows a refusal")
        # The first opening on a page also readies its WebAssembly: the same
        # palette again, for how long an opening takes once it is.
        again = open_on_page(driver, multi)[1]["ms"]
        # Ten of them, the one of several groups among them, converted in one go.
        ten = [multi] + [p for p in palettes if p != multi][:9]
        for extension in ("png", "gpl"):
            check_conversion(driver, ten, extension)
        check_same_names(driver, ten)
        check_big_palette(driver)
        check_small_things(driver, multi)
        check_accessibility(driver, multi)
        check_drops(driver, palettes, multi)
        check_sets(driver)
        if screenshot:
            fresh_page(driver)
            driver.set_window_size(1200, 1000)
            card, _ = open_on_page(driver, os.path.join(work, "big", "groups-4000.kcf"))
            swatch = card.find_elements(By.CSS_SELECTOR, ".swatch")[21]
            driver.execute_script("arguments[0].focus();", swatch)
            driver.save_screenshot(screenshot)
    finally:
        driver.quit()
    ms = sorted(t for t, _ in timings)
    size = sum(os.path.getsize(os.path.join(page_dir, n)) for n in os.listdir(page_dir))
    print("page: %d bytes in %s" % (size, ", ".join(
        "%s %d" % (n, os.path.getsize(os.path.join(page_dir, n))) for n in sorted(os.listdir(page_dir)))))
    if ms:
        print("opening a palette on the page: median %.1f ms, slowest %.1f ms (%s), %d palettes"
              % (statistics.median(ms), ms[-1], max(timings)[1], len(ms)))
        print("%s opened again: %.1f ms" % (os.path.basename(multi), again))
    print("page test: %d checks" % checks)
    print("%d passed, %d failed" % (checks - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
