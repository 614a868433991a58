#!/usr/bin/env python3
"""Writes the page's WebAssembly as a script: gzipped, in base64, as the
string ZENTROW_WASM, which page.js unpacks with the browser's own
DecompressionStream. A page opened from file:// may fetch nothing, not even
a .wasm file beside it; gzip keeps the script at about half the size of
emscripten's own single-file form.

    pack_wasm.py MODULE.wasm OUT.js
"""
import base64
import gzip
import sys

wasm, out = sys.argv[1:3]
with open(wasm, "rb") as f:
    packed = gzip.compress(f.read(), compresslevel=9, mtime=0)
with open(out, "w", encoding="ascii") as f:
    f.write('var ZENTROW_WASM = "' + base64.b64encode(packed).decode("ascii") + '";\n')
