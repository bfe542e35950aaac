"""Loading of the two native libraries and the prototypes of their functions.

Every function the package calls is declared here with its argument and result
types, so that ctypes converts values exactly and never guesses (an undeclared
result would come back as a C int, turning 233 from an 8-bit function into
-23).  Nothing outside this module touches ctypes' library objects.
"""

from __future__ import annotations

import ctypes
import os
import sys
import sysconfig
from ctypes import Structure, c_char_p, c_int32, c_size_t, c_uint8, c_uint16, c_uint32, c_void_p
from typing import Any, Optional

ENVIRONMENT_VARIABLE = "VOK32_LIBRARY_PATH"


class VokStream(Structure):
    """The caller-owned stream handle; field order and types are binary interface."""

    _fields_ = [
        ("data", c_void_p),
        ("capacity", c_uint32),
        ("position", c_uint32),
        ("active", c_uint32),
    ]


class VokxBlockInfo(Structure):
    _fields_ = [
        ("length", c_uint32),
        ("type", c_uint8),
        ("version", c_uint32),
        ("body", c_uint32),
    ]


class VokxItem(Structure):
    _fields_ = [
        ("kind", c_uint8),
        ("offset", c_uint32),
        ("size", c_uint32),
        ("value", c_uint32),
        ("signed_value", c_int32),
        ("text", c_void_p),
        ("length", c_uint32),
    ]


class VokxValue(ctypes.Union):
    _fields_ = [("unsigned64", ctypes.c_uint64), ("signed64", ctypes.c_int64),
                ("float32", ctypes.c_float), ("float64", ctypes.c_double)]


class VokxEnumValue(Structure):
    _fields_ = [("name", c_char_p), ("number", c_uint32)]


class VokxFieldDetail(Structure):
    _fields_ = [("values", ctypes.POINTER(VokxEnumValue)), ("value_count", c_uint32),
                ("has_default", c_uint32), ("default_value", VokxValue),
                ("default_text", c_void_p), ("default_length", c_uint32)]


class VokxFieldSpec(Structure):
    _fields_ = [("name", c_char_p), ("mark", c_uint32), ("kind", c_uint32), ("flags", c_uint32),
                ("max", c_uint32), ("detail", ctypes.POINTER(VokxFieldDetail))]


class VokxGroupSpec(Structure):
    _fields_ = [("name", c_char_p), ("phrase", c_uint32), ("flags", c_uint32), ("max", c_uint32),
                ("fields", ctypes.POINTER(VokxFieldSpec)), ("field_count", c_uint32)]


class VokxSchema(Structure):
    _fields_ = [("name", c_char_p), ("type", c_uint32), ("version", c_uint32),
                ("fields", ctypes.POINTER(VokxFieldSpec)), ("field_count", c_uint32),
                ("groups", ctypes.POINTER(VokxGroupSpec)), ("group_count", c_uint32)]


class VokxRecordError(Structure):
    _fields_ = [("status", c_uint16), ("offset", c_uint32), ("path", ctypes.c_char * 96),
                ("message", ctypes.c_char * 160)]


class VokxRecordReader(Structure):
    """The engine's reading state; only its size and alignment matter here."""

    _fields_ = [("stream", VokStream), ("schema", c_void_p), ("group", c_int32),
                ("occurrence", c_uint32), ("pending", c_int32), ("pending_offset", c_uint32),
                ("completed", c_int32), ("passing", c_uint32), ("status", c_uint16),
                ("field_counts", c_uint32 * 200), ("group_counts", c_uint32 * 256)]


class VokxRecordField(Structure):
    _fields_ = [("group", c_int32), ("occurrence", c_uint32), ("field", c_int32),
                ("item", VokxItem)]


class VokxRecordWriter(Structure):
    """The engine's writing state; only its size and alignment matter here."""

    _fields_ = [("stream", c_void_p), ("schema", c_void_p), ("start", c_uint32),
                ("group", c_int32), ("last_field", c_int32), ("last_group", c_int32),
                ("status", c_uint16), ("field_counts", c_uint32 * 200),
                ("group_counts", c_uint32 * 256)]


def library_names(platform: str = sys.platform) -> tuple[str, str]:
    """File names of vok32 and vok32x; on Linux their sonames.

    The Windows names follow the project's build but are not tested here.
    """
    if platform.startswith("win"):
        return "vok32.dll", "vok32x.dll"
    return "libvok32.so.1", "libvok32x.so.2"


