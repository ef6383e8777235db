#!/usr/bin/python3
"""What a user might write: lxml, the first ds:Object child with Encoding, base64."""
import base64
import sys

from lxml import etree

# huge_tree: without it libxml2 refuses text nodes over 10 MB.
root = etree.parse(sys.argv[1], etree.XMLParser(huge_tree=True)).getroot()
for child in root:
    if not isinstance(child.tag, str):
        continue
    name = child.prefix + ":" + etree.QName(child).localname if child.prefix else child.tag
    if name.startswith("ds:Object") and "Encoding" in child.attrib:
        data = base64.b64decode("".join(child.itertext()).strip().replace("\n", ""))
        if data:
            with open(sys.argv[2], "wb") as f:
                f.write(data)
            sys.exit(0)
sys.exit(1)
