#!/usr/bin/python3
"""Builds the Velmora manual from docs/ and the built program.

    build_manual.py --build BUILD [--out HTML] [--work DIR] [--jobs N]

The sources in docs/ are copied into a staging folder (WORK/src, default BUILD/docs/src), where
the parts that come from the program itself are added:

- the command reference: the --help of velmora-cli and of every subcommand it lists, found by
  asking the program (a new subcommand appears without a change here);
- the pictures of the getting-started page: `make run`'s headless job (scripts/run-main) and
  `velmora-cli render`, and the desktop program's window under Xvfb;
- the model page's figure of eps against q, drawn from the collected table in docs/data/;
- the tutorials: every docs/tutorials/*.ipynb executed with nbclient (each in its own folder
  under WORK/run) and written as a Markdown page with its outputs and figures.

It also checks that every key `velmora-cli analyse --json` prints is named on the reference page
of the analysis JSON. Sphinx then builds the HTML with warnings as errors (-W --keep-going).
Exit status: 0 built, 1 a step failed (its message says which), 2 a usage error.
"""

import argparse
import base64
import concurrent.futures
import fnmatch
import json
import os
import re
import shutil
import subprocess
import sys
import time

DOCS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOP = os.path.dirname(DOCS)
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class BuildError(Exception):
    pass


def log(message):
    print(f"build_manual: {message}", flush=True)


def run(cmd, env, cwd=None, timeout=600):
    """Runs cmd; its standard output, or a BuildError with its output when it fails."""
    try:
        p = subprocess.run(cmd, env=env, cwd=cwd, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise BuildError(f"{' '.join(cmd)}: still running after {timeout} s")
    if p.returncode != 0:
        raise BuildError(f"{' '.join(cmd)} exited with {p.returncode}:\n{p.stdout}{p.stderr}")
    return p.stdout


def environment(build):
    """The environment of every program the build runs: the built velmora-cli first on PATH
    (then Debian's interpreter, whose numpy and matplotlib the module is built for), the module on
    PYTHONPATH, matplotlib without a display."""
    env = dict(os.environ)
    env["PATH"] = os.pathsep.join([os.path.join(build, "cli"), "/usr/bin", env.get("PATH", "")])
    env["PYTHONPATH"] = os.path.join(build, "python")
    env["VELMORA_PYTHON_DIR"] = env["PYTHONPATH"]
    env["VELMORA_CLI"] = os.path.join(build, "cli", "velmora-cli")
    env["MPLBACKEND"] = "Agg"
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


# --- the command reference -------------------------------------------------------------------

def subcommands(help_text):
    """The subcommands a CLI11 help text lists under SUBCOMMANDS."""
    names, inside = [], False
    for line in help_text.splitlines():
        if line.upper().startswith("SUBCOMMANDS:"):
            inside = True
            continue
        if inside:
            if line and not line[0].isspace():
                break
            m = re.match(r"^  (\S+)", line)
            if m:
                names.append(m.group(1))
    return names


def command_reference(env):
    """Markdown: a section per command, found by walking the subcommands velmora-cli lists, each
    with its --help as the program prints it (called by its name on PATH, so the usage lines
    read `velmora-cli ...` as a user's do)."""
    cli = "velmora-cli"
    out = []

    def walk(path, depth):
        text = run([cli] + path + ["--help"], env)
        title = " ".join(["velmora-cli"] + path)
        out.append(f"{'#' * depth} `{title}`\n\n```text\n{text.rstrip()}\n```\n")
        for name in subcommands(text):
            walk(path + [name], min(depth + 1, 4))

    walk([], 2)
    version = run([cli, "--version"], env).strip()
    return f"The texts below are the help of {version}, as it prints them.\n\n" + "\n".join(out)


# --- pictures ----------------------------------------------------------------------------------

def make_run_pictures(env, build, work, static):
    """`make run`'s headless job in WORK/run/make-run, its two pictures, and the views of its run
    rendered by velmora-cli; returns the run's path prefix (for the JSON check)."""
    runs = os.path.join(work, "run", "make-run")
    shutil.rmtree(runs, ignore_errors=True)
    os.makedirs(runs)
    # make run's job, shortened to 6 orbits (it runs 10) to keep the build quick.
    env = dict(env, VELMORA_RUNS_DIR=runs, VELMORA_HEADLESS="1", VELMORA_ORBITS="6")
    printed = run(["sh", os.path.join(TOP, "scripts", "run-main"), build], env, timeout=900)
    with open(os.path.join(static, "make-run-output.txt"), "w") as f:
        f.write(printed.replace(runs, "runs").replace(build, "build"))
    for png in ("default_last_frame.png", "default_lc.png"):
        shutil.copy(os.path.join(runs, png), os.path.join(static, png))
    cli = env["VELMORA_CLI"]
    run([cli, "render", "title", "--out", os.path.join(static, "title.png")], env, cwd=runs)
    run([cli, "render", "recording", "default.vlm", "--frame", "1", "--angles", "60,0",
         "--out", os.path.join(static, "default_tilted.png")], env, cwd=runs)
    return os.path.join(runs, "default")


def make_window_picture(build, static):
    """The desktop program's main window as it opens, under a virtual X display (xvfb-run), taken
    with ImageMagick's import once xdotool finds it by its title and it has had time to draw."""
    gui = os.path.join(build, "shell", "qt", "velmora")
    out = os.path.join(static, "window.png")
    script = f"""
set -eu
"{gui}" & pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
win=""
for i in $(seq 1 120); do
  win=$(xdotool search --name '^Velmora Cataclysmic Variable Simulator$' 2>/dev/null | head -n 1) || true
  [ -n "$win" ] && break
  sleep 0.5
done
if [ -z "$win" ]; then echo "the main window did not appear within 60 s" >&2; exit 1; fi
sleep 3
import -window "$win" "{out}"
"""
    env = dict(os.environ, QT_QPA_PLATFORM="xcb")
    env.pop("QT_SCALE_FACTOR", None)
    run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script], env,
        cwd=os.path.join(build, "shell", "qt"), timeout=120)
    if not os.path.exists(out):
        raise BuildError("the desktop program's window was not captured")


