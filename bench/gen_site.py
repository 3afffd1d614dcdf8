#!/usr/bin/env python3
"""Generate a synthetic classic ASP web site of N files for the benchmark.

    gen_site.py N DEST [--seed S] [--force]

The tree is a function of N and the seed alone: the same arguments give the same
names, folders and bytes. Folders hold 50 to 100 files each and nest a few levels
deep; the files are a mix of the kinds a classic ASP site holds, in small, realistic
sizes:

    .asp  ASP pages with <% %> and <%= %> blocks       encoded when ASP pages are
    .inc  include files                                encoded by extension (*.inc)
    .htm/.html pages with <script> blocks               encoded when HTML is
    .js / .vbs client scripts                           encoded when JScript / VBScript is
    .gif / .png small valid images                      copied
    .css, .txt, .asa, names without an extension        copied

Pages, includes and VBScript files mostly end lines with CRLF, the rest with LF.
A finished tree leaves DEST.stamp beside it; a later call with the same N and seed
finds it and returns at once (--force regenerates). Statistics go to DEST.stats.json.
"""
import argparse
import json
import math
import os
import random
import shutil
import struct
import sys

GENERATOR_VERSION = 1

# kind -> (weight, extension, median size in bytes, CRLF share)
KINDS = {
    "asp":   (26, "asp", 4000, 0.8),
    "inc":   (8, "inc", 1800, 0.8),
    "htm":   (14, "htm", 3500, 0.7),
    "html":  (2, "html", 3500, 0.3),
    "js":    (10, "js", 2500, 0.3),
    "vbs":   (4, "vbs", 1500, 0.8),
    "gif":   (18, "gif", 0, 0.0),
    "png":   (2, "png", 0, 0.0),
    "css":   (5, "css", 1500, 0.3),
    "txt":   (3, "txt", 800, 0.5),
    "noext": (3, "", 600, 0.5),
}
SCRIPT_KINDS = {"asp", "inc", "htm", "html", "js", "vbs"}

FOLDER_WORDS = ["products", "news", "admin", "reports", "catalog", "support", "images",
                "scripts", "includes", "members", "archive", "events", "downloads", "help",
                "shop", "orders", "customers", "staff", "forum", "gallery", "press", "jobs"]
FILE_WORDS = ["default", "index", "list", "detail", "edit", "view", "search", "results",
              "order", "cart", "checkout", "account", "profile", "login", "logout", "register",
              "report", "summary", "export", "print", "popup", "menu", "banner", "footer",
              "header", "nav", "util", "common", "config", "db", "validate", "calendar",
              "photo", "thumb", "icon", "logo", "button", "spacer", "arrow", "bullet"]
NOEXT_NAMES = ["README", "LICENSE", "CHANGES", "TODO", "robots", "web_backup", "notes", "INSTALL"]
WORDS = ("product customer order price stock garden seed bulb tool delivery account session "
         "report total amount quantity category supplier invoice record page item user name "
         "address email phone status date value result message error title summary").split()


def lognormal_size(rng, median, lo, hi):
    return int(min(hi, max(lo, rng.lognormvariate(math.log(median), 0.7))))


# ---------------------------------------------------------------- text corpora
def _ident(rng):
    return rng.choice(WORDS).capitalize() + rng.choice(WORDS).capitalize()


