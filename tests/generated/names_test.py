"""vok gen under adversarial names.  Every schema the tool accepts compiles
without a warning as C99, C11 and gnu17 and as C++17 and C++20 (the C
header too), with gcc and clang; every refusal names the schema path of the
name.  Usage: names_test.py VOK SOURCE_DIR BINARY_INCLUDE_DIR"""
import concurrent.futures
import itertools
import json
import os
import subprocess
import sys
import tempfile

VOK, SOURCE, BUILT = sys.argv[1:4]
FLAGS = ["-Wall", "-Wextra", "-Wpedantic", "-Werror", "-Wshadow", "-Wconversion", "-fsyntax-only",
         f"-I{SOURCE}/include", f"-I{BUILT}"]
COMPILERS = [(cc, "c", std) for cc in ("gcc", "clang") for std in ("c99", "c11", "gnu17")] + [
    (cc, "c++", std) for cc in ("g++", "clang++") for std in ("c++17", "c++20")]

# Keywords, the headers' macros, reserved identifiers, what the generator
# makes (functions, tables, locals, namespaces, members, macros) and names
# that differ only in case.
NAMES = ["int", "class", "new", "template", "_Bool", "and", "UINT32_MAX", "SIZE_MAX", "VOK_OK",
         "VOKX_OPTIONAL", "linux", "unix", "stdin", "errno", "EOF", "offsetof", "_x", "_X", "a__b",
         "size_t", "uint32_t", "vokStream", "vokxText", "vokxSchema", "schema", "write", "encode",
         "decode", "layout", "fields", "places", "groups", "group_places", "group_fields",
         "Order_places", "Order_lines", "ORDER_TYPE", "ORDER_VERSION", "ORDER_VOK_H", "detail",
         "std", "Std", "vok", "Vok", "posix", "Writer", "Int", "Class", "New", "Template",
         "clear", "take", "record", "r", "p", "seen", "encode_to", "level_size", "read_plain",
         "has_amount", "amount_count", "Order", "order", "ORDER"]


ROLES = ["name", "groups[1].name", "fields[2].name", "groups[0].fields[1].name",
         "fields[2].values"]
# Names that compile but are not the schema's to take: each must be refused.
REFUSED = [("fields[2].name", "lines_count"), ("fields[2].name", "a__b"),
           ("fields[2].values", "a__b")]


def schema(role, names):
    """The README's orders with names put in a role (the schema's name: one)."""
    group_fields = [{"mark": 20, "name": "sku", "kind": "string"}]
    fields = [{"mark": 1, "name": "id", "kind": "unsigned"},
              {"mark": 2, "name": "amount", "kind": "signed", "optional": True}]
    groups = [{"phrase": 3, "name": "lines", "repeated": True, "max": 4, "fields": group_fields}]
    for n, name in enumerate(names):
        if role == "name":
            return {"name": name, "type": 7, "version": 2, "fields": fields, "groups": groups}
        if role == "groups[1].name":
            groups.append({"phrase": 4 + n, "name": name, "optional": True, "fields": []})
        elif role == "fields[2].name":
            fields.append({"mark": 3 + n, "name": name, "kind": "utf8", "repeated": True, "max": 2})
        elif role == "fields[2].values":  # Order_status_NAME in C, Order_status::NAME in C++
            if len(fields) == 2:
                fields.append({"mark": 3, "name": "status", "kind": "enum", "values": {}})
            fields[2]["values"][name] = n
        else:
            group_fields.append({"mark": 21 + n, "name": name, "kind": "flag", "optional": True})
    return {"name": "Order", "type": 7, "version": 2, "fields": fields, "groups": groups}


def generate(work, doc, language, *options):
    """vok gen into a folder of its own: the generated files, or None and the message."""
    folder = tempfile.mkdtemp(dir=work)
    path = os.path.join(folder, "schema.json")
    with open(path, "w") as file:
        json.dump(doc, file)
    out = os.path.join(folder, "out")
    result = subprocess.run([VOK, "gen", language, path, "-o", out, *options],
                            capture_output=True, text=True)
    if result.returncode != 0:
        assert not os.path.exists(out), "refused, yet files were written"
        return None, result.stderr
    return [os.path.join(out, name) for name in sorted(os.listdir(out))], ""


