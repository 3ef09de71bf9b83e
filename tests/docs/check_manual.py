#!/usr/bin/python3
"""Checks of the built manual (label docs).

    check_manual.py links HTML_DIR
        every link and image of every page of the built HTML points at a file that exists, and at
        an anchor that exists in it; links to other sites are not followed.
    check_manual.py commands DOCS_DIR BUILD_DIR
        every shell block of the manual's pages marked as runnable (```{code-block} sh with
        :class: runnable) runs without error: the blocks of a page in order, in a fresh folder of
        its own, with the built velmora-cli first on PATH and $VELMORA_BUILD naming the build.

Exit status 0 when everything holds, 1 with a list of what does not.
"""

import html.parser
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids, self.links = set(), []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("id", "name"):
            if a.get(key):
                self.ids.add(a[key])
        for key in ("href", "src"):
            if a.get(key) is not None:
                self.links.append((tag, a[key]))


def parse(path, cache):
    if path not in cache:
        p = Page()
        with open(path, encoding="utf-8") as f:
            p.feed(f.read())
        cache[path] = p
    return cache[path]


def check_links(html_dir):
    html_dir = os.path.abspath(html_dir)
    pages = [os.path.join(d, f) for d, _, fs in os.walk(html_dir) for f in fs if f.endswith(".html")]
    if not os.path.exists(os.path.join(html_dir, "index.html")):
        return [f"{html_dir}/index.html does not exist: build the manual first"]
    cache, problems, count = {}, [], 0
    for page in sorted(pages):
        for tag, link in parse(page, cache).links:
            url = urllib.parse.urlsplit(link)
            if url.scheme or url.netloc or link.startswith("javascript:"):
                continue  # another site: not followed
            count += 1
            target = page if not url.path else os.path.normpath(
                os.path.join(os.path.dirname(page), urllib.parse.unquote(url.path)))
            where = f"{os.path.relpath(page, html_dir)}: <{tag}> {link}"
            if not target.startswith(html_dir + os.sep) and target != html_dir:
                problems.append(f"{where}: points outside the manual")
            elif os.path.isdir(target):
                if not os.path.exists(os.path.join(target, "index.html")):
                    problems.append(f"{where}: a folder without index.html")
            elif not os.path.exists(target):
                problems.append(f"{where}: no such file")
            elif url.fragment and target.endswith(".html"):
                if urllib.parse.unquote(url.fragment) not in parse(target, cache).ids:
                    problems.append(f"{where}: no anchor #{url.fragment} in {os.path.relpath(target, html_dir)}")
    print(f"check_manual: {count} links in {len(pages)} pages")
    return problems


BLOCK = re.compile(r"^```\{code-block\} (?:sh|bash|console)\n((?::[^\n]*\n)*)(.*?)^```\s*$", re.M | re.S)


def runnable_blocks(page):
    """The runnable blocks of a page: (line, text)."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    blocks = []
    for m in BLOCK.finditer(text):
        options = m.group(1)
        if re.search(r"^:class:.*\brunnable\b", options, re.M):
            blocks.append((text.count("\n", 0, m.start()) + 1, m.group(2)))
    return blocks


def check_commands(docs_dir, build_dir):
    docs_dir, build_dir = os.path.abspath(docs_dir), os.path.abspath(build_dir)
    env = dict(os.environ)
    env["PATH"] = os.pathsep.join([os.path.join(build_dir, "cli"), "/usr/bin", env.get("PATH", "")])
    env["VELMORA_BUILD"] = build_dir
    env["MPLBACKEND"] = "Agg"
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    env.pop("PYTHONPATH", None)
    problems, count = [], 0
    for d, _, fs in os.walk(docs_dir):
        if os.path.basename(d).startswith("_"):
            continue
        for f in sorted(fs):
            if not f.endswith(".md"):
                continue
            page = os.path.join(d, f)
            blocks = runnable_blocks(page)
            if not blocks:
                continue
            name = os.path.relpath(page, docs_dir)
            with tempfile.TemporaryDirectory(prefix="velmora-docs-") as work:
                for line, text in blocks:
                    count += 1
                    start = time.monotonic()
                    try:
                        p = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", text], cwd=work, env=env,
                                           capture_output=True, text=True, timeout=900)
                    except subprocess.TimeoutExpired:
                        problems.append(f"{name}:{line}: still running after 900 s")
                        continue
                    print(f"check_manual: {name}:{line}: exit {p.returncode} in {time.monotonic() - start:.1f} s")
                    if p.returncode != 0:
                        problems.append(f"{name}:{line}: exit {p.returncode}\n{p.stdout[-3000:]}{p.stderr[-3000:]}")
    print(f"check_manual: {count} runnable blocks")
    if count == 0:
        problems.append(f"no runnable block found under {docs_dir}")
    return problems


def main(argv):
    if len(argv) == 2 and argv[0] == "links":
        problems = check_links(argv[1])
    elif len(argv) == 3 and argv[0] == "commands":
        problems = check_commands(argv[1], argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for p in problems:
        print(f"check_manual: {p}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