def asp_lines(rng):
    v = "str" + _ident(rng)
    pick = rng.randrange(12)
    if pick == 0:
        return ["<%", f"Dim {v}, rs{_ident(rng)}", f'{v} = Request.QueryString("{rng.choice(WORDS)}")',
                f'If {v} = "" Then {v} = "{rng.choice(WORDS)}"', "%>"]
    if pick == 1:
        return [f"<p><%= Server.HTMLEncode({v}) %></p>"]
    if pick == 2:
        return ["<% Do While Not rs.EOF %>", "  <tr>",
                f'    <td><%= rs("{_ident(rng)}") %></td>',
                f'    <td align="right"><%= FormatNumber(rs("{_ident(rng)}"), 2) %></td>', "  </tr>",
                "<%", "    rs.MoveNext", "Loop", "%>"]
    if pick == 3:
        return ["<%", f"Function Get{_ident(rng)}(id)",
                f'    Set rs = objConn.Execute("SELECT * FROM {_ident(rng)} WHERE ID = " & CLng(id))',
                f"    Get{_ident(rng)} = rs(0)", "    rs.Close", "End Function", "%>"]
    if pick == 4:
        return [f'<form method="post" action="{rng.choice(FILE_WORDS)}.asp">',
                f'  <input type="text" name="{rng.choice(WORDS)}" value="<%= {v} %>">',
                '  <input type="submit" value="Save">', "</form>"]
    if pick == 5:
        return [f"<% If Session(\"{_ident(rng)}\") > 0 Then %>",
                f"<a href=\"{rng.choice(FILE_WORDS)}.asp?id=<%= Session(\"UserID\") %>\">{rng.choice(WORDS)}</a>",
                "<% End If %>"]
    return [f"<p>{' '.join(rng.choice(WORDS) for _ in range(rng.randrange(6, 16)))}.</p>"]


def js_lines(rng):
    f = rng.choice(WORDS) + _ident(rng)
    pick = rng.randrange(5)
    if pick == 0:
        return [f"function {f}(form) {{", f'    var v = form.{rng.choice(WORDS)}.value;',
                '    if (v.length == 0) { alert("Please fill in the field."); return false; }',
                "    return true;", "}", ""]
    if pick == 1:
        return [f"var {f} = [{', '.join(str(rng.randrange(1000)) for _ in range(8))}];"]
    if pick == 2:
        return [f"function {f}(id) {{", "    var el = document.getElementById(id);",
                '    if (el) el.style.display = el.style.display == "none" ? "" : "none";', "}", ""]
    return [f"// {' '.join(rng.choice(WORDS) for _ in range(rng.randrange(4, 10)))}"]


def vbs_lines(rng):
    s = _ident(rng)
    pick = rng.randrange(4)
    if pick == 0:
        return [f"Sub {s}()", f'    Dim {rng.choice(WORDS)}Count', f'    window.status = "{rng.choice(WORDS)}"',
                "End Sub", ""]
    if pick == 1:
        return [f"Function {s}(value)", f"    {s} = Trim(CStr(value & \"\"))", "End Function", ""]
    return [f"' {' '.join(rng.choice(WORDS) for _ in range(rng.randrange(4, 10)))}"]


def css_lines(rng):
    return [f".{rng.choice(WORDS)}-{rng.choice(WORDS)} {{ color: #{rng.randrange(1 << 24):06x}; "
            f"padding: {rng.randrange(12)}px; font-size: {rng.randrange(9, 18)}px; }}"]


def text_lines(rng):
    return [" ".join(rng.choice(WORDS) for _ in range(rng.randrange(5, 14)))]


def htm_lines(rng):
    pick = rng.randrange(8)
    if pick == 0:
        return ['<script language="JavaScript">'] + js_lines(rng) + ["</script>"]
    if pick == 1:
        return ['<script language="VBScript">'] + vbs_lines(rng) + ["</script>"]
    if pick == 2:
        return [f'<p><a href="{rng.choice(FILE_WORDS)}.htm"><img src="images/{rng.choice(FILE_WORDS)}.gif" '
                f'border="0" alt="{rng.choice(WORDS)}"></a></p>']
    return [f"<p>{' '.join(rng.choice(WORDS) for _ in range(rng.randrange(6, 16)))}.</p>"]


CORPUS_MAKERS = {"asp": asp_lines, "inc": asp_lines, "htm": htm_lines, "html": htm_lines,
                 "js": js_lines, "vbs": vbs_lines, "css": css_lines, "txt": text_lines,
                 "noext": text_lines}


