#!/usr/bin/env python3
"""Makes the web edition's one self-contained page: the configured markup with its style,
its script, the tool's WebAssembly (in base64) and the runtime's JavaScript filled in,
under a policy that lets run these scripts and this style and nothing else, and fetch
nothing at all.

usage: make_page.py MARKUP STYLE SCRIPT GLUE WASM PAGE RUNTIME
RUNTIME names, comma-separated, the runtime's functions that the page and the seams call:
each must be defined in the glue, or the page would fail only in a player's browser.
"""
import base64
import hashlib
import re
import sys


def digest(text):
    return "'sha256-%s'" % base64.b64encode(hashlib.sha256(text.encode()).digest()).decode()


def read(name):
    with open(name, encoding="utf-8") as source:
        return source.read()


def main():
    markup, style, page_script, glue, wasm, page, runtime = sys.argv[1:]
    html, style, page_script, script = (read(name) for name in (markup, style, page_script, glue))
    script = script.strip()
    for name in runtime.split(","):
        if not re.search(rf"Module\[[\"']{name}[\"']\]\s*=", script):
            sys.exit(f"make_page: the runtime has no {name}; export it by name")
    if "</script" in (script + page_script).lower():
        sys.exit("make_page: a script would end its element early")
    with open(wasm, "rb") as source:
        binary = base64.b64encode(source.read()).decode()
    # Every placeholder in the markup is one filled here; a misspelt or new one would go
    # out as it stands.
    placeholders = set(re.findall(r"%%[A-Z_]+%%", html + page_script))
    if placeholders != {"%%KOVALT_STYLE%%", "%%KOVALT_SCRIPT%%", "%%KOVALT_WASM%%", "%%KOVALT_GLUE%%",
                        "%%KOVALT_POLICY%%"}:
        sys.exit(f"make_page: the page's placeholders are {sorted(placeholders)}")
    html = html.replace("%%KOVALT_STYLE%%", style).replace("%%KOVALT_SCRIPT%%", page_script)
    html = html.replace("%%KOVALT_WASM%%", binary).replace("%%KOVALT_GLUE%%", script)
    # Only a script element without attributes runs; the one that holds the WebAssembly
    # is data.
    scripts = " ".join(map(digest, re.findall(r"<script>(.*?)</script>", html, re.S)))
    styles = " ".join(map(digest, re.findall(r"<style>(.*?)</style>", html, re.S)))
    policy = (f"default-src 'none'; script-src {scripts} 'wasm-unsafe-eval'; "
              f"style-src {styles}; base-uri 'none'; form-action 'none'")
    with open(page, "w", encoding="utf-8", newline="\n") as target:
        target.write(html.replace("%%KOVALT_POLICY%%", policy))


if __name__ == "__main__":
    main()
