"""Rotavox as a screen reader meets it: through AT-SPI, the interface that Orca and other
Linux screen readers use. Started by run-screen-reader-test, which runs the program under a
virtual display with the accessibility bus and a JACK server whose client "instrument" logs
what it receives (its log is named by ROTAVOX_INSTRUMENT_LOG).

It checks that every control of the sound editor's panel has a name (never "?"), a role fit
for it and, for knobs and sliders, a value; that the selectors show their text as their value;
that turning a knob through the value interface is announced and sends its Control Change to
the instrument; and that the MIDI monitor reads as a table with a header per column.
"""

import os
import re
import sys
import time

import pyatspi
from gi.repository import GLib

failures = []
passes = 0


def check(ok, what):
    global passes
    if ok:
        passes += 1
    else:
        failures.append(what)
        print("FAIL: " + what)
    return ok


def pump():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait(probe, seconds):
    """The first true answer of probe() within the time, else its last answer."""
    end = time.monotonic() + seconds
    while True:
        pump()
        answer = probe()
        if answer or time.monotonic() > end:
            return answer
        time.sleep(0.05)


def children(node):
    return [child for child in node if child is not None]


def walk(node):
    yield node
    for child in children(node):
        yield from walk(child)


def find(root, role, name):
    for node in walk(root):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def value_of(node):
    try:
        return node.queryValue()
    except NotImplementedError:
        return None


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def act(node, action):
    """Does the named action of the node (screen readers offer them by name: "Press", "ShowMenu")."""
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if check(action in names, f"{node.name!r} offers {action!r}, not only {names}"):
        actions.doAction(names.index(action))


def rotavox():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Rotavox":
            return app
    return None


# ---- What the panel shows -----------------------------------------------------------------------

CONTROL_ROLES = {"dial", "slider", "scroll bar", "combo box", "check box", "push button", "text"}
SELECTORS = {f"Oscillator {n} {what}" for n in (1, 2, 3) for what in ("octave", "shape")} | {
    "Filter 1 type", "Filter 2 type"}
# Which role fits a control, by what its name says it is.
FITTING_ROLES = [
    (re.compile(r" knob$"), {"dial"}),
    (re.compile(r" slider$|^Oscillator \d volume$"), {"slider", "scroll bar"}),
    (re.compile(r"^(Oscillator \d (octave|shape)|Filter \d type)$"), {"combo box", "text"}),
    (re.compile(r" mute$"), {"check box"}),
    (re.compile(r"reset to standard$|^Filter routing$"), {"push button", "text"}),
    (re.compile(r" graph$"), {"chart"}),
]


def panel_objects(panel):
    """Every object of the panel that is on screen, with the group box it stands in."""
    found = []

    def collect(node, box, in_selector):
        for child in children(node):
            if not showing(child):
                continue
            role = child.getRoleName()
            found.append((child, role, child.name, box, in_selector))
            collect(child, child.name if role == "panel" else box, in_selector or role == "combo box")

    collect(panel, None, False)
    return found


def check_panel(panel):
    objects = panel_objects(panel)
    controls = [o for o in objects if o[1] in CONTROL_ROLES and not o[4]]
    for node, role, name, box, _ in objects:
        check(name not in ("", "?"), f"a {role} of the panel is named {name!r} (in {box!r})")
        if box is not None and role == "filler":
            check(False, f"{name!r} in {box!r} has no role of its own")
        for pattern, roles in FITTING_ROLES:
            if pattern.search(name):
                check(role in roles, f"{name!r} is a {role}, not one of {sorted(roles)}")
    with_value = []
    for node, role, name, _, _ in controls:
        value = value_of(node)
        if role in ("dial", "slider", "scroll bar"):
            if check(value is not None, f"{role} {name!r} has no value"):
                check(value.minimumValue < value.maximumValue and value.minimumIncrement > 0,
                      f"{role} {name!r} has no range: {value.minimumValue}..{value.maximumValue}")
        if value is not None:
            with_value.append(name)
    dials = [o for o in controls if o[1] == "dial"]
    check(dials and all(o[2].endswith(" knob") for o in dials), f"the dials are {[o[2] for o in dials]}")
    for node, _, name, _, _ in dials:
        value = value_of(node)
        check((value.minimumValue, value.maximumValue, value.minimumIncrement) == (0, 127, 1),
              f"{name!r} turns over {value.minimumValue}..{value.maximumValue} by {value.minimumIncrement}")
    selectors = {o[2] for o in controls if o[1] == "combo box"}
    check(selectors == SELECTORS, f"the selectors are named {sorted(selectors)}")
    mutes = sorted(o[2] for o in controls if o[1] == "check box")
    check(mutes == [f"Oscillator {n} mute" for n in (1, 2, 3)], f"the mute boxes are named {mutes}")
    graphs = [o for o in objects if o[1] == "chart"]
    check(sorted(o[2] for o in graphs) == ["Envelope Amp graph", "Envelope Filter graph"],
          f"the envelope graphs are {[o[2] for o in graphs]}")
    for node, _, name, _, _ in graphs:
        check(re.fullmatch(r"attack \S.*, decay \S.*, sustain \S.*, release \S.*", node.description or ""),
              f"{name!r} is described as {node.description!r}")
    routing = [o for o in controls if o[2] == "Filter routing" and o[1] == "push button"]
    check(len(routing) == 1 and re.match(r"(parallel|serial); ", routing[0][0].description),
          "the routing shown is one button that says its routing first")
    named = [o for o in controls if o[2] not in ("", "?")]
    roles = {}
    for o in controls:
        roles[o[1]] = roles.get(o[1], 0) + 1
    print("panel controls by role: " + ", ".join(f"{n} {r}" for r, n in sorted(roles.items())))
    return len(controls), len(named), len(with_value)