def build_corpus(rng, kind, size=96 * 1024):
    maker = CORPUS_MAKERS[kind]
    lines, n = [], 0
    while n < size:
        for line in maker(rng):
            lines.append(line)
            n += len(line) + 1
    return "\n".join(lines) + "\n"


HEADERS = {
    "asp": '<%@ Language=VBScript %>\n<% Option Explicit %>\n<!-- #include file="{up}includes/common.inc" -->\n'
           "<html>\n<head><title>{title}</title></head>\n<body>\n",
    "inc": "<%\n' {title}\n",
    "htm": "<html>\n<head>\n<title>{title}</title>\n<link rel=\"stylesheet\" href=\"{up}css/site.css\">\n</head>\n<body>\n",
    "js": "// {title}\n",
    "vbs": "' {title}\nOption Explicit\n",
    "css": "/* {title} */\n",
    "txt": "{title}\n\n",
    "noext": "{title}\n\n",
}
HEADERS["html"] = '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN">\n' + HEADERS["htm"]
FOOTERS = {"asp": "</body>\n</html>\n", "inc": "%>\n", "htm": "</body>\n</html>\n",
           "html": "</body>\n</html>\n"}


# ---------------------------------------------------------------- images
def _lzw(pixels, mcs):
    clear = 1 << mcs
    eoi = clear + 1
    size, nxt = mcs + 1, eoi + 1
    table = {bytes([i]): i for i in range(clear)}
    acc = nbits = 0
    out = bytearray()

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8

    emit(clear)
    w = b""
    for c in pixels:
        wc = w + bytes([c])
        if wc in table:
            w = wc
            continue
        emit(table[w])
        if nxt < 4096:
            table[wc] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([i]): i for i in range(clear)}
            size, nxt = mcs + 1, eoi + 1
        w = bytes([c])
    emit(table[w])
    emit(eoi)
    if nbits:
        out.append(acc & 255)
    return bytes(out)


def make_gif(rng, w, h):
    bpc = 4
    palette = bytes(rng.randrange(256) for _ in range(3 << bpc))
    block = rng.choice([1, 2, 4])
    pixels = bytes(((x // block) * 7 + (y // block) * 3 + rng.randrange(3)) % 16
                   for y in range(h) for x in range(w))
    data = _lzw(pixels, bpc)
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | ((bpc - 1) << 4) | (bpc - 1), 0, 0))
    out += palette + b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0) + bytes([bpc])
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out + b"\x00\x3b")


def make_png(rng, w, h):
    import zlib

    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + bytes(rng.randrange(256) if rng.random() < 0.2 else (x * 3 + y) & 255
                                   for x in range(w * 3)) for y in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- tree
def plan_folders(rng, n):
    """Breadth-first: every folder takes 50-100 files, then gets 2-5 subfolders while files remain."""
    folders = []          # (relative path, file count)
    queue = [""]
    remaining = n
    while remaining > 0:
        if not queue:      # cannot happen with fan-out >= 2, but stay safe
            queue.append(f"more{len(folders)}")
        path = queue.pop(0)
        count = min(remaining, rng.randint(50, 100))
        remaining -= count
        folders.append((path, count))
        used = set()
        for _ in range(rng.randint(2, 5)):
            word = rng.choice(FOLDER_WORDS)
            name = word if word not in used else f"{word}{len(used)}"
            used.add(name)
            queue.append(os.path.join(path, name) if path else name)
    return folders


