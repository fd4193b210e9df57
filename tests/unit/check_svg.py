#!/usr/bin/env python3
"""Parses the SVG files the unit tests wrote (SvgPlots.*) with a real XML
parser: each must be well-formed SVG, every polyline's points pairs of
integers. Usage: check_svg.py FOLDER"""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

NS = '{http://www.w3.org/2000/svg}'
files = sorted(Path(sys.argv[1]).glob('*.svg'))
if not files:
    sys.exit(f'no SVG files in {sys.argv[1]}')
for path in files:
    root = ET.parse(path).getroot()
    assert root.tag == NS + 'svg', f'{path}: root is {root.tag}'
    for line in root.iter(NS + 'polyline'):
        for point in line.get('points').split():
            x, y = point.split(',')
            int(x), int(y)
    print(f'{path.name}: well-formed, {sum(1 for _ in root.iter())} elements')
