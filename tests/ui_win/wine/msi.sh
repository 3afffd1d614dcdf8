# Sourced by run.sh: the installer under Wine. msiexec /i /qn; the programs in Program
# Files\Quillward run the sample site; the Start-menu shortcut; the entry in installed
# programs; an upgrade from an older build keeps the settings and leaves one entry;
# msiexec /x /qn leaves no program file and the settings as they were.
msi=$(ls "$root"/build-windows/quillward-*-windows-x64.msi 2>/dev/null | head -n 1 || true)
stage=$root/build-windows/packaging/msi-stage
if [ -z "$msi" ] || ! command -v wixl >/dev/null; then
  fail "no installer to test (make windows builds build-windows/quillward-<version>-windows-x64.msi with wixl)"
else
  tm=$(date +%s.%N)
  old=$work/quillward-0.9.0-windows-x64.msi
  (cd "$stage" && wixl -a x64 -D Version=0.9.0 -D Arch=x64 -o "$old" quillward.wxs)
  pf=$WINEPREFIX/drive_c/Program\ Files/Quillward
  entries() { "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*Quillward' || true; }
  msiexec() { "$wine" msiexec "$@" >"$work/msiexec.out" 2>&1; }

  msiexec /i "$(winpath "$old")" /qn
  check "install of the older build: $(cat "$work/msiexec.out")" '[ -f "$pf/quillward.exe" ]'
  reg add "$settings" /v chkASP /t REG_SZ /d 1 /f
  reg add "$settings" /v txtDefxt /t REG_SZ /d '*.inc *.txt' /f
  "$wine" reg query "$key" /s > "$work/settings-before.txt" 2>&1

  msiexec /i "$(winpath "$msi")" /qn
  check "upgrade: msiexec said $(cat "$work/msiexec.out")" '[ -f "$pf/quillward.exe" ] && [ -f "$pf/quillward-batch.exe" ] && [ -f "$pf/screnc.exe" ] && [ -f "$pf/README.md" ] && [ -f "$pf/LICENSE" ]'
  check "upgrade: $(entries) entries in installed programs" '[ "$(entries)" = 1 ]'
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' > "$work/uninstall.txt"
  version=$(sed -n 's/^project(Quillward VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  check "the entry lacks its version $version" 'grep -q "DisplayVersion.*$version" "$work/uninstall.txt"'
  check "the entry lacks its publisher" 'grep -q "Publisher.*Quillward Works" "$work/uninstall.txt"'
  # Wine's msiexec writes no DisplayIcon: the installer itself must name the icon. (msiinfo
  # writes a binary table's streams into the current folder: the test's own. grep reads
  # all of its output: with pipefail, grep -q would fail the pipe by ending it early.)
  if command -v msiinfo >/dev/null; then
    check "the installer names no icon for installed programs" \
      '(cd "$work" && msiinfo export "$msi" Property | grep "^ARPPRODUCTICON.quillward.ico" >/dev/null && msiinfo export "$msi" Icon | grep quillward.ico >/dev/null)'
  fi
  shortcut=$(find "$WINEPREFIX/drive_c" -path "*Start Menu/Programs/Quillward.lnk" | head -n 1)
  check "the Start-menu shortcut is missing" '[ -n "$shortcut" ]'
  "$wine" reg query "$key" /s > "$work/settings-after.txt" 2>&1
  check "upgrade changed the settings: $(diff "$work/settings-before.txt" "$work/settings-after.txt")" \
    'cmp -s "$work/settings-before.txt" "$work/settings-after.txt"'

  # The installed programs on the sample site, as the Linux build does it.
  status=0
  "$wine" "$pf/quillward-batch.exe" --set chkHTML=1 --set chkJS=1 --set Check2=1 \
    "$(winpath "$root/examples/site")" "$(winpath "$work/out-installed")" > "$work/installed.out" 2>&1 || status=$?
  "$lin/quillward-batch" --set chkASP=1 --set 'txtDefxt=*.inc *.txt' --set chkHTML=1 --set chkJS=1 --set Check2=1 \
    "$root/examples/site" "$work/out-installed-l" > /dev/null 2>&1 || true
  check "the installed quillward-batch.exe: exit $status $(tail -n 1 "$work/installed.out")" '[ "$status" = 0 ]'
  check "the installed programs' tree differs: $(diff -r "$work/out-installed" "$work/out-installed-l" 2>&1 | head -3)" \
    'diff -r "$work/out-installed" "$work/out-installed-l" >/dev/null'

  msiexec /x "$(winpath "$msi")" /qn
  check "uninstall left $(ls "$pf" 2>/dev/null | tr '\n' ' ')" '[ ! -e "$pf" ] || [ -z "$(ls -A "$pf")" ]'
  check "uninstall left the shortcut" '[ -z "$(find "$WINEPREFIX/drive_c" -path "*Start Menu/Programs/Quillward.lnk")" ]'
  check "uninstall left $(entries) entries" '[ "$(entries)" = 0 ]'
  check "uninstall left HKLM\\Software\\Quillward" '! "$wine" reg query "HKLM\\Software\\Quillward" >/dev/null 2>&1'
  "$wine" reg query "$key" /s > "$work/settings-gone.txt" 2>&1
  check "uninstall changed the settings" 'cmp -s "$work/settings-before.txt" "$work/settings-gone.txt"'
  echo "$label: the installer took $(seconds "$tm") s"
fi
