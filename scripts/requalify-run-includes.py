# Rewrites #include "<header of run/>" to its name from the project's root
# ("run/util/text.h"), in every file but screnc's own; paths.h and encode_file.h of the
# run are native_path.h and encode_page.h now. For bringing over work begun before run/
# was divided into rooms: run it after the merge, in the merged tree.
import os, re, subprocess
top = subprocess.run(['git', 'rev-parse', '--show-toplevel'], capture_output=True, text=True, check=True).stdout.strip()
os.chdir(top)
files = subprocess.run(['git', 'ls-files', '-co', '--exclude-standard', '*.cpp', '*.h'],
                       capture_output=True, text=True, check=True).stdout.split()
old_names = {'paths.h': 'native_path.h', 'encode_file.h': 'encode_page.h'}
heads = {}
for f in files:
    if f.startswith('run/') and f.endswith('.h'):
        heads[os.path.basename(f)] = f
for old, new in old_names.items():
    heads[old] = heads[new]
inc = re.compile(r'^(\s*#\s*include\s+)"([^"/]+)"', re.M)
for f in files:
    if f.startswith(('screnc/', 'tests/screnc/', 'bench/screnc/')):
        continue
    s = open(f, encoding='utf-8').read()
    def rep(m):
        name = m.group(2)
        if name not in heads or (f == 'tests/run/encoder/test_verify.cpp' and name == 'encode_file.h'):
            return m.group(0)
        return m.group(1) + '"' + heads[name] + '"'
    out = inc.sub(rep, s)
    if out != s:
        open(f, 'w', encoding='utf-8').write(out)
        print('requalified', f)
