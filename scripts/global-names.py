#!/usr/bin/env python3
"""Lists the product names that a built tree defines in the global namespace.

    global-names.py BUILD_DIR

Reads `nm -C --defined-only` of every object file that BUILD_DIR's compile commands write for the product (not
the tests, benchmarks, fuzz targets or third-party code) and prints one line for each function, variable or
class (by its vtable or typeinfo) whose name has no namespace, and for each global type that a defined
symbol's parameters or template arguments name. Allowed: `main`, the fuzz entry points, the Windows entry
points, and the C library's, the compiler's and the system interfaces' own names (`_`-prefixed, Vulkan,
SDL, X11, Win32) and stb's. Exits 1 when it prints anything, 0 when the tree has no global product name,
2 when it cannot read the objects.

Not caught, as no symbol carries them: a global type, enum, alias or constexpr constant that no defined
symbol names (a type used only inside function bodies or inline code, a return type), a declaration that
nothing defines, and a function inlined everywhere. Code that only Windows builds is read where the
objects of a Windows build are given.
"""
import json
import os
import re
import shlex
import subprocess
import sys

PRODUCT = ("base", "platform", "sync", "music", "shaders", "gfx", "content", "show", "app", "tools",
           "generators")
ALLOWED = {"main", "wmain", "WinMain", "wWinMain", "LLVMFuzzerTestOneInput", "LLVMFuzzerInitialize",
           "LLVMFuzzerCustomMutator", "LLVMFuzzerCustomCrossOver", "operator new", "operator delete",
           "operator new[]", "operator delete[]"}
# The system interfaces' types and callbacks (Vulkan, SDL, X11, Win32, the C library) and stb's header-only
# functions, which the file that includes them compiles.
SYSTEM = re.compile(r"^(_|Vk|PFN_|SDL_|stb_|X[A-Z]|HWND__|HINSTANCE__|HMONITOR__|HDC__|HICON__|HBRUSH__|HMENU__|"
                    r"HKEY__|HWAVEOUT__|HGLRC__|tag[A-Z]|FILE$|DIR$|timespec$|sigaction$|stat$|pollfd$|"
                    r"posix_spawn|va_list$|max_align_t$)")
BUILTIN = {"void", "bool", "char", "signed", "unsigned", "short", "int", "long", "float", "double", "const",
           "volatile", "wchar_t", "char8_t", "char16_t", "char32_t", "__int128", "decltype", "auto", "nullptr",
           "restrict", "__restrict", "true", "false", "noexcept", "operator", "new", "delete", "sizeof",
           "std", "lambda", "anonymous", "namespace", "unnamed", "type", "clone", "isra", "constprop", "part",
           "cold", "lto_priv", "localalias"}
SPECIAL = re.compile(r"^(vtable|typeinfo|typeinfo name|VTT|construction vtable|guard variable|"
                     r"TLS init function|TLS wrapper function|reference temporary #\d+) for |"
                     r"^((non-)?virtual thunk|covariant return thunk|transaction clone) to ")


def objects(build):
    """The object files the build's compile commands write in the product folders: objects that an earlier
    layout of the tree left behind are not the product's any more."""
    with open(os.path.join(build, "compile_commands.json")) as f:
        commands = json.load(f)
    for entry in commands:
        words = shlex.split(entry.get("command", ""))
        if "-o" not in words:
            continue
        path = os.path.normpath(os.path.join(entry["directory"], words[words.index("-o") + 1]))
        relative = os.path.relpath(path, build)
        if relative.split(os.sep)[0] in PRODUCT and os.path.exists(path):
            yield path


def strip_nested(text):
    """The text with every (...), <...>, [...] and {...} group removed, at any depth."""
    out, depth = [], 0
    for i, c in enumerate(text):
        if c in "(<[{" and not text.endswith("operator", 0, i):
            depth += 1
        elif c in ")>]}" and depth:
            depth -= 1
        elif depth == 0:
            out.append(c)
    return "".join(out)


def simplify(symbol):
    """The symbol without the compiler's clone and ABI tags, with anonymous namespaces and lambdas named."""
    symbol = re.sub(r" \[clone [^]]*\]|\[abi:\w+\]", "", symbol)
    symbol = symbol.replace("(anonymous namespace)", "anonymous")
    return re.sub(r"\{(lambda\([^{}]*\)|unnamed type)#\d+\}", "lambda", symbol)


def entity(symbol):
    """The name a symbol defines, without its return type, parameters, template arguments or qualifiers."""
    words = [w for w in strip_nested(symbol).split(" ") if w and w not in ("const", "volatile", "&", "&&")]
    if len(words) >= 2 and words[-2].endswith("operator"):
        return " ".join(words[-2:])
    return words[-1] if words else symbol


def global_types(symbol):
    """Unqualified type names inside a symbol's parameter and template argument lists."""
    inner = symbol[len(strip_nested_head(symbol)):]
    found = set()
    for m in re.finditer(r"(?<![\w:~])([A-Za-z_]\w*)(?!\w|::)", inner):
        word = m.group(1)
        if word not in BUILTIN and not SYSTEM.match(word) and not word.isdigit():
            found.add(word)
    return found


def strip_nested_head(symbol):
    """The symbol up to its first (, < or [ that opens a list."""
    m = re.search(r"(?<!operator)[(<\[]", symbol)
    return symbol[: m.start()] if m else symbol


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: global-names.py BUILD_DIR")
    found, files = set(), sorted(objects(sys.argv[1]))
    if not files:
        print(f"global-names: no object files under {sys.argv[1]} (build it first)", file=sys.stderr)
        return 2
    for obj in files:
        listing = subprocess.run(["nm", "-C", "--defined-only", obj], capture_output=True, text=True, check=True)
        for line in listing.stdout.splitlines():
            parts = line.split(" ", 2)
            if len(parts) != 3 or parts[1] in "aNn-":
                continue
            symbol = parts[2]
            special = SPECIAL.match(symbol)
            named = simplify(symbol[special.end():] if special else symbol)
            name = entity(named)
            where = os.path.relpath(obj, sys.argv[1])
            if "::" not in name and name not in ALLOWED and not SYSTEM.match(name) and "." not in name:
                found.add(f"{where}: {symbol}: defined in the global namespace")
            for word in global_types(named):
                found.add(f"{where}: {symbol}: names the global type {word}")
    for line in sorted(found):
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"global-names: {e}", file=sys.stderr)
        sys.exit(2)