def _load_pair(paths: tuple[str, str]) -> tuple[ctypes.CDLL, ctypes.CDLL]:
    # vok32 first: vok32x needs it, and the loader then resolves that
    # dependency to the copy already in the process, whatever its directory.
    # PyDLL keeps the interpreter lock during a call: every call is short,
    # keeping the lock is cheaper than handing it over and back, and a
    # handle is never used by another Python thread halfway through a call.
    return ctypes.PyDLL(paths[0]), ctypes.PyDLL(paths[1])


def prefix_library_directories(package_directory: str) -> list[str]:
    """Where `cmake --install --prefix P` puts the libraries, for a package
    that pip installed into the same prefix P (P/lib/pythonX.Y/site-packages/
    vok32; Debian's pip puts it in P/local/lib/python3.X/dist-packages/vok32):
    P/lib, P/lib64 and Debian's P/lib/<multiarch>.  Empty when the package
    lies elsewhere."""
    parts = os.path.normpath(package_directory).split(os.sep)
    for i in range(len(parts) - 3, 0, -1):
        if parts[i] == "lib" and parts[i + 1].startswith("python"):
            prefixes = [os.sep.join(parts[:i]) or os.sep]
            if parts[i - 1] == "local" and parts[i + 2] == "dist-packages":
                prefixes.append(os.sep.join(parts[: i - 1]) or os.sep)
            multiarch = sysconfig.get_config_var("MULTIARCH") or ""
            candidates = ["lib", "lib64"] + ([os.path.join("lib", multiarch)] if multiarch else [])
            return [os.path.join(p, c) for p in prefixes for c in candidates]
    return []


def load_libraries(
    directory: Optional[str],
    package_directory: str,
    names: tuple[str, str],
) -> tuple[ctypes.CDLL, ctypes.CDLL, str]:
    """Loads vok32 and vok32x from the first place that holds both.

    The places, in order: directory (the environment variable's value, if
    set), the package's own directory, the library directories of the prefix
    the package is installed in, then the system's loader by name.  Returns
    the two libraries and a description of the place.
    """
    tried = []
    directories = [(f"${ENVIRONMENT_VARIABLE}={directory}", directory)] if directory else []
    directories.append(("the package directory " + package_directory, package_directory))
    directories += [("the installation prefix's " + d, d)
                    for d in prefix_library_directories(package_directory)]
    for place, folder in directories:
        paths = (os.path.join(folder, names[0]), os.path.join(folder, names[1]))
        missing = [p for p in paths if not os.path.isfile(p)]
        if missing:
            tried.append(f"{place} (no {', '.join(os.path.basename(p) for p in missing)})")
            continue
        try:
            return (*_load_pair(paths), folder)
        except OSError as error:
            tried.append(f"{place} ({error})")
    try:
        return (*_load_pair(names), "the system loader")
    except OSError as error:
        tried.append(f"the system loader ({error})")
    raise ImportError(
        f"vok32: cannot load {names[0]} and {names[1]}; tried "
        + "; ".join(tried)
        + f". Set {ENVIRONMENT_VARIABLE} to the directory holding both libraries."
    )


vok32, vok32x, loaded_from = load_libraries(
    os.environ.get(ENVIRONMENT_VARIABLE) or None,
    os.path.dirname(os.path.abspath(__file__)),
    library_names(),
)


def _function(library: ctypes.CDLL, name: str, result: Any, arguments: list) -> Any:
    function = getattr(library, name)
    function.restype = result
    function.argtypes = arguments
    return function


