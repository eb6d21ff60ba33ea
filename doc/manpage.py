#!/usr/bin/python3
"""Writes the manual page of tessilor-cli from the page written by hand
(tessilor-cli.1.in) and the program's own help (tessilor-cli --help): the
help gives the synopsis, the one-line description and the entries of its
sections (Options, Arguments), so that every option is told in one place,
the program's help, and the page cannot drift from it.

The page's marks, each alone on a line:
  @VERSION@     the first line of tessilor-cli --version
  @SYNOPSIS@    the help's usage line
  @SUMMARY@     the help's description under the usage line
  @OPTIONS@     the entries of the help's section "Options:"
  @ARGUMENTS@   the entries of the help's section "Arguments:"
A section of the help without its mark, or a mark without its section, is
an error: nothing the help says is left out.

Usage: manpage.py PROGRAM PAGE.in OUTPUT
Writes OUTPUT and OUTPUT.gz (compressed as gzip -9n does: no name, no time,
so that every build writes the same bytes).
"""

import gzip
import re
import subprocess
import sys


def roff_text(text):
    """Help text as roff: backslashes shown, dashes as the ASCII minus that
    options are typed with, no control character at the start of a line."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def parse_help(help_text):
    """The usage line, the description and the sections of Qt's help: each
    section a list of (names, description), the description's lines joined
    (Qt breaks them at blanks only)."""
    lines = help_text.rstrip("\n").split("\n")
    if not lines or not lines[0].startswith("Usage: "):
        sys.exit("manpage.py: the help does not start with 'Usage: '")
    usage = lines[0][len("Usage: "):]
    summary = []
    sections = {}
    current = None
    for line in lines[1:]:
        if not line.strip():
            continue
        heading = re.fullmatch(r"(\w[\w ]*):", line)
        if heading:
            current = sections.setdefault(heading.group(1), [])
            continue
        if current is None:
            summary.append(line.strip())
            continue
        entry = re.fullmatch(r"  (\S.*?)  +(\S.*)", line)
        more = re.fullmatch(r" {3,}(\S.*)", line)
        if more and current:
            current[-1][1].append(more.group(1))
        elif entry:
            current.append((entry.group(1), [entry.group(2)]))
        else:
            sys.exit("manpage.py: cannot read this line of the help: %r" % line)
    entries = {name: [(names, " ".join(words)) for names, words in items] for name, items in sections.items()}
    return usage, " ".join(summary), entries


def roff_names(names):
    """'-m, --mode <mode>' as '\\fB\\-m\\fR, \\fB\\-\\-mode\\fR \\fImode\\fR'."""
    out = []
    for part in names.split(", "):
        words = part.split(" ")
        text = "\\fB" + roff_text(words[0]) + "\\fR"
        for value in words[1:]:
            text += " \\fI" + roff_text(value.strip("<>")) + "\\fR"
        out.append(text)
    return ", ".join(out)


def roff_entries(entries):
    lines = []
    for names, description in entries:
        lines += [".TP", roff_names(names), roff_text(description)]
    return lines


def roff_synopsis(usage):
    """'tessilor-cli [options] [image...]' with the program in bold and
    what the user supplies in italics."""
    program, _, rest = usage.partition(" ")
    words = [re.sub(r"\[(\w+)(\.\.\.)?\]", r"[\\fI\1\\fR\2]", roff_text(w)) for w in rest.split()]
    return [".B " + roff_text(program), " ".join(words)]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    program, template, output = sys.argv[1:]
    run = lambda option: subprocess.run([program, option], check=True, capture_output=True, text=True).stdout
    usage, summary, sections = parse_help(run("--help"))
    version = run("--version").split("\n")[0]

    marks = {
        "@VERSION@": None,
        "@SYNOPSIS@": roff_synopsis(usage),
        "@SUMMARY@": [roff_text(summary)],
    }
    for name, entries in sections.items():
        marks["@" + name.upper().replace(" ", "_") + "@"] = roff_entries(entries)

    page = []
    used = set()
    with open(template, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            for mark in marks:
                if mark in line:
                    used.add(mark)
            if "@VERSION@" in line:
                line = line.replace("@VERSION@", roff_text(version))
            if line.strip() in marks and marks[line.strip()] is not None:
                page += marks[line.strip()]
            else:
                page.append(line)
    missing = [m for m in marks if m not in used]
    if missing:
        sys.exit("manpage.py: %s has no place for %s of the help" % (template, ", ".join(missing)))
    left = re.findall(r"@[A-Z_]+@", "\n".join(page))
    if left:
        sys.exit("manpage.py: the help has nothing for %s" % ", ".join(left))

    text = "\n".join(page)
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)
    with open(output + ".gz", "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as z:
            z.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
