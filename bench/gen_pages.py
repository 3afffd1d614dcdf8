#!/usr/bin/env python3
"""Writes a tree of COUNT classic ASP pages of SIZE bytes each, for timing the check of
encoded pages (bench/verify.sh).

    gen_pages.py COUNT SIZE DEST

Each page: a LANGUAGE directive, rows of HTML with several <% %> and <%= %> blocks, a
<script runat=server> function, client script (<script language="JavaScript"> and an
onclick handler) the encoder leaves alone, CR LF line breaks and some UTF-8 text; cut to
exactly SIZE bytes at a line's end and padded with a comment. 100 pages a folder. The
same arguments give the same bytes. A finished tree leaves DEST.stamp beside it and is
reused.
"""
import os
import sys


def page(index, size):
    head = (
        '<%@ Language="VBScript" %>\r\n'
        '<% Option Explicit\r\n'
        f'   Dim total, rs : total = {index}\r\n'
        '%>\r\n'
        '<html><head><title>Page ' + str(index) + '</title>\r\n'
        '<script language="JavaScript">function go(a) { return confirm("more?"); }</script>\r\n'
        '<script runat=server language=VBScript>\r\n'
        'Function Price(v)\r\n'
        '  Price = FormatCurrency(v, 2)\r\n'
        'End Function\r\n'
        '</script>\r\n'
        '</head><body><table>\r\n'
    )
    rows = []
    n = 0
    used = len(head.encode("utf-8"))
    tail = '</table>\r\n<% Response.Write "rows: " & total %>\r\n</body></html>\r\n'
    while True:
        row = (
            f'<tr class="r{n % 7}">\r\n'
            f'  <td><%= Server.HTMLEncode(rs("name{n}")) %></td>\r\n'
            f'  <td>Caf\u00e9 cr\u00e8me \u2014 <%= Price(rs("price")) %></td>\r\n'
            f'  <% If rs("stock") < {n % 9 + 1} Then Response.Write "<b>low</b>" : total = total + 1 %>\r\n'
            f'  <td><a href="item.asp?id=<%= rs("id") %>&amp;p={index}" onclick="return go(this)">more</a></td>\r\n'
            '</tr>\r\n'
        )
        if n % 5 == 4:
            row += f'<script language="JavaScript">var seen{n} = (window.seen || 0) + 1;</script>\r\n'
        b = len(row.encode("utf-8"))
        if used + b > size - len(tail) - 16:
            break
        rows.append(row)
        used += b
        n += 1
    text = (head + "".join(rows) + tail).encode("utf-8")
    pad = size - len(text)
    if pad >= 9:
        text += b"<!--" + b"-" * (pad - 9) + b"-->\r\n"
    else:
        text += b" " * pad
    assert len(text) == size, (len(text), size)
    return text


def main():
    count, size, dest = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    stamp = f"{dest}.stamp"
    want = f"pages {count} {size}\n"
    if os.path.isdir(dest) and os.path.exists(stamp) and open(stamp).read() == want:
        return
    for i in range(count):
        folder = os.path.join(dest, f"part{i // 100:03d}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"page{i:05d}.asp"), "wb") as f:
            f.write(page(i, size))
    with open(stamp, "w") as f:
        f.write(want)


if __name__ == "__main__":
    main()
