#!/usr/bin/env python3
"""Writes random pages for comparing two builds of screnc byte for byte.

gen_pages.py FOLDER COUNT SEED: the same seed always gives the same files. Pages of each
kind (.js, .vbs, .asp, .htm) mix script and markup with CR LF, lone CR and LF, TAB,
DEL, Ctrl-Z and other control bytes, non-ASCII text, in UTF-8 (with and without a byte
order mark), Windows-1252 bytes, UTF-16 LE and BE; a few are empty.
"""
import os
import random
import sys

KINDS = ['.js', '.vbs', '.asp', '.htm']
NON_ASCII = ['é', 'ß', 'Ω', '中', '文', '€', '😀', '\u00a0', 'ü']
CONTROLS = ['\r\n', '\n', '\r', '\t', '\x7f', '\x1a', '\x00', '\x01', '\x1b']


def script_text(rnd, size):
    out = []
    for _ in range(size):
        r = rnd.random()
        if r < 0.70:
            out.append(chr(rnd.randint(0x20, 0x7e)))
        elif r < 0.85:
            out.append(rnd.choice(CONTROLS))
        elif r < 0.93:
            out.append(rnd.choice(NON_ASCII))
        else:
            out.append(rnd.choice(['<', '>', '@', '%', '"', "'", '//**Start Encode**']))
    # A script body never holds the sequence that would end it.
    return ''.join(out).replace('%>', '% >').replace('</', '< /')


def markup(rnd):
    return rnd.choice(['<p>', '</p>\r\n', '<br>\n', '<!-- c -->', 'text ', 'ä ', '\x1a',
                      '<a href="x.asp">', '\r\n'])


def asp_page(rnd):
    parts = []
    if rnd.random() < 0.3:
        parts.append(rnd.choice(['<%@ LANGUAGE="VBScript" %>\r\n', '<%@language=JScript%>\n',
                                 '<%@ CODEPAGE=65001 %>\r\n']))
    for _ in range(rnd.randint(1, 12)):
        r = rnd.random()
        body = script_text(rnd, rnd.randint(0, 60))
        if r < 0.35:
            parts.append('<%' + body + '%>')
        elif r < 0.5:
            parts.append('<%=' + body + '%>')
        elif r < 0.6:
            parts.append('<script runat=server language=' + rnd.choice(['VBScript', 'JScript', '"vbscript"'])
                         + '>' + body + '</script>')
        elif r < 0.7:
            parts.append('<script src=' + rnd.choice(['"<%=p%>/a.js"', "'<%=p%>/b.js'", '<%=p%>/c.js'])
                         + '></script>')
        elif r < 0.78:
            parts.append('<script>' + body + '</script>')
        else:
            parts.append(markup(rnd))
    return ''.join(parts)


def htm_page(rnd):
    parts = []
    for _ in range(rnd.randint(1, 10)):
        r = rnd.random()
        body = script_text(rnd, rnd.randint(0, 80))
        if r < 0.4:
            tag = rnd.choice(['<script>', '<SCRIPT LANGUAGE="JScript">', "<script language='VBScript'>",
                              '<script type="text/javascript">', '<script type=module>'])
            parts.append(tag + body + '</script>')
        elif r < 0.5:
            parts.append('<!-- <script>' + body + '</script> -->')
        else:
            parts.append(markup(rnd))
    return ''.join(parts)


def page(rnd, kind):
    if kind == '.asp':
        return asp_page(rnd)
    if kind == '.htm':
        return htm_page(rnd)
    return script_text(rnd, rnd.randint(1, 400))


def to_bytes(rnd, text):
    r = rnd.random()
    if r < 0.03:
        return b''
    if r < 0.65:
        return text.encode('utf-8')
    if r < 0.75:
        return b'\xef\xbb\xbf' + text.encode('utf-8')
    if r < 0.85:
        return text.encode('cp1252', errors='replace') + bytes([rnd.randint(0x80, 0xff)])
    if r < 0.93:
        return b'\xff\xfe' + text.encode('utf-16-le')
    return b'\xfe\xff' + text.encode('utf-16-be')


def main():
    folder, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rnd = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    for k in range(count):
        kind = KINDS[k % len(KINDS)]
        with open(os.path.join(folder, 'p%04d%s' % (k, kind)), 'wb') as f:
            f.write(to_bytes(rnd, page(rnd, kind)))


if __name__ == '__main__':
    main()