def units(work, files):
    """Sources to compile: the C files, a C++ unit for each C header, and C++
    units that include as many C++ headers at once as can share one (one
    per namespace)."""
    c_files = [f for f in files if f.endswith(".c")]
    taken, made = [], []
    for header in (f for f in files if f.endswith((".vok.h", ".vok.hpp"))):
        with open(header) as text:
            first = "namespace " if header.endswith(".hpp") else "#ifndef "
            key = (header.endswith(".hpp"), next(line for line in text if line.startswith(first)))
        n = next((n for n, u in enumerate(taken) if key[0] and key not in u and
                  next(iter(u))[0]), len(taken))  # C: a header each (Order_lines, two ways)
        if n == len(taken):
            taken.append(set())
            made.append([])
        taken[n].add(key)
        made[n].append(header)
    for n, headers in enumerate(made):
        with open(os.path.join(work, f"unit{n}.cpp"), "w") as unit:
            unit.writelines(f'#include "{header}"\n' for header in headers)
    return {"c": c_files, "c++": [os.path.join(work, f"unit{n}.cpp") for n in range(len(made))]}


def compile_all(sources):
    def run(compiler):
        cc, language, std = compiler
        result = subprocess.run([cc, f"-std={std}", *FLAGS, *sources[language]],
                                capture_output=True, text=True)
        return f"{cc} -std={std}: {result.stderr[:3000]}" if result.returncode else ""

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        return [failure for failure in pool.map(run, COMPILERS) if failure]


def cmake_refuses_a_clash(work):
    """Order and ORDER would both write order.vok.h: vok32_generate says so."""
    project = os.path.join(work, "clash")
    os.makedirs(project)
    for name in ("Order", "ORDER"):
        with open(os.path.join(project, name + ".json"), "w") as file:
            json.dump(schema("name", [name]), file)
    with open(os.path.join(project, "CMakeLists.txt"), "w") as file:
        file.write(f"cmake_minimum_required(VERSION 3.25)\nproject(clash NONE)\n"
                   f"include({SOURCE}/cmake/vok32Generate.cmake)\nadd_library(records INTERFACE)\n"
                   "vok32_generate(records LANGUAGE c SCHEMAS Order.json ORDER.json)\n")
    result = subprocess.run(["cmake", "-S", project, "-B", os.path.join(project, "build"),
                             f"-DVOK32_VOK_EXECUTABLE={VOK}"], capture_output=True, text=True)
    refused = result.returncode != 0 and "would both write" in result.stderr
    return [] if refused else [f"vok32_generate accepted Order and ORDER: {result.stderr}"]


def main():
    failures, files = [], []
    accepted = {(role, language): [] for role in ROLES for language in ("c", "cpp")}
    with tempfile.TemporaryDirectory() as work:
        for role, name, language in itertools.product(ROLES, NAMES, ("c", "cpp")):
            made, message = generate(work, schema(role, [name]), language)
            if made and role == "name":
                files += made
            elif made:
                accepted[role, language].append(name)
            elif f': {role}: "{name}" ' not in message:
                failures.append(f"{role} {name!r} ({language}): refused without its place: {message}")
        for role, name in REFUSED:
            for language in ("c", "cpp"):
                if generate(work, schema(role, [name]), language)[0]:
                    failures.append(f"{role} {name!r} ({language}): accepted")
        for (role, language), names in accepted.items():  # all of a role's names at once
            made, message = generate(work, schema(role, names), language)
            files += made or []
            failures += [] if made else [f"{role}: {names} together: {message}"]
        for name in ("a b", "a::int", "::a", "x::std", "a::b"):
            made, message = generate(work, schema("name", ["Order"]), "cpp", "--namespace", name)
            files += made or []
            if (made is None) == (name == "a::b"):
                failures.append(f"--namespace {name!r}: {message or 'accepted'}")
        for example in ("examples/order.schema.json", "tests/generated/names.schema.json",
                        "tests/generated/empty.schema.json", "tests/generated/kinds.schema.json",
                        "tests/generated/readings.schema.json"):
            with open(os.path.join(SOURCE, example)) as file:
                doc = json.load(file)
            for language in ("c", "cpp"):
                made, message = generate(work, doc, language)
                files += made or []
                failures += [] if made else [f"{example}: {message}"]
        failures += cmake_refuses_a_clash(work)
        sources = units(work, files)
        print(f"{len(sources['c'])} C files and {len(sources['c++'])} C++ units, each compiled "
              f"{len(COMPILERS) // 2} ways")
        failures += compile_all(sources)
    print("\n".join(failures) or "all compiled without a warning; every refusal named its place")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
