#!/usr/bin/env python3
"""Two builds of screnc, byte for byte: every output, message and exit status.

    bench/screnc/compare.py OLD_SCRENC NEW_SCRENC [--work DIR] [--site-files 2000]

Inputs: every file of a `gen_site.py` tree, and large pages made here (larger than the
piece the encoder reads at a time, so that they go through its reading in pieces): many
small blocks with CR LF and with LF, blocks of several MB, UTF-8 with and without a BOM,
UTF-16 LE and BE, Windows-1252, GBK, random bytes, an empty file, pages ending inside a
block, a tag, a comment or a character, pages whose bytes stop being UTF-8 far in (after
a block with a character from U+0080 up, and with none before), a directive far in.
Each goes through both builds with several switch sets (the kind forced with /e, /xl,
/nl crlf, /l, /cp), and every output and every input through --decode. Prints the count
and any difference; exit status 0 when all agree, 1 when not.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MB = 1 << 20


def row(i, nl):
    return (f'<tr><td><%= rs("name{i}") %></td><td>Caf\u00e9 <%= x + {i} %></td>{nl}'
            f'<% If a < {i} Then Response.Write "<b>" %>{nl}'
            f'<script language="JavaScript">var s{i} = 1;</script>{nl}').encode()


def pages(rnd):
    """(name, bytes) of the large pages."""
    crlf = b''.join(row(i, '\r\n') for i in range(4000))
    lf = b''.join(row(i, '\n') for i in range(4000))
    head = b'<%@ LANGUAGE = VBScript %>\r\n'
    big_block = ''.join(rnd.choice('abc <>@\r\n\t"\'%=;x\u00e9\u4e2d\U0001F600') for _ in range(3 * MB // 2))
    out = {
        'crlf.asp': head + crlf * 3,
        'lf.asp': lf * 3,
        'nodirective.asp': crlf * 2,
        'bom.asp': b'\xef\xbb\xbf' + head + crlf * 2,
        'bigblock.asp': head + b'<html>\r\n<% ' + big_block.encode() + b' %>\r\n</html>\r\n' + crlf,
        'bigblock2.asp': b'<p>' + b'x' * (2 * MB) + b'<%= ' + big_block.encode() + b' %>' + crlf,
        'farfirst.asp': b'<p>plain</p>\r\n' * 200000 + b'<%@ Language=JScript %>' + crlf,
        'script.htm': (b'<html><script language="VBScript">' + big_block.encode().replace(b'</', b'<x')
                       + b'</script>' + b'<p>a</p><!-- c -->\r\n' * 50000
                       + b'<script>var a = "\xc3\xa9";</script>\r\n' * 20000),
        'comment.htm': b'<!-- ' + b'<script>x</script>' * 40000 + b' -->' + b'<script>y=1</script>' * 30000,
        'utf16le.asp': b'\xff\xfe' + crlf.decode().encode('utf-16-le'),
        'utf16be.htm': b'\xfe\xff' + ('<script>var a = "\u00e9";</script>\r\n' * 30000).encode('utf-16-be'),
        'cp1252.asp': head + crlf.replace('\u00e9'.encode(), b'\xe9') * 2,
        'late1252.asp': head + crlf * 2 + b'<% x = "\xe9" %>' + crlf,
        'late1252wide.asp': head + b'<% y = "\xc3\xa9" %>' + crlf * 2 + b'<p>\xe9</p>' + crlf,
        'latebad.asp': b'\xef\xbb\xbf' + head + crlf * 2 + b'<p>\xff</p>',
        'gbk.asp': head + ('<% s = "\u4e2d\u6587" %><p>\u4e2d</p>\r\n' * 60000).encode('gbk'),
        'gbkbadlate.asp': head + ('<% s = "\u4e2d" %>\r\n' * 60000).encode('gbk') + b'<p>\x81',
        'random.asp': bytes(rnd.randrange(256) for _ in range(MB)),
        'randomtext.asp': ''.join(rnd.choice('<%>@#~^ sScript=/\r\n\u00e9') for _ in range(MB)).encode(),
        'empty.asp': b'',
        'bomonly.asp': b'\xef\xbb\xbf',
        'endsinblock.asp': head + crlf + b'<% x = 1 ',
        'endsintag.asp': head + crlf + b'<script runat="server" language="JScript',
        'endsinscript.asp': head + crlf + b'<script runat=server>var a = 1;',
        'endsinchar.asp': head + crlf + b'<p>\xe4\xb8',
        'endsincomment.htm': crlf + b'<!-- <script>x</script> ',
        'endslt.asp': head + crlf + b'<',
        'plain.js': big_block.encode().replace(b'\xe4\xb8\xad', b'ab') * 2,
        'plain.vbs': lf,
    }
    return out


def site_files(root, count, work):
    site = os.path.join(work, 'site')
    subprocess.run([sys.executable, os.path.join(root, 'bench', 'gen_site.py'), str(count), site,
                    '--seed', '11'], check=True, stdout=subprocess.DEVNULL)
    for d, _, names in os.walk(site):
        for n in sorted(names):
            yield os.path.join(d, n)


SWITCHES = [[], ['/xl'], ['/nl', 'crlf'], ['/l', 'jscript'], ['/e', 'asp'], ['/e', 'html'],
            ['/cp', '936'], ['/cp', '1252'], ['/l', 'vbscript', '/xl']]
SITE_SWITCHES = [[], ['/e', 'asp'], ['/l', 'jscript', '/nl', 'crlf']]


def run(binary, args, out):
    if os.path.exists(out):
        os.remove(out)
    p = subprocess.run([binary] + args, stdin=subprocess.DEVNULL, capture_output=True)
    data = open(out, 'rb').read() if os.path.exists(out) else None
    return p.returncode, p.stdout, p.stderr, data


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('old')
    ap.add_argument('new')
    ap.add_argument('--work')
    ap.add_argument('--site-files', type=int, default=2000)
    a = ap.parse_args()
    root = os.path.dirname(os.path.dirname(HERE))
    work = tempfile.mkdtemp(prefix='screnc-compare-', dir=a.work or ('/dev/shm' if os.path.isdir('/dev/shm') else None))
    rnd = random.Random(5)
    cases = []  # (source path, switch set)
    try:
        src = os.path.join(work, 'pages')
        os.makedirs(src)
        for name, data in pages(rnd).items():
            path = os.path.join(src, name)
            with open(path, 'wb') as f:
                f.write(data)
            cases += [(path, s) for s in SWITCHES]
        for path in site_files(root, a.site_files, work):
            cases += [(path, s) for s in SITE_SWITCHES]
        differ = compared = 0
        outs = os.path.join(work, 'out')
        os.makedirs(outs)

        def both(args_for, what):
            nonlocal differ, compared
            results = []
            for tag, binary in (('old', a.old), ('new', a.new)):
                out = os.path.join(outs, tag + os.path.splitext(what)[1])
                results.append(run(binary, args_for(out), out))
            compared += 1
            if results[0] != results[1]:
                differ += 1
                if differ <= 20:
                    print(f'differs: {what}: status {results[0][0]} / {results[1][0]}, '
                          f'stdout {results[0][1] == results[1][1]}, stderr {results[0][2] == results[1][2]}, '
                          f'output {results[0][3] == results[1][3]}')
            return results[0][3]

        for path, sw in cases:
            what = f'{os.path.relpath(path, work)} {" ".join(sw)}'
            enc = both(lambda out: sw + [path, out], what)
            if enc is not None:
                enc_path = os.path.join(work, 'enc' + os.path.splitext(path)[1])
                with open(enc_path, 'wb') as f:
                    f.write(enc)
                cp = [a for k, a in enumerate(sw) if k > 0 and sw[k - 1] == '/cp']
                pre = ['/cp', cp[0]] if cp else []
                both(lambda out: ['--decode'] + pre + [enc_path, out], what + ' (decoded)')
            if not sw or sw == ['/cp', '936']:
                pre = ['/cp', '936'] if sw else []
                both(lambda out: ['--decode'] + pre + [path, out], what + ' (source decoded)')
        print(f'{compared} runs compared, {differ} differ')
        return 1 if differ else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
