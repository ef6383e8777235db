#!/usr/bin/env python3
"""c14n_diff.py [--documents N] [--seed S] WORK -- COMMAND...: canonicalizes
random documents with COMMAND (tolv-c14n: [--prefixes LIST] ALGORITHM FILE [ID])
and with libxml2 through lxml, whole and by subtree, in every mode, and prints
each difference with the bytes around its first differing byte. The documents
that differ stay in WORK with the command that shows it. Exits 1 on any
difference.

The documents mix what canonicalization must get right: prefixes and default
namespaces declared at random depths, redundant redeclarations, xmlns="",
attributes to sort in and out of namespaces, values and text to escape,
literal whitespace in attributes, comments, processing instructions, CR
references, CDATA, non-ASCII text and inherited xml:lang/xml:space, in
UTF-8, UTF-16, ISO-8859-9 or windows-1254.
"""
import argparse
import pathlib
import random
import re
import subprocess
import sys

from lxml import etree

XML = "http://www.w3.org/XML/1998/namespace"
C14N10 = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315"
C14N11 = "http://www.w3.org/2006/12/xml-c14n11"
EXC = "http://www.w3.org/2001/10/xml-exc-c14n#"
# (algorithm, exclusive, with comments, with a prefix list). C14N 1.1 differs
# from 1.0 only in what a subset inherits: not xml:id, and xml:base fixed up
# (these documents have none), so lxml's 1.0 is the reference for both.
MODES = [
    (C14N10, False, False, False), (C14N10 + "#WithComments", False, True, False),
    (C14N11, False, False, False), (C14N11 + "#WithComments", False, True, False),
    (EXC, True, False, False), (EXC + "WithComments", True, True, False), (EXC, True, False, True),
]
PREFIXES = ["a", "b", "ds", "x"]
URIS = ["urn:a", "urn:b", "http://example.com/ns?a=1&amp;b=2", "urn:a2"]
NAMES = ["e", "f", "g", "Öğe", "z"]
VALUE_PIECES = ["v", "<", "&", '"', "'", ">", "\t", "\n", "\r", "ş", " x  y ", "\u00a0", "𝄞", "]]>"]
TEXT_PIECES = ["metin", "&", "<", ">", "\r", "\r\n", "\n", "  ", "ığüşöç İ", '"', "'", "]]>", "€"]


