"""Whether every text of a page fits its control: each visible label, check box, radio button and button is
measured in its own font by the driver ("texts") against the room the control gives it.

    import texts
    texts.check(case, setup, "choice-en_GB-main")   # screenshot <build>/screenshots/fits-<name>.png, then
                                                     # fails naming every text that does not fit
    texts.extents(case, setup) -> [Extent(name, cls, w, h, need_w, need_h, face, room, text)]
        (room: from the control's left edge to its parent's right edge: a label that sizes itself to its text
        fits itself, but must not run out of the window)
    texts.misfits(extents) -> the extents that do not fit, known ones left out

KNOWN lists texts that cannot fit a control whose size the window fixes, in any font the prefix offers:
(control name, text) -> why.
"""
import collections

Extent = collections.namedtuple("Extent", "name cls w h need_w need_h face room text")

KNOWN = {}


def extents(case, setup):
    lines = setup._driver(["texts"], 30)
    return [Extent(f[0], f[1], int(f[2]), int(f[3]), int(f[4]), int(f[5]), f[6], int(f[7]), f[8]) for f in lines]


def misfits(found):
    return [e for e in found if (e.name, e.text) not in KNOWN and
            (not e.face or e.need_w > min(e.w, e.room) or e.need_h > e.h)]


def describe(e):
    return "%s (%s, font %s): needs %d x %d, has %d x %d (%d up to the window's edge): %r" % (
        e.name or "?", e.cls, e.face or "unknown", e.need_w, e.need_h, e.w, e.h, e.room, e.text)


def check(case, setup, name):
    """Every text of the window's page fits; the page is kept as a screenshot either way."""
    setup.screenshot("fits-" + name)
    found = extents(case, setup)
    bad = misfits(found)
    if bad:
        raise AssertionError("texts that do not fit their controls on %s:\n  %s"
                             % (name, "\n  ".join(describe(e) for e in bad)))
    return found
