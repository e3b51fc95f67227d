#!/usr/bin/env python3
"""Writes the trampolines through which the program calls the libraries its
first picture does not need: each exported function of each library gets a
hidden stand-in that jumps through a table; the table's entries first lead to
lazylibrary.cpp, which opens the library with dlopen() on the first call of
any of its functions and fills the table in. Linked with --as-needed, the
program then no longer names these libraries, and the dynamic loader neither
maps them nor their own dependencies (AV1 and HEVC codecs, TLS, Kerberos...)
nor runs their initialisers at start-up.

    make_trampolines.py OUT.cpp LIBRARY...

LIBRARY is the path of a shared library (or of its development link); the
library is opened by its SONAME. The trampolines are assembly in OUT.cpp.
"""
import re
import subprocess
import sys


def functions(path):
    """The functions a shared library exports (type T), without versions."""
    out = subprocess.run(["nm", "-D", "--defined-only", path], check=True,
                         capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "T":
            name = parts[2].split("@")[0]
            if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", name):
                names.add(name)
    return sorted(names)


def soname_of(path):
    out = subprocess.run(["readelf", "-d", path], check=True, capture_output=True,
                         text=True).stdout
    found = re.search(r"\(SONAME\)\s+Library soname: \[([^\]]+)\]", out)
    if not found:
        sys.exit("make_trampolines.py: %s has no SONAME" % path)
    return found.group(1)


def ident(soname):
    return re.sub(r"[^A-Za-z0-9]", "_", soname)


def main():
    cpp_path = sys.argv[1]
    libraries = [(soname_of(p), p) for p in sys.argv[2:]]
    seen = set()
    asm = ["\t.text"]
    cpp = ["// Written by make_trampolines.py.", '#include "platform/lazyload/lazylibrary.h"', "",
           "using kamelo::lazyload::Library;", ""]
    for soname, path in libraries:
        lib = ident(soname)
        names = [n for n in functions(path) if n not in seen]
        seen.update(names)
        if not names:
            sys.exit("make_trampolines.py: %s exports no functions" % path)
        for i, name in enumerate(names):
            asm += ["\t.globl %s" % name, "\t.hidden %s" % name, "\t.type %s, @function" % name,
                    "%s:" % name, "\tjmp *kamelo_lazy_table_%s+%d(%%rip)" % (lib, 8 * i),
                    "\t.size %s, .-%s" % (name, name)]
        for i, name in enumerate(names):
            asm += ["kamelo_lazy_thunk_%s_%d:" % (lib, i), "\tmovl $%d, %%r11d" % i,
                    "\tjmp kamelo_lazy_enter_%s" % lib]
        asm += ["kamelo_lazy_enter_%s:" % lib, "\tleaq kamelo_lazy_library_%s(%%rip), %%r10" % lib,
                "\tjmp kamelo_lazy_enter"]
        asm += ["\t.section .data.rel,\"aw\"", "\t.p2align 3", "\t.globl kamelo_lazy_table_%s" % lib,
                "\t.hidden kamelo_lazy_table_%s" % lib, "kamelo_lazy_table_%s:" % lib]
        asm += ["\t.quad kamelo_lazy_thunk_%s_%d" % (lib, i) for i in range(len(names))]
        asm += ["\t.text"]
        cpp += ['extern "C" void* kamelo_lazy_table_%s[];' % lib,
                "static const char* const kamelo_lazy_names_%s[] = {" % lib]
        cpp += ['    "%s",' % n for n in names]
        cpp += ["};",
                'extern "C" {',
                '__attribute__((visibility("hidden"))) Library kamelo_lazy_library_%s{' % lib,
                '    "%s", kamelo_lazy_names_%s, kamelo_lazy_table_%s, %d, nullptr, {}};' % (
                    soname, lib, lib, len(names)), "}", ""]
    # Every argument register is kept across the library's loading: the call
    # then goes on as if it had gone to the function directly.
    asm += ["kamelo_lazy_enter:", "\tpushq %rbp", "\tmovq %rsp, %rbp", "\tsubq $192, %rsp"]
    regs = ["rdi", "rsi", "rdx", "rcx", "r8", "r9", "rax"]
    asm += ["\tmovq %%%s, %d(%%rsp)" % (r, 8 * i) for i, r in enumerate(regs)]
    asm += ["\tmovdqa %%xmm%d, %d(%%rsp)" % (i, 64 + 16 * i) for i in range(8)]
    asm += ["\tmovq %r10, %rdi", "\tmovl %r11d, %esi", "\tcall kamelo_lazy_resolve",
            "\tmovq %rax, %r11"]
    asm += ["\tmovq %d(%%rsp), %%%s" % (8 * i, r) for i, r in enumerate(regs)]
    asm += ["\tmovdqa %d(%%rsp), %%xmm%d" % (64 + 16 * i, i) for i in range(8)]
    asm += ["\tleave", "\tjmp *%r11"]
    cpp += ['__asm__(R"ASM('] + asm + [')ASM");', ""]
    with open(cpp_path, "w") as f:
        f.write("\n".join(cpp))


if __name__ == "__main__":
    main()
