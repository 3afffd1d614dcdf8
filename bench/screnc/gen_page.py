#!/usr/bin/env python3
"""Writes an ASP-like page of about SIZE megabytes: HTML rows with <% %> and <%= %>
blocks, a client script, CR LF line breaks and some non-ASCII text."""
import sys

def main():
    path, megabytes = sys.argv[1], float(sys.argv[2])
    chunk = (
        '<tr class="row">\r\n'
        '  <td><%= Server.HTMLEncode(rs("name")) %></td>\r\n'
        '  <td>Caf\u00e9 cr\u00e8me \u2014 <%= FormatCurrency(rs("price"), 2) %></td>\r\n'
        '  <% If rs("stock") < 5 Then Response.Write "<b>low</b>" : total = total + 1 %>\r\n'
        '  <td><a href="product.asp?id=<%= rs("id") %>" onclick="return go(this)">more</a></td>\r\n'
        '</tr>\r\n'
        '<script language="JavaScript">var seen = seen || 0; seen++;</script>\r\n'
    ).encode("utf-8")
    head = '<%@ LANGUAGE = VBScript %>\r\n<html><body><table>\r\n'.encode("utf-8")
    target = int(megabytes * 1024 * 1024)
    with open(path, "wb") as f:
        f.write(head)
        written = len(head)
        block = chunk * 64
        while written < target:
            f.write(block)
            written += len(block)
        f.write(b"</table></body></html>\r\n")

if __name__ == "__main__":
    main()