def generate(n, dest, seed):
    rng = random.Random(seed)
    kinds = list(KINDS)
    weights = [KINDS[k][0] for k in kinds]
    corpora = {k: build_corpus(random.Random(f"{seed}-{k}"), k) for k in CORPUS_MAKERS}
    gifs = [make_gif(rng, rng.randint(8, 90), rng.randint(8, 70)) for _ in range(24)]
    pngs = [make_png(rng, rng.randint(16, 60), rng.randint(8, 40)) for _ in range(8)]

    stats = {"files": 0, "bytes": 0, "folders": 0, "script_files": 0, "by_kind": {}}
    tmp = dest + ".partial"
    shutil.rmtree(tmp, ignore_errors=True)
    for rel, count in plan_folders(rng, n):
        folder = os.path.join(tmp, rel)
        os.makedirs(folder, exist_ok=True)
        stats["folders"] += 1
        up = "../" * (rel.count(os.sep) + 1) if rel else ""
        names = set()
        for i in range(count):
            if rel == "" and i == 0:
                kind, name = "asa", "global.asa"
            else:
                kind = rng.choices(kinds, weights)[0]
                ext = KINDS[kind][1]
                if kind == "noext":
                    stem = rng.choice(NOEXT_NAMES)
                elif rng.random() < 0.02:
                    stem = f"{rng.choice(FILE_WORDS)} {rng.choice(WORDS)}"  # a name with a blank
                else:
                    stem = rng.choice(FILE_WORDS) + ("_" + rng.choice(WORDS) if rng.random() < 0.5 else "")
                name = f"{stem}{'.' + ext if ext else ''}"
                k = 1
                while name in names:
                    name = f"{stem}{k}{'.' + ext if ext else ''}"
                    k += 1
            names.add(name)

            if kind == "asa":
                body = ('<SCRIPT LANGUAGE="VBScript" RUNAT="Server">\r\nSub Application_OnStart\r\n'
                        '    Application("Started") = Now()\r\nEnd Sub\r\n</SCRIPT>\r\n').encode()
            elif kind == "gif":
                body = rng.choice(gifs)
            elif kind == "png":
                body = rng.choice(pngs)
            else:
                _, _, median, crlf_share = KINDS[kind]
                size = lognormal_size(rng, median, 200, 40000)
                corpus = corpora[kind]
                start = corpus.find("\n", rng.randrange(len(corpus) - 1)) + 1
                text = corpus[start:start + size]
                if len(text) < size:
                    text += corpus[:size - len(text)]
                cut = text.rfind("\n")
                text = text[:cut + 1] if cut > 0 else text + "\n"
                title = f"{rel or 'root'}/{name}"
                text = HEADERS[kind].format(up=up, title=title) + text + FOOTERS.get(kind, "")
                if rng.random() < crlf_share:
                    text = text.replace("\n", "\r\n")
                body = text.encode("ascii")
            with open(os.path.join(folder, name), "wb") as f:
                f.write(body)
            stats["files"] += 1
            stats["bytes"] += len(body)
            stats["by_kind"][kind] = stats["by_kind"].get(kind, 0) + 1
            if kind in SCRIPT_KINDS:
                stats["script_files"] += 1

    shutil.rmtree(dest, ignore_errors=True)
    os.rename(tmp, dest)
    return stats


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("n", type=int, help="number of files")
    ap.add_argument("dest", help="folder to create (replaced if present)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--force", action="store_true", help="regenerate even if a matching tree exists")
    args = ap.parse_args()
    if args.n < 1:
        ap.error("n must be at least 1")
    dest = os.path.abspath(args.dest.rstrip("/"))
    stamp_path, stats_path = dest + ".stamp", dest + ".stats.json"
    stamp = f"files={args.n} seed={args.seed} version={GENERATOR_VERSION}\n"
    if (not args.force and os.path.isdir(dest) and os.path.isfile(stats_path)
            and os.path.isfile(stamp_path) and open(stamp_path).read() == stamp):
        print(f"{dest}: up to date ({args.n} files, seed {args.seed})", file=sys.stderr)
        return 0
    for p in (stamp_path, stats_path):
        if os.path.exists(p):
            os.remove(p)
    stats = generate(args.n, dest, args.seed)
    stats.update(seed=args.seed, version=GENERATOR_VERSION)
    with open(stats_path, "w") as f:
        json.dump(stats, f, indent=1, sort_keys=True)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    print(f"{dest}: {stats['files']} files in {stats['folders']} folders, "
          f"{stats['bytes'] / 1e6:.1f} MB, {stats['script_files']} script files", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
