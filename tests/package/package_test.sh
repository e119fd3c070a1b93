#!/usr/bin/env bash
# The Debian package as it is installed: made by cpack from the build
# directory, unpacked into a scratch root with dpkg -x, and the unpacked
# saldina-cli run there (on the system's Qt, without LD_LIBRARY_PATH).
# Usage: package_test.sh BUILD_DIR CPACK VERSION. Exit 77 (skipped) without
# the Debian tools the package is made with.
set -euo pipefail
build=$1 cpack=$2 version=$3
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/deps.sh installs dpkg-dev)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/out/saldina_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no $(basename "$deb")"; }

# The control fields: the name, the version, the libraries found by
# dpkg-shlibdeps and Qt's translations.
[ "$(dpkg-deb -f "$deb" Package)" = saldina ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for d in qt6-translations-l10n libqt6widgets6 libqt6printsupport6 libsqlite3-0 libc6; do
  grep -q "\\b$d\\b" <<<"$depends" || fail "Depends lacks $d: $depends"
done

# What it holds: the programs and their data under /usr, nothing of the tests
# or the benchmarks.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
expected="/usr/bin/saldina
/usr/bin/saldina-cli
/usr/share/applications/saldina.desktop
/usr/share/doc/saldina/changelog.gz
/usr/share/doc/saldina/copyright
/usr/share/icons/hicolor/scalable/apps/saldina.svg
/usr/share/man/man1/saldina-cli.1.gz
/usr/share/man/man1/saldina.1.gz
/usr/share/saldina/ReadMe.doc"
diff <(echo "$expected") "$work/files" >&2 || fail "the package's files differ (< expected, > packaged)"

root="$work/root"
dpkg -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/saldina.desktop" || fail "desktop-file-validate"
fi
grep -qx 'Name=Сальдина' "$root/usr/share/applications/saldina.desktop" || fail "the menu entry's name"
grep -qx 'Categories=Office;Finance;' "$root/usr/share/applications/saldina.desktop" || fail "the menu entry's categories"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/saldina.svg" || fail "the icon"
gzip -t "$root/usr/share/man/man1/saldina-cli.1.gz" || fail "the manual page is no gzip file"
zcat "$root/usr/share/man/man1/saldina-cli.1.gz" | grep -q '^\.TH SALDINA-CLI 1' || fail "the manual page's title"
zcat "$root/usr/share/doc/saldina/changelog.gz" | head -n 1 | grep -qF "saldina ($version)" ||
  fail "the changelog's last entry is not of version $version"
head -c 5 "$root/usr/share/saldina/ReadMe.doc" | grep -q '{\\rtf' || fail "the user guide"

# The unpacked tool works on the system's libraries alone.
cli="$root/usr/bin/saldina-cli"
export HOME="$work/home"
mkdir -p "$HOME"
unset LD_LIBRARY_PATH XDG_CONFIG_HOME
[ "$("$cli" --version)" = "saldina-cli $version" ] || fail "--version: $("$cli" --version)"
# A year with one account and two postings, brought in through the tool (a
# demo year takes a minute of disk writes), and its short report.
"$cli" init "$work/r" --year 2026 >"$work/init.log" 2>&1 || { cat "$work/init.log" >&2; fail "init"; }
ini="$work/r/prog.ini"
import() { # import TABLE CSV-TEXT
  printf "$2" >"$work/$1.csv"
  "$cli" --ini "$ini" import "$1" "$work/$1.csv" >>"$work/import.log" 2>&1 || { cat "$work/import.log" >&2; fail "import $1"; }
}
import cbc_spr 'CBC,NAME\r\n0701901420001310000,Сады\r\n'
import law_spr 'LawRef,Sname\r\n031,Дошкольное\r\n'
import org_spr 'Org,Name\r\n12345,Детский сад\r\n'
import t1 'Facebill,LawRef\r\n00000000001,031\r\n'
import t2_1 'FaceBill,LawRef,Amount,FiDate,CBC\r\n00000000001,031,100.5,2026-02-01,0701901420001310000\r\n'
import t2_2 'Facebill,LawRef,Amount,FiDate,CBC,Org\r\n00000000001,031,30.25,2026-02-02,0701901420001310000,12345\r\n'
"$cli" --ini "$ini" report accounts-short --text >"$work/report.txt" 2>"$work/report.err" ||
  { cat "$work/report.err" >&2; fail "report"; }
for line in $'00000000001\tДошкольное\t100,50\t30,25\t70,25' $'Итого\t100,50\t30,25\t70,25'; do
  grep -qxF "$line" "$work/report.txt" || { cat "$work/report.txt" >&2; fail "the report lacks the line: $line"; }
done
echo "OK: $(basename "$deb"), $(wc -l <"$work/files") files, $(du -k "$deb" | cut -f1) KiB"
