import json
import os
import subprocess

import pytest

import vok32

# Every test runs over each implementation of the package (the compiled
# extension and ctypes), or over the one VOK32_IMPLEMENTATION names.
IMPLEMENTATIONS = ([os.environ["VOK32_IMPLEMENTATION"]] if os.environ.get("VOK32_IMPLEMENTATION")
                   else sorted(vok32._implementation.available))


@pytest.fixture(autouse=True, params=IMPLEMENTATIONS)
def implementation(request):
    vok32._use(request.param)
    return request.param

# dump --json's kinds and the vok32.Kind names they take with their width
KINDS = {"mark": "USER_MARK", "phrase": "PHRASE_MARK", "flag": "FLAG", "safe": "SAFE_",
         "unsigned": "UNSIGNED_", "signed": "SIGNED_", "string": "STRING_", "utf8": "UTF8_"}


def write(items, stream_type=3, version=1):
    """A block of the items, each a Writer method's name and its argument."""
    with vok32.Writer(stream_type, version) as writer:
        for method, value in items:
            getattr(writer, method)(value)
        return writer.finish()


def vok(*arguments, data=b""):
    """Runs the vok tool, the C side the package is compared with."""
    result = subprocess.run([os.environ.get("VOK_TOOL", "vok"), *arguments], input=data,
                            capture_output=True)
    assert result.returncode == 0, result.stderr.decode()
    return result.stdout


def listed(data):
    """Per block of data, (kind, value, offset in the block, size) of each
    item as `vok dump --json` lists it."""
    blocks = []
    for entry in map(json.loads, vok("dump", "--json", "-", data=data).splitlines()):
        name, value = entry["kind"], entry.get("value", entry.get("length"))
        if name == "stream":
            blocks.append([])
            start = entry["offset"]
        elif name != "end":
            if name in ("string", "utf8"):
                value = entry["text"].encode() if "text" in entry else bytes.fromhex(entry["hex"])
                value = value.decode("utf-8", "surrogateescape") if name == "utf8" else value
            kind = vok32.Kind[KINDS[name] + str(entry.get("width", ""))]
            blocks[-1].append((kind, value, entry["offset"] - start, entry["size"]))
    return blocks
