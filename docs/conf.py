# The Velmora manual: Sphinx with MyST Markdown pages. It is built by docs/_tools/build_manual.py
# (`make docs`), which copies these sources into the build tree, adds what it makes from the built
# program (the command reference, screenshots, figures, executed tutorials) and runs Sphinx there.
import os
import sys

project = "Velmora"
author = "The Velmora developers"
copyright = "Velmora developers"
version = release = os.environ.get("VELMORA_DOCS_VERSION", "")

extensions = [
    "myst_parser",
    "sphinx.ext.autodoc",
    "sphinx.ext.mathjax",
]

# The module is imported from the build tree (build_manual.py puts it on sys.path).
if os.environ.get("VELMORA_PYTHON_DIR"):
    sys.path.insert(0, os.environ["VELMORA_PYTHON_DIR"])

source_suffix = {".md": "markdown"}
master_doc = "index"
exclude_patterns = ["_build", "_tools", "data", "**/.ipynb_checkpoints", "tutorials/*.ipynb"]
myst_enable_extensions = ["colon_fence", "deflist", "dollarmath"]
myst_heading_anchors = 3

autodoc_member_order = "bysource"
autodoc_typehints = "description"
autodoc_default_options = {"members": True, "undoc-members": False, "show-inheritance": True}

html_theme = "sphinx_rtd_theme"
html_title = "Velmora manual"
html_static_path = []
html_theme_options = {"navigation_depth": 3}
html_show_sourcelink = False
# Internal links only: nothing is fetched when the manual is built.
linkcheck_ignore = [r"https?://.*"]