class Generator:
    def __init__(self, seed):
        self.rnd = random.Random(seed)
        self.ids = 0

    def escape_attr(self, value):
        out = []
        for ch in value:
            raw = self.rnd.random() < 0.3  # literal whitespace, which the parser turns into a space
            out.append({"<": "&lt;", "&": "&amp;", '"': "&quot;",
                        "\t": "\t" if raw else "&#9;", "\n": "\n" if raw else "&#10;",
                        "\r": "&#13;"}.get(ch, ch))
        return "".join(out)

    def text(self):
        parts = []
        for piece in self.rnd.choices(TEXT_PIECES, k=self.rnd.randint(1, 4)):
            if piece == "\r":
                parts.append("&#13;")
            elif piece == "&":
                parts.append(self.rnd.choice(["&amp;", "&#38;"]))
            elif piece == "<":
                parts.append("&lt;")
            elif piece == "]]>":
                parts.append("]]&gt;")
            else:
                parts.append(piece)
        return "".join(parts)

    def misc(self):
        r = self.rnd.random()
        if r < 0.5:
            return f"<!--{self.rnd.choice(['', ' yorum ', 'a-b', 'ş'])}-->"
        return f"<?{self.rnd.choice(['pi', 'tolv-x'])}{self.rnd.choice(['', ' veri', ' a=&quot;1&quot;'])}?>"

    def element(self, scope, depth):
        rnd = self.rnd
        scope = dict(scope)
        decls = []
        for prefix in rnd.sample(PREFIXES, rnd.randint(0, 2)):
            uri = scope.get(prefix) if prefix in scope and rnd.random() < 0.4 else rnd.choice(URIS)
            scope[prefix] = uri
            decls.append(f' xmlns:{prefix}="{uri}"')
        if rnd.random() < 0.3:
            # xmlns="" undeclares a default namespace, or declares nothing where none is.
            uri = "" if rnd.random() < 0.4 else rnd.choice(URIS + [scope.get(None) or "urn:a"])
            scope[None] = uri
            decls.append(f' xmlns="{uri}"')
        if rnd.random() < 0.05:  # allowed, and never written out
            decls.append(f' xmlns:xml="{XML}"')
        declared = [p for p in scope if p]
        prefix = rnd.choice(declared + [None] * 2) if declared else None
        name = (f"{prefix}:" if prefix else "") + rnd.choice(NAMES)

        attrs, used = [], set()
        for _ in range(rnd.randint(0, 4)):
            p = rnd.choice(declared + [None, None, "xml"]) if declared else rnd.choice([None, "xml"])
            local = rnd.choice(["lang", "space", "id"]) if p == "xml" else rnd.choice(["a", "b", "z", "Ü", "c"])
            key = (XML if p == "xml" else scope.get(p) if p else None, local)
            if key in used:
                continue
            used.add(key)
            if p == "xml" and local == "space":
                value = rnd.choice(["preserve", "default"])
            elif p == "xml" and local == "id":
                self.ids += 1
                value = f"x{self.ids}"
            elif p == "xml":
                value = rnd.choice(["tr", "en", ""])
            else:
                value = self.escape_attr("".join(rnd.choices(VALUE_PIECES, k=rnd.randint(0, 3))))
            attrs.append(f' {p + ":" if p else ""}{local}="{value}"')
        # One identifier an element: with two, which one names it is another question.
        if rnd.random() < 0.35 and (XML, "id") not in used:
            self.ids += 1
            attrs.append(f' {rnd.choice(["Id", "Id", "id", "ID"])}="n{self.ids}"')
        rnd.shuffle(attrs)

        content = []
        if depth < 4:
            for _ in range(rnd.randint(0, 4)):
                r = rnd.random()
                if r < 0.4:
                    content.append(self.element(scope, depth + 1))
                elif r < 0.7:
                    content.append(self.text())
                elif r < 0.8:
                    content.append(f"<![CDATA[{rnd.choice(['a<b&c', ']]', ' ', 'ş>'])}]]>")
                else:
                    content.append(self.misc())
        head = f"<{name}{''.join(decls)}{''.join(attrs)}"
        if not content and rnd.random() < 0.5:
            return head + "/>"
        return head + ">" + "".join(content) + f"</{name}>"

    def document(self):
        rnd = self.rnd
        before = "".join(self.misc() + rnd.choice(["", "\n"]) for _ in range(rnd.randint(0, 2)))
        after = "".join(rnd.choice(["", "\n"]) + self.misc() for _ in range(rnd.randint(0, 2)))
        declaration = '<?xml version="1.0" encoding="UTF-8"?>\n' if rnd.random() < 0.5 else ""
        text = before + self.element({}, 0) + after + rnd.choice(["", "\n"])
        encoding = rnd.choice(["UTF-8"] * 4 + ["UTF-16", "ISO-8859-9", "windows-1254"])
        if encoding == "UTF-8":
            return (declaration + text).encode()
        # Characters the encoding lacks become references; the generated
        # comments and names hold none of them.
        return (f'<?xml version="1.0" encoding="{encoding}"?>\n' + text).encode(encoding, "xmlcharrefreplace")


def escape_namespaces(canonical):
    """libxml2 writes namespace URIs as they are, in canonical and in plain
    XML; both escape them as attribute values. Only & can occur in the URIs of
    these documents."""
    return re.sub(rb'( xmlns(?::[^=]+)?=")([^"]*)"',
                  lambda m: m.group(1) + m.group(2).replace(b"&", b"&amp;") + b'"', canonical)


