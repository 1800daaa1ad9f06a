#!/usr/bin/python3
"""Reads an SVG picture with a real XML parser and prints what the tests look at.

Input is untrusted: a file that is not well-formed XML prints "error <message>" and exits 1.
Output, one fact a line:
  root <tag>                    the root element (namespace stripped)
  namespace <uri>               the root's namespace
  viewBox <x> <y> <w> <h>
  elem <depth> <tag> <class> <stroke> <fill> <stroke-width> <dasharray>   ("-" when absent)
  attr <name> <value>           every attribute of the element just named
  text <class> <content>        one per <text>, content on one line
"""
import sys
import xml.etree.ElementTree as ET


def local(tag):
    return tag.split('}', 1)[1] if '}' in tag else tag


def walk(node, depth):
    a = node.attrib
    fields = [local(node.tag), a.get('class', '-'), a.get('stroke', '-'), a.get('fill', '-'),
              a.get('stroke-width', '-'), a.get('stroke-dasharray', '-').replace(' ', ',')]
    print('elem', depth, ' '.join(fields))
    for key, value in a.items():
        print('attr', local(key), ' '.join(value.split()))
    if local(node.tag) == 'text':
        print('text', a.get('class', '-'), ''.join(node.itertext()).replace('\n', ' '))
    for child in node:
        walk(child, depth + 1)


def main():
    try:
        root = ET.parse(sys.argv[1]).getroot()
    except ET.ParseError as e:
        print('error', e)
        return 1
    print('root', local(root.tag))
    print('namespace', root.tag[1:].split('}')[0] if root.tag.startswith('{') else '-')
    print('viewBox', root.attrib.get('viewBox', '-'))
    walk(root, 0)
    return 0


if __name__ == '__main__':
    sys.exit(main())