def selector_texts(panel):
    """What each selector shows, read from its edit line, by the selector's name."""
    texts = {}
    for node in walk(panel):
        if node.getRoleName() == "combo box" and node.name in SELECTORS:
            entries = [c for c in children(node) if c.getRoleName() == "text"]
            texts[node.name] = text_of(entries[0]) if entries else None
    return texts


# ---- The run ------------------------------------------------------------------------------------

def choose_instrument(app):
    """Chooses the instrument's port in the MIDI settings, as a user does with the mouse, and
    closes them: that opens the output."""
    settings = next(node for node in walk(app) if node.name == "Midi settings" and node.getRoleName() != "menu item")
    port = find(settings, "combo box", "MIDI out port")
    act(port, "ShowMenu")
    item = wait(lambda: next((c for c in children(children(port)[0]) if c.name == "instrument:input" and showing(c)),
                             None), 10)
    if not check(item is not None, "the port list offers instrument:input"):
        return False
    # The list shows before it is put in its place: click where it stays.
    places = []

    def settled():
        places.append(tuple(item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)))
        return places[-1] if len(places) > 1 and places[-1] == places[-2] and places[-1][:2] != (0, 0) else None

    extents = wait(settled, 10)
    if not check(extents is not None, f"the port list settles somewhere, not at {places[-1]}"):
        return False
    x, y, width, height = extents
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
    if not check(wait(lambda: not showing(children(port)[0]), 10), "the port list closes on the click"):
        return False
    check(wait(lambda: find(settings, "label", "Type: - not set -") is None, 10),
          "the settings show the chosen port's capabilities")
    act(find(settings, "push button", "Close"), "Press")  # a click that Qt shows for a moment first
    # No keyboard is chosen for the thru: the program says so, and the output is open all the same.
    note = wait(lambda: next((n for n in children(app) if n.getRoleName() == "alert" and showing(n)), None), 10)
    if check(note is not None, "the program says that no MIDI input port is chosen"):
        act(find(note, "push button", "OK"), "Press")
    return check(wait(lambda: not any(n.name == "Midi settings" and showing(n) for n in children(app)), 10),
                 "the settings close")


def menu_command(app, name):
    act(find(app, "menu item", name), "Press")


def received(log, pattern):
    with open(log) as f:
        return re.search(pattern, f.read())


def main():
    started = time.monotonic()
    app = wait(rotavox, 20)
    if not check(app is not None, "Rotavox is on the accessibility bus"):
        return
    panel = wait(lambda: next((n for n in walk(app) if n.name == "Sound editor"), None), 10)
    if not check(panel is not None, "the panel is named 'Sound editor'"):
        return

    announced = []
    pyatspi.Registry.registerEventListener(lambda e: announced.append((e.source.name, e.source.getRoleName())),
                                           "object:property-change:accessible-value")

    # Right after start every field and selector shows "?"; no control is named so.
    figures = check_panel(panel)
    print("panel controls: %d, named: %d, with a value: %d" % figures)
    check(set(selector_texts(panel).values()) == {"?"}, "the selectors show '?' at start")

    # An init sound: the selectors' values are the texts they show now.
    menu_command(app, "Init sound to mQ Waldorf default")
    texts = wait(lambda: (lambda t: t if "?" not in t.values() else None)(selector_texts(panel)), 10)
    check(texts and texts["Oscillator 1 octave"] == '8"' and texts["Filter 2 type"] == "---- Bypass",
          f"after the init sound the selectors show {texts}")

    if not choose_instrument(app):
        return
    knob = find(panel, "dial", "Filter 1 Cutoff knob")
    field = find(panel, "text", "Filter 1 Cutoff")
    value = value_of(knob)
    check(value.currentValue == float(text_of(field)), f"the knob stands at {value.currentValue}, "
                                                       f"the field shows {text_of(field)!r}")
    announced.clear()
    value.currentValue = 77
    check(wait(lambda: text_of(field) == "77", 10), "the knob set to 77 writes 77 into its field")
    check(wait(lambda: value_of(knob).currentValue == 77, 10), "the knob's value is 77 then")
    check(wait(lambda: ("Filter 1 Cutoff knob", "dial") in announced, 10), "the turn is announced")
    log = os.environ["ROTAVOX_INSTRUMENT_LOG"]
    check(wait(lambda: received(log, r"b0 45 4d"), 10), "the instrument receives Control Change 69 with 77")

    # The MIDI monitor reads as a table: a header per column, a row per message.
    menu_command(app, "MIDI monitor")
    table = wait(lambda: find(app, "table", "MIDI messages sent and received"), 10)
    if check(table is not None, "the MIDI monitor has a table 'MIDI messages sent and received'"):
        cells = table.queryTable()
        headers = [cells.getColumnHeader(c).name for c in range(cells.nColumns)]
        check(headers == ["Time", "Direction", "Bytes", "Channel", "Message", "Meaning", "Error"],
              f"the monitor's columns are {headers}")

        def turn_row():
            for row in range(cells.nRows - 1, -1, -1):
                texts = [cells.getAccessibleAt(row, c).name for c in range(cells.nColumns)]
                if texts[4] == "CC 69" and texts[5] == "Filter 1 Cutoff = 77":
                    return texts
            return None

        row = wait(turn_row, 10)
        check(row is not None and row[1:4] == ["out", "B0 45 4D", "1"] and row[6] == "",
              f"the monitor lists the turn as {row}")
    print("took %.1f s" % (time.monotonic() - started))


main()
app = rotavox()
if app is not None:
    act(find(app, "menu item", "Quit"), "Press")
print("a11y: %d passed, %d failed" % (passes, len(failures)))
sys.exit(1 if failures else 0)