def standalone(element, inherits):
    """The subtree as a document of its own, every namespace in scope declared
    on its top element (and, for an inclusive subset, the xml: attributes it
    inherits set there): its whole canonical form is the subset's. lxml's own
    canonical form of a subtree cannot serve, it writes xmlns="" onto
    descendants of a top element that declares a default namespace."""
    text = escape_namespaces(etree.tostring(element, encoding="UTF-8", xml_declaration=False, with_tail=False))
    written = etree.fromstring(text).nsmap
    missing = [(p, u) for p, u in element.nsmap.items() if written.get(p) != u]
    declarations = "".join(f' xmlns{":" + p if p else ""}="{u.replace("&", "&amp;")}"' for p, u in missing)
    end = re.match(rb"<[^\s/>]+", text).end()
    tree = etree.ElementTree(etree.fromstring(text[:end] + declarations.encode() + text[end:]))
    root = tree.getroot()
    for ancestor in element.iterancestors():
        for name, value in ancestor.attrib.items():
            if name.startswith(f"{{{XML}}}") and inherits(name) and name not in root.attrib:
                root.set(name, value)
    return tree


def expected(tree, element, algorithm, exclusive, comments, prefixes):
    """libxml2's canonical form of the document or of the subtree."""
    if element is not None:
        if exclusive:
            inherits = lambda name: False
        elif algorithm.startswith(C14N11):
            inherits = lambda name: name != f"{{{XML}}}id"
        else:
            inherits = lambda name: True
        tree = standalone(element, inherits)
    return escape_namespaces(etree.tostring(tree, method="c14n", exclusive=exclusive, with_comments=comments,
                                            inclusive_ns_prefixes=prefixes))


def first_difference(a, b):
    n = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    show = lambda s: repr(s[max(0, n - 30):n + 30])
    return f"at byte {n}: lxml {show(a)}\n{'':<20}tool {show(b)}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--documents", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("work", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    args.work.mkdir(parents=True, exist_ok=True)
    for old in args.work.glob("doc-*.xml"):
        old.unlink()

    generator = Generator(args.seed)
    checks = failures = 0
    for number in range(args.documents):
        source = generator.document()
        path = args.work / f"doc-{number:03}.xml"
        path.write_bytes(source)
        tree = etree.ElementTree(etree.fromstring(source, etree.XMLParser(remove_blank_text=False)))
        with_ids = [el for el in tree.iter(etree.Element) if el.get("Id") or el.get("id") or el.get("ID")]
        targets = [None] + generator.rnd.sample(with_ids, min(2, len(with_ids)))
        declared = sorted({p for el in tree.iter(etree.Element) for p in el.nsmap if p})
        kept = False
        for element in targets:
            ident = None if element is None else element.get("Id") or element.get("id") or element.get("ID")
            for algorithm, exclusive, comments, with_list in MODES:
                prefixes = None
                options = []
                if with_list and not declared:
                    continue
                if with_list:
                    # Not "#default": lxml drops prefixes its document does not
                    # hold, that one among them (the signed reports cover it).
                    prefixes = generator.rnd.sample(declared, min(len(declared), 2))
                    options = ["--prefixes", " ".join(prefixes)]
                want = expected(tree, element, algorithm, exclusive, comments, prefixes)
                call = command + options + [algorithm, str(path)] + ([ident] if ident else [])
                result = subprocess.run(call, capture_output=True, timeout=60)
                checks += 1
                if result.returncode == 0 and result.stdout == want:
                    continue
                failures += 1
                kept = True
                if failures <= 25:
                    shown = " ".join(f"'{c}'" if " " in c or not c else c for c in call)
                    print(f"{shown}\n{'':<20}", end="")
                    if result.returncode != 0:
                        print(f"exit {result.returncode}: {result.stderr.decode('utf-8', 'replace').strip()}")
                    else:
                        print(first_difference(want, result.stdout))
        if not kept:
            path.unlink()
    print(f"c14n_diff: {failures} differences in {checks} canonical forms of {args.documents} documents")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