def make_study_figure(env, static):
    """The figure of eps against q from the collected study table in docs/data/."""
    table = os.path.join(DOCS, "data", "q_study.results.csv")
    run([PYTHON, "-m", "velmora", "study", table, "--out", os.path.join(static, "eps_q.png"),
         "--title", "superhump period excess against mass ratio (10 000 particles, 150 orbits)"], env)


# --- the analysis JSON's keys ----------------------------------------------------------------------

def json_keys(value, prefix=""):
    keys = set()
    if isinstance(value, dict):
        for k, v in value.items():
            keys.add(k)
            keys |= json_keys(v)
    elif isinstance(value, list):
        for v in value:
            keys |= json_keys(v)
    return keys


def check_json_keys(env, run_prefix, page):
    """Every key `analyse --json` prints must be named (in backticks) on the reference page."""
    printed = run([env["VELMORA_CLI"], "analyse", run_prefix, "--json", "--quiet", "--window", "4"], env)
    keys = json_keys(json.loads(printed))
    with open(page) as f:
        named = set()
        for token in re.findall(r"`([A-Za-z0-9_.]+)`", f.read()):
            named.update(token.split("."))
    missing = sorted(k for k in keys if k not in named)
    if missing:
        raise BuildError(f"{os.path.relpath(page, DOCS)} does not describe these keys of analyse --json: "
                         + ", ".join(missing))


# --- the tutorials ------------------------------------------------------------------------------

ANSI = re.compile(r"\x1b\[[0-9;]*[A-Za-z]")


def fence(text, lang="text"):
    text = ANSI.sub("", text).rstrip("\n")
    ticks = "```"
    while ticks in text:
        ticks += "`"
    return f"{ticks}{lang}\n{text}\n{ticks}\n"


def notebook_markdown(nb, name, figures):
    """A MyST page of an executed notebook: its Markdown cells as they are, each code cell as a
    Python block followed by its printed output and its figures (written into `figures`)."""
    os.makedirs(figures, exist_ok=True)
    parts = []
    n = 0
    for cell in nb.cells:
        if cell.cell_type == "markdown":
            parts.append(cell.source + "\n")
            if len(parts) == 1:
                parts.append(f"{{download}}`Download this notebook <{name}.ipynb>` (without its outputs).\n")
            continue
        if cell.cell_type != "code" or not cell.source.strip():
            continue
        parts.append(fence(cell.source, "python"))
        text = ""
        for o in cell.get("outputs", []):
            if o.output_type == "stream":
                text += o.text
            elif o.output_type in ("execute_result", "display_data"):
                data = o.get("data", {})
                if "image/png" in data:
                    if text:
                        parts.append(fence(text))
                        text = ""
                    n += 1
                    png = f"{name}_{n}.png"
                    with open(os.path.join(figures, png), "wb") as f:
                        f.write(base64.b64decode(data["image/png"]))
                    parts.append(f"![output of the cell above]({os.path.basename(figures)}/{png})\n")
                elif "text/plain" in data:
                    text += data["text/plain"] + "\n"
        if text:
            parts.append(fence(text))
    return "\n".join(parts)


