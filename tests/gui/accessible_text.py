"""Prints what a screen reader reads from a window of the program: the text of the first text
object that follows an object of a given role (depth first), in the window of that title.
Usage: accessible_text.py TITLE ROLE (e.g. "progress bar": the line under the bar). Exits 1
when the window or the text is not in the accessibility tree (yet)."""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def objects(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from objects(child)


def main(title, role):
    desktop = Atspi.get_desktop(0)
    for a in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(a)
        for w in range(app.get_child_count() if app else 0):
            window = app.get_child_at_index(w)
            if window is None or window.get_name() != title:
                continue
            after = False
            for node in objects(window):
                if after and node.get_role_name() == "text":
                    print(Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node)))
                    return 0
                after = after or node.get_role_name() == role
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
