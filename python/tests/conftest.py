import json
import os
import subprocess

import pytest

import vok32


class Tool:
    """The vok command-line tool: the C side the package is compared with."""

    def __init__(self, path):
        self.path = path

    def run(self, *arguments, data=b"", check=True):
        result = subprocess.run([self.path, *arguments], input=data, capture_output=True)
        if check and result.returncode:
            raise AssertionError(f"vok {arguments[0]}: {result.stderr.decode()}")
        return result

    def items(self, data, check=True):
        """(kind, value, offset, size) of every item of every block of data,
        block by block, as `vok dump --json` lists them."""
        blocks = []
        for line in self.run("dump", "--json", "-", data=data, check=check).stdout.splitlines():
            entry = json.loads(line)
            if entry["kind"] == "stream":
                blocks.append([])
                start = entry["offset"]
            elif entry["kind"] != "end":
                blocks[-1].append(_as_item(entry, entry["offset"] - start))
        return blocks


def _as_item(entry, offset):
    name, width = entry["kind"], entry.get("width")
    kind = {
        "mark": "USER_MARK", "phrase": "PHRASE_MARK", "flag": "FLAG", "safe": f"SAFE_{width}",
        "unsigned": f"UNSIGNED_{width}", "signed": f"SIGNED_{width}",
        "string": f"STRING_{width}", "utf8": f"UTF8_{width}",
    }[name]
    if name in ("string", "utf8"):
        text = entry.get("text")
        value = text.encode("utf-8") if text is not None else bytes.fromhex(entry["hex"])
        value = value.decode("utf-8", "surrogateescape") if name == "utf8" else value
    else:
        value = entry["length"] if name == "safe" else entry["value"]
    return (vok32.Kind[kind], value, offset, entry["size"])


@pytest.fixture(scope="session")
def vok():
    return Tool(os.environ.get("VOK_TOOL", "vok"))