def execute_notebook(source, stage_dir, work, env):
    """Executes one notebook in its own folder under work and writes its page into stage_dir;
    returns (name, seconds)."""
    import nbformat
    from nbclient import NotebookClient
    from nbclient.exceptions import CellExecutionError

    name = os.path.splitext(os.path.basename(source))[0]
    folder = os.path.join(work, "run", name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    nb = nbformat.read(source, as_version=4)
    start = time.monotonic()
    os.environ.update(env)
    client = NotebookClient(nb, timeout=600, kernel_name="python3", resources={"metadata": {"path": folder}})
    try:
        client.execute()
    except CellExecutionError as e:
        raise BuildError(f"tutorials/{name}.ipynb failed:\n{e}")
    seconds = time.monotonic() - start
    nbformat.write(nb, os.path.join(folder, f"{name}.executed.ipynb"))
    page = notebook_markdown(nb, name, os.path.join(stage_dir, f"{name}_files"))
    with open(os.path.join(stage_dir, f"{name}.md"), "w") as f:
        f.write(page)
    return name, seconds


def execute_tutorials(stage, work, env, jobs, pattern):
    """Executes the tutorials whose names match pattern; the others get a page that says they were
    left out of this build (a quick build while writing)."""
    stage_dir = os.path.join(stage, "tutorials")
    sources = []
    for f in sorted(os.listdir(os.path.join(DOCS, "tutorials"))):
        if not f.endswith(".ipynb"):
            continue
        if fnmatch.fnmatch(f[:-len(".ipynb")], pattern):
            sources.append(os.path.join(DOCS, "tutorials", f))
        else:
            with open(os.path.join(stage_dir, f[:-len(".ipynb")] + ".md"), "w") as page:
                page.write(f"# {f[:-len('.ipynb')]}\n\nThis tutorial was not executed in this build of the manual.\n")
    env = dict(env)
    # Figures shown in the notebooks become their outputs (the inline backend); the kernel's
    # debugger keeps quiet about frozen modules.
    env["MPLBACKEND"] = "module://matplotlib_inline.backend_inline"
    env["PYDEVD_DISABLE_FILE_VALIDATION"] = "1"
    # The notebooks run side by side, each with its share of the cores.
    env["OMP_NUM_THREADS"] = str(max(1, (os.cpu_count() or 1) // jobs))
    with concurrent.futures.ProcessPoolExecutor(max_workers=jobs) as pool:
        futures = [pool.submit(execute_notebook, s, stage_dir, work, env) for s in sources]
        failures = []
        for f in futures:
            try:
                name, seconds = f.result()
                log(f"tutorials/{name}.ipynb executed in {seconds:.0f} s")
            except BuildError as e:
                failures.append(str(e))
    if failures:
        raise BuildError("\n".join(failures))


# --- the whole build ----------------------------------------------------------------------------

def main(argv=None):
    parser = argparse.ArgumentParser(description="Builds the Velmora manual into HTML.")
    parser.add_argument("--build", required=True, help="the build folder (velmora-cli, the module, the program)")
    parser.add_argument("--out", help="the HTML folder (default BUILD/docs/html)")
    parser.add_argument("--work", help="the staging and run folder (default BUILD/docs)")
    parser.add_argument("--jobs", type=int, default=2, help="tutorials executed at once (default 2)")
    parser.add_argument("--no-window", action="store_true", help="leave the desktop program's screenshot out")
    parser.add_argument("--tutorials", default="*", metavar="PATTERN",
                        help="execute only the tutorials whose names match (default every one)")
    args = parser.parse_args(argv)

    build = os.path.abspath(args.build)
    work = os.path.abspath(args.work or os.path.join(build, "docs"))
    out = os.path.abspath(args.out or os.path.join(work, "html"))
    cli = os.path.join(build, "cli", "velmora-cli")
    for need in (cli, os.path.join(build, "python", "velmora")):
        if not os.path.exists(need):
            print(f"build_manual: {need} is missing: build the program first (make build)", file=sys.stderr)
            return 2
    if args.jobs < 1:
        print("build_manual: --jobs must be at least 1", file=sys.stderr)
        return 2

    start = time.monotonic()
    env = environment(build)
    stage = os.path.join(work, "src")
    try:
        shutil.rmtree(stage, ignore_errors=True)
        shutil.copytree(DOCS, stage, ignore=shutil.ignore_patterns("_tools", "__pycache__"))
        static = os.path.join(stage, "_generated")
        os.makedirs(static)

        log("the command reference from velmora-cli --help")
        with open(os.path.join(stage, "reference", "cli.md"), "a") as f:
            f.write("\n" + command_reference(env))

        log("make run's headless job and the rendered views")
        prefix = make_run_pictures(env, build, work, static)
        check_json_keys(env, prefix, os.path.join(stage, "reference", "analysis-json.md"))
        if not args.no_window:
            log("the desktop program's window under Xvfb")
            make_window_picture(build, static)
        else:
            shutil.copy(os.path.join(static, "title.png"), os.path.join(static, "window.png"))
        log("the study figure")
        make_study_figure(env, static)

        log(f"the tutorials, {args.jobs} at a time")
        execute_tutorials(stage, work, env, args.jobs, args.tutorials)

        log("sphinx-build -W --keep-going")
        env["VELMORA_DOCS_VERSION"] = run([cli, "--version"], env).split()[-1]
        shutil.rmtree(out, ignore_errors=True)
        p = subprocess.run([PYTHON, "-m", "sphinx", "-W", "--keep-going", "-q", "-b", "html",
                            "-d", os.path.join(work, "doctrees"), stage, out], env=env)
        if p.returncode != 0:
            raise BuildError(f"sphinx-build failed (exit {p.returncode}); its messages are above")
    except BuildError as e:
        print(f"build_manual: {e}", file=sys.stderr)
        return 1
    log(f"built {os.path.join(out, 'index.html')} in {time.monotonic() - start:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