# Handles, items and results are passed as addresses (c_void_p) of
# structures their Python objects own for as long as they live: that costs
# less than a checked pointer type on every call.  Byte arguments are
# c_char_p, so that a bytes object is passed in place, without a copy.
_stream = c_void_p
_cursor = c_void_p
vokCreateStream = _function(vok32, "vokCreateStream", c_uint16, [_stream, c_uint8, c_uint32])
vokCloseStream = _function(vok32, "vokCloseStream", c_uint16, [_stream])
vokGetLength = _function(vok32, "vokGetLength", c_uint32, [_stream])
vokDestroyStream = _function(vok32, "vokDestroyStream", None, [c_void_p])
vokReset = _function(vok32, "vokReset", c_uint16, [_stream])
vokWriteUserMark = _function(vok32, "vokWriteUserMark", c_uint16, [_stream, c_uint8])
vokWritePhraseMark = _function(vok32, "vokWritePhraseMark", c_uint16, [_stream, c_uint8])
vokWriteFlag = _function(vok32, "vokWriteFlag", c_uint16, [_stream, c_int32])
vokWriteSigned = _function(vok32, "vokWriteSigned", c_uint16, [_stream, c_int32])
vokWriteUnsigned = _function(vok32, "vokWriteUnsigned", c_uint16, [_stream, c_uint32])
vokWriteString = _function(vok32, "vokWriteString", c_uint16, [_stream, c_char_p])
vokWriteUTF8String = _function(vok32, "vokWriteUTF8String", c_uint16, [_stream, c_char_p])
vokWriteSafeString = _function(vok32, "vokWriteSafeString", c_uint16, [_stream, c_char_p])
vokEncodeString = _function(vok32, "vokEncodeString", c_uint16, [_cursor, c_char_p])
vokEncodeUTF8String = _function(vok32, "vokEncodeUTF8String", c_uint16, [_cursor, c_char_p])
vokPeek = _function(vok32, "vokPeek", c_uint8, [_stream])
vokCanRead = _function(vok32, "vokCanRead", c_uint16, [_stream])
vokReadUserMark = _function(vok32, "vokReadUserMark", c_uint8, [_stream])
vokReadPhraseMark = _function(vok32, "vokReadPhraseMark", c_uint16, [_stream, c_void_p])
vokReadFlag = _function(vok32, "vokReadFlag", c_uint16, [_stream, c_void_p])
vokReadSigned = _function(vok32, "vokReadSigned", c_uint16, [_stream, c_void_p])
vokReadUnsigned = _function(vok32, "vokReadUnsigned", c_uint16, [_stream, c_void_p])
vokGetStringSize = _function(vok32, "vokGetStringSize", c_uint16, [_stream, c_void_p])
vokReadString = _function(vok32, "vokReadString", c_uint16, [_stream, c_void_p])
vokSkipPhrase = _function(vok32, "vokSkipPhrase", c_uint8, [_stream])
vokxInspect = _function(vok32x, "vokxInspect", c_uint16, [c_void_p, c_size_t, c_void_p])
vokxOpen = _function(vok32x, "vokxOpen", c_uint16, [_stream, c_char_p, c_size_t, c_uint8, c_uint32])
vokxNextItem = _function(vok32x, "vokxNextItem", c_uint16, [_stream, c_void_p])
vokxWriteItem = _function(vok32x, "vokxWriteItem", c_uint16, [_stream, c_void_p, c_size_t])
vokxKindClass = _function(vok32x, "vokxKindClass", c_uint8, [c_uint8])
vokxSchemaParse = _function(vok32x, "vokxSchemaParse", c_uint16,
                            [c_char_p, c_size_t, c_void_p, c_void_p])
vokxSchemaOf = _function(vok32x, "vokxSchemaOf", c_void_p, [c_void_p])
vokxSchemaFree = _function(vok32x, "vokxSchemaFree", None, [c_void_p])
vokxRecordOpen = _function(vok32x, "vokxRecordOpen", c_uint16,
                           [c_void_p, c_void_p, c_char_p, c_size_t, c_void_p])
vokxRecordNext = _function(vok32x, "vokxRecordNext", c_uint16, [c_void_p, c_void_p, c_void_p])
vokxRecordBegin = _function(vok32x, "vokxRecordBegin", c_uint16,
                            [c_void_p, c_void_p, c_void_p, c_void_p])
vokxRecordPut = _function(vok32x, "vokxRecordPut", c_uint16, [c_void_p, c_uint32, c_void_p, c_void_p])
vokxRecordPutValue = _function(vok32x, "vokxRecordPutValue", c_uint16,
                               [c_void_p, c_uint32, c_void_p, c_void_p])
vokxFieldValue = _function(vok32x, "vokxFieldValue", c_uint16, [c_void_p, c_void_p, c_void_p])
vokxRecordGroup = _function(vok32x, "vokxRecordGroup", c_uint16, [c_void_p, c_uint32, c_void_p])
vokxRecordEnd = _function(vok32x, "vokxRecordEnd", c_uint16, [c_void_p, c_void_p])
vokxStatusName = _function(vok32x, "vokxStatusName", c_char_p, [c_uint16])
vokxStatusText = _function(vok32x, "vokxStatusText", c_char_p, [c_uint16])
vokxVersion = _function(vok32x, "vokxVersion", c_char_p, [])
