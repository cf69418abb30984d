#!/usr/bin/env python3
"""Makes the web edition's one self-contained page: the configured template with the
tool's WebAssembly (in base64) and its JavaScript filled in, under a policy that lets
run these scripts and this style and nothing else, and fetch nothing at all.

usage: make_page.py TEMPLATE GLUE WASM PAGE RUNTIME CATALOGUE
RUNTIME names, comma-separated, the runtime's functions that the page and the seams call:
each must be defined in the glue, or the page would fail only in a player's browser.
CATALOGUE is the messages' one definition, whose meanings and advice the page shows.
"""
import json
import base64
import hashlib
import re
import sys


def digest(text):
    return "'sha256-%s'" % base64.b64encode(hashlib.sha256(text.encode()).digest()).decode()


def catalogue_of(definition):
    """The rows of the catalogue's definition as the page's script holds them: by id, the
    meaning and, where there is one, the advice in both languages."""
    rows = []
    literal = r'"(?:[^"\\]|\\.)*"'
    for match in re.finditer(r"^KOVALT_MESSAGE\((\w+),((?:\s*" + literal + r"\s*,?)*)\)", definition, re.M):
        parts = [json.loads(part) for part in re.findall(literal, match.group(2))]
        if len(parts) != 4 or not parts[0].endswith("\n"):
            sys.exit(f"make_page: the catalogue's row {match.group(1)} is not whole")
        text, meaning, japanese, english = parts
        rows.append({"id": match.group(1), "meaning": meaning, **({"advice": [japanese, english]} if japanese else {})})
    if len(rows) != definition.count("\nKOVALT_MESSAGE("):
        sys.exit("make_page: a row of the catalogue could not be read")
    return json.dumps(rows, ensure_ascii=False, indent=0)


def main():
    template, glue, wasm, page, runtime, catalogue = sys.argv[1:]
    with open(template, encoding="utf-8") as source:
        html = source.read()
    with open(glue, encoding="utf-8") as source:
        script = source.read().strip()
    for name in runtime.split(","):
        if not re.search(rf"Module\[[\"']{name}[\"']\]\s*=", script):
            sys.exit(f"make_page: the runtime has no {name}; export it by name")
    if "</script" in script.lower():
        sys.exit("make_page: the glue would end its script element early")
    with open(wasm, "rb") as source:
        binary = base64.b64encode(source.read()).decode()
    # Every placeholder in the template is one filled here; a misspelt or new one would
    # go out as it stands.
    placeholders = set(re.findall(r"%%[A-Z_]+%%", html))
    if placeholders != {"%%KOVALT_WASM%%", "%%KOVALT_GLUE%%", "%%KOVALT_POLICY%%", "%%KOVALT_CATALOGUE%%"}:
        sys.exit(f"make_page: the template's placeholders are {sorted(placeholders)}")
    with open(catalogue, encoding="utf-8") as source:
        rows = catalogue_of(source.read())
    html = html.replace("%%KOVALT_CATALOGUE%%", rows)
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
