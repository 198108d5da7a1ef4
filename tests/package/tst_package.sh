#!/bin/bash
# Builds esfuerzo_<version>_<arch>.deb with CPack from an already built tree, in a temporary
# folder, and checks what a workstation installing it gets.
# Usage: tst_package.sh CPACK BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in desktop-file-validate dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (make deps installs it)" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb="$tmp/out/esfuerzo_${version}_${arch}.deb"
[ -f "$deb" ] || { ls -R "$tmp/out" >&2; echo "FAIL: no $(basename "$deb")" >&2; exit 1; }

# --- control fields -------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = esfuerzo ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
# Computed from the binaries by dpkg-shlibdeps, plus what is loaded at run time.
for dep in libc6 libqt6core6 libqt6widgets6 libqt6serialport6 \
           qt6-qpa-plugins qt6-translations-l10n fonts-liberation; do
    grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# --- file list ------------------------------------------------------------------------------
# Mode, owner and path of every entry; names may hold blanks ("BRUCE MODIFICADO.pro").
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+) +([^ ]+) +[0-9]+ +[^ ]+ +[^ ]+ +\.(.*)$/\1 \2 \3/' \
    >"$tmp/list"
expect() { # MODE PATH
    grep -Fxq -- "$1 root/root $2" "$tmp/list" || fail "missing $1 $2"
}
expect -rwxr-xr-x /usr/bin/esfuerzo
expect -rwxr-xr-x /usr/bin/esfuerzo-cli
expect -rw-r--r-- /usr/share/applications/esfuerzo.desktop
expect -rw-r--r-- /usr/share/icons/hicolor/scalable/apps/esfuerzo.svg
expect -rw-r--r-- /usr/share/icons/hicolor/48x48/apps/esfuerzo.png
expect -rw-r--r-- /usr/share/man/man1/esfuerzo-cli.1.gz
expect -rw-r--r-- /usr/share/man/man1/esfuerzo.1.gz
# Exactly the files of data/, whatever they are today.
(cd "$source/data" && find . -maxdepth 1 -type f -printf '%P\n') | sort >"$tmp/data.expected"
[ -s "$tmp/data.expected" ] || fail "data/ holds no files"
for required in ECG-1.ecg Datosgen.txt BRUCE.pro; do
    grep -Fxq "$required" "$tmp/data.expected" || fail "data/ lacks $required"
done
sed -n 's|^-[^ ]* [^ ]* /usr/share/esfuerzo/||p' "$tmp/list" | sort >"$tmp/data.shipped"
diff -u "$tmp/data.expected" "$tmp/data.shipped" >&2 || fail "/usr/share/esfuerzo differs from data/"
while read -r name; do
    expect -rw-r--r-- "/usr/share/esfuerzo/$name"
done <"$tmp/data.expected"
stray=$(grep -v ' /usr/bin/\(esfuerzo\|esfuerzo-cli\)$' "$tmp/list" | grep -E '^-.* /usr/bin/' || true)
[ -z "$stray" ] || fail "unexpected programs: $stray"
bad_owner=$(grep -v ' root/root ' "$tmp/list" || true)
[ -z "$bad_owner" ] || fail "not owned by root: $bad_owner"

# --- what is inside -------------------------------------------------------------------------
dpkg-deb -x "$deb" "$tmp/root"
root="$tmp/root"
desktop="$root/usr/share/applications/esfuerzo.desktop"
desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects esfuerzo.desktop"
for line in 'Name=Esfuerzo' 'GenericName=Prueba ergométrica' 'Exec=esfuerzo' 'Icon=esfuerzo' \
            'Type=Application' 'Terminal=false'; do
    grep -Fxq "$line" "$desktop" || fail "esfuerzo.desktop lacks '$line'"
done
grep -Eq '^Categories=(.*;)?MedicalSoftware;' "$desktop" || fail "esfuerzo.desktop not in MedicalSoftware"
grep -q '^Comment=.*ECG' "$desktop" || fail "esfuerzo.desktop has no Spanish comment"
file -b "$root/usr/bin/esfuerzo" | grep -q 'stripped' || fail "esfuerzo is not an ELF file"
file -b "$root/usr/bin/esfuerzo" | grep -q 'not stripped' && fail "esfuerzo is not stripped"

[ "$("$root/usr/bin/esfuerzo" --version)" = "esfuerzo $version" ] || fail "esfuerzo --version"
[ "$("$root/usr/bin/esfuerzo-cli" --version)" = "esfuerzo-cli $version" ] ||
    fail "esfuerzo-cli --version"
"$root/usr/bin/esfuerzo" --help | grep -q '^uso: esfuerzo \[CARPETA\]$' || fail "esfuerzo --help"

# Every command of the usage text has its entry in the man page, and so do the exit statuses.
man_page=$(zcat "$root/usr/share/man/man1/esfuerzo-cli.1.gz")
commands=$("$root/usr/bin/esfuerzo-cli" --help |
    sed -nE 's/^(uso:)? *esfuerzo-cli ([a-z][a-z0-9-]*).*/\2/p' | sort -u)
[ -n "$commands" ] || fail "no commands in esfuerzo-cli --help"
for command in $commands; do
    grep -Eq "^\.(B|BI|BR) \"?$command( |\"|$)" <<<"$man_page" ||
        fail "esfuerzo-cli(1) does not describe '$command'"
done
grep -q '^\.SH ESTADO DE SALIDA' <<<"$man_page" || fail "esfuerzo-cli(1) has no exit statuses"
for status in 0 1 2; do
    sed -n '/^\.SH ESTADO DE SALIDA/,/^\.SH/p' <<<"$man_page" | grep -Fxq ".B $status" ||
        fail "esfuerzo-cli(1) does not explain exit status $status"
done

[ "$failures" -eq 0 ] || exit 1
echo "esfuerzo_${version}_${arch}.deb: $(wc -l <"$tmp/list") entries, Depends: $depends"
