#!/usr/bin/env bash
# Makes the Debian package from the release build, checks its fields and its files and has
# lintian check it; then, as root on Debian, installs it with apt, runs it, removes it and
# checks that nothing of it is left. A package that was installed before is installed again,
# from this build, at the end.
# Usage: scripts/package-test.sh [release build dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(readlink -f "${1:-build/release}")
[ -f "$build/CMakeCache.txt" ] || { echo "no release build in $build" >&2; exit 2; }
grep -qx 'ZARN_DEBIAN_BUILDFLAGS:BOOL=ON' "$build/CMakeCache.txt" || {
    echo "$build is not built with Debian's flags: use the release preset or" \
        "configure with -DZARN_DEBIAN_BUILDFLAGS=ON" >&2
    exit 2
}

package=zarn1-ps-repair
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/${package}_${version}_$(dpkg --print-architecture).deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect() {  # expect WHAT ACTUAL WANTED
    [ "$2" = "$3" ] || fail "$1: '$2', wanted '$3'"
}

(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
[ -f "$deb" ] || { echo "cpack made no $deb" >&2; exit 1; }
echo "package: $deb"

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
expect Package "$(field Package)" "$package"
expect Version "$(field Version)" "$version"
expect Section "$(field Section)" graphics
expect Recommends "$(field Recommends)" "ghostscript, fonts-dejavu-extra"
# The libraries are read from the binaries; Qt's display plugins and xdg-open, which the
# window opens its log with, are named by hand.
depends=$(field Depends | sed 's/ *([^)]*)//g; s/, */\n/g')
for dependency in libc6 libstdc++6 libqt6widgets6 libcups2 qt6-qpa-plugins xdg-utils; do
    grep -qx "$dependency" <<<"$depends" || fail "Depends lacks $dependency: $(field Depends)"
done
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 3 ] || fail "no long Description"

# The files, their modes and their owner.
dpkg-deb -c "$deb" >"$work/contents"
listed() {  # listed MODE PATH: PATH is in the package with MODE
    awk -v m="$1" -v p="./usr/$2" '$1 == m && $6 == p { found = 1 } END { exit !found }' \
        "$work/contents" || fail "not in the package with mode $1: /usr/$2"
}
listed -rwxr-xr-x bin/zarn1-ps-convert
listed lrwxrwxrwx bin/zarn1-ps-repair
grep -q ' \./usr/bin/zarn1-ps-repair -> \.\./libexec/zarn1-ps-repair/zarn1-ps-repair$' \
    "$work/contents" || fail "bin/zarn1-ps-repair is not a link to the program"
listed -rwxr-xr-x libexec/zarn1-ps-repair/zarn1-ps-repair
for f in libexec/zarn1-ps-repair/ZARN1NL.HLP libexec/zarn1-ps-repair/ZARN1UK.HLP \
    share/man/man1/zarn1-ps-convert.1.gz share/man/man1/zarn1-ps-repair.1.gz \
    share/bash-completion/completions/zarn1-ps-convert share/mime/packages/$package.xml \
    share/applications/$package.desktop share/icons/hicolor/scalable/apps/$package.svg \
    share/doc/$package/copyright share/doc/$package/changelog.gz \
    share/lintian/overrides/$package lib/systemd/user/zarn1-ps-hotfolder@.service; do
    listed -rw-r--r-- "$f"
done
for size in 16 22 24 32 48 64 128 256; do
    listed -rw-r--r-- "share/icons/hicolor/${size}x$size/apps/$package.png"
done
awk '$2 != "root/root" || ($1 !~ /^d/ && $1 !~ /^-rw-r--r--$|^-rwxr-xr-x$|^l/) ||
     ($1 ~ /^d/ && $1 != "drwxr-xr-x")' "$work/contents" >"$work/odd"
[ ! -s "$work/odd" ] || fail "owner or mode not as Debian has them: $(cat "$work/odd")"

# What the files say, from the unpacked package.
root=$work/root
dpkg-deb -x "$deb" "$root"
out=$(desktop-file-validate "$root/usr/share/applications/$package.desktop" 2>&1) ||
    fail "desktop-file-validate failed"
[ -z "$out" ] || fail "desktop-file-validate: $out"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    out=$(zcat "$page" | groff -man -ww -z 2>&1) && [ -z "$out" ] || fail "$page: $out"
    out=$(MANWIDTH=80 man -l "$page" 2>&1 >/dev/null) && [ -z "$out" ] || fail "$page: $out"
    zcat "$page" | grep -q "ZARN1 PS repair $version" || fail "$page does not carry $version"
done
# A backslash in the text must reach the reader, not start an escape of groff's.
MANWIDTH=80 man -l "$root/usr/share/man/man1/zarn1-ps-convert.1.gz" 2>/dev/null |
    grep -qF "\$'\\012'" || fail "zarn1-ps-convert.1 does not show \$'\\012'"
# The changelog's newest entry is this version.
expect "the changelog's version" \
    "$(zcat "$root/usr/share/doc/$package/changelog.gz" | dpkg-parsechangelog -l - -S Version)" \
    "$version"
for size in 16 22 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x$size/apps/$package.png" |
        grep -q "PNG image data, $size x $size," || fail "the ${size}x$size icon is not that size"
done

# lintian, as Debian's archive checks a package: no error, no warning, every hardening flag,
# nothing left in the programs that Debian strips.
lintian --pedantic --display-info --fail-on none "$deb" >"$work/lintian" 2>"$work/lintian.err" ||
    { cat "$work/lintian" "$work/lintian.err" >&2; exit 1; }
echo "lintian: $(wc -l <"$work/lintian") tags"
sed 's/^/  /' "$work/lintian"
bad=$(grep -E '^[EW]: |hardening-|binary-has-unneeded-section' "$work/lintian" || true)
[ -z "$bad" ] || fail "lintian: $bad"

# The file type, in a database of its own: the capitals are print files, the certificate
# bundle and request keep their types. The files hold bytes that tell nothing, so that the
# names alone decide (PostScript content would win for the print files whatever the weight).
mime_xml=$root/usr/share/mime/packages/$package.xml
xmllint --noout "$mime_xml" || fail "$mime_xml is not well-formed"
mkdir -p "$work/data/mime/packages" "$work/files"
cp /usr/share/mime/packages/freedesktop.org.xml "$mime_xml" "$work/data/mime/packages/"
update-mime-database "$work/data/mime" >/dev/null 2>&1 || fail "update-mime-database failed"
mime_of() {  # mime_of NAME: the type GIO and xdg-mime see for a file of that name
    printf '\0\1\2' >"$work/files/$1"
    local data=(env XDG_DATA_HOME="$work/none" XDG_DATA_DIRS="$work/data")
    echo "$("${data[@]}" gio info -a standard::content-type "$work/files/$1" |
        sed -n 's/^ *standard::content-type: //p') $("${data[@]}" xdg-mime query filetype "$work/files/$1")"
}
expect BOARD.P10 "$(mime_of BOARD.P10)" "application/x-zarn1-print application/x-zarn1-print"
expect BOARD.P12 "$(mime_of BOARD.P12)" "application/x-zarn1-print application/x-zarn1-print"
expect board.p12 "$(mime_of board.p12)" "application/pkcs12 application/pkcs12"
expect board.p10 "$(mime_of board.p10)" "application/pkcs10 application/pkcs10"

# The completion, alone and with the bash-completion package's helpers: its options, and
# print files and directories for a FILE. bash splits --force=a4 into three words.
mkdir -p "$work/jobs/old jobs" && touch "$work/jobs/BOARD.P01" "$work/jobs/BOARD.PDF"
completion=$root/usr/share/bash-completion/completions/zarn1-ps-convert
helpers=(/dev/null)
[ -f /usr/share/bash-completion/bash_completion ] &&
    helpers+=(/usr/share/bash-completion/bash_completion)
complete_line() {  # complete_line WORD...: the candidates for the last WORD
    (cd "$work/jobs" && LC_ALL=C bash --norc -c '
        source "$0"; source "$1"; shift
        line="$*" line=${line// = /=}; [[ $line == *" =" ]] && line="${line% =}="
        COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE=$line COMP_POINT=${#line}
        _zarn1_ps_convert zarn1-ps-convert "${COMP_WORDS[COMP_CWORD]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' \
        "$helper" "$completion" zarn1-ps-convert "$@")
}
help=$("$root/usr/bin/zarn1-ps-convert" --help)
for helper in "${helpers[@]}"; do
    expect "completion of --r ($helper)" "$(complete_line --r)" "--rich-text --rotate"
    expect "completion of --force= ($helper)" "$(complete_line --force =)" "a3 a4 none"
    expect "completion of --lang=u ($helper)" "$(complete_line --lang = u)" "uk"
    expect "completion of a FILE ($helper)" "$(complete_line --eps '')" "BOARD.P01 old jobs"
    expect "completion of --watch= ($helper)" "$(complete_line --watch = '')" "old jobs"
    expect "completion of -j ($helper)" "$(complete_line -j '')" ""
    options=" $(complete_line --) "
    for option in $(grep -o -- '--[a-z-]*=\?' <<<"$help" | sort -u); do
        [[ $options == *" $option "* ]] ||
            fail "the completion lacks $option ($helper)"
    done
done

# Installed with apt, and removed without a trace.
installed() { dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; }
if [ "$(id -u)" -ne 0 ] || [ ! -f /etc/debian_version ] || ! command -v apt-get >/dev/null; then
    echo "not root on Debian with apt: the install and the removal are not tried"
else
    was_installed=false
    if installed; then
        was_installed=true
        echo "$package was installed: removed for the test, installed again from this build after it"
        apt-get remove -y -qq "$package" >/dev/null
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; exit 1; }
    installed || fail "$package is not installed after apt-get install"
    dpkg -L "$package" >"$work/files.list"
    expect "zarn1-ps-convert --version" "$(zarn1-ps-convert --version | sed -n 1p)" \
        "zarn1-ps-convert $version"
    expect "the link" "$(readlink /usr/bin/zarn1-ps-repair)" ../libexec/zarn1-ps-repair/zarn1-ps-repair
    [ -x "$(readlink -f /usr/bin/zarn1-ps-repair)" ] || fail "/usr/bin/zarn1-ps-repair leads nowhere"
    ! ldd /usr/libexec/zarn1-ps-repair/zarn1-ps-repair | grep 'not found' ||
        fail "the window program misses libraries"
    expect "man -w" "$(man -w zarn1-ps-convert)" /usr/share/man/man1/zarn1-ps-convert.1.gz
    # The hot folder's unit as systemd reads it, for a folder with a blank in its name.
    if command -v systemd-analyze >/dev/null; then
        unit="$work/zarn1-ps-hotfolder@$(systemd-escape --path '/srv/hot folder').service"
        cp /usr/lib/systemd/user/zarn1-ps-hotfolder@.service "$unit"
        out=$(systemd-analyze verify "$unit" 2>&1) || fail "the hot folder's unit: $out"
    fi
    grep -qx application/x-zarn1-print /usr/share/mime/types ||
        fail "the MIME database does not know application/x-zarn1-print"
    grep -q "^application/x-zarn1-print=.*$package.desktop" /usr/share/applications/mimeinfo.cache ||
        fail "the desktop database does not offer $package for application/x-zarn1-print"

    apt-get remove -y -qq "$package" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
    ! installed || fail "$package is still installed after apt-get remove"
    while IFS= read -r path; do
        if [ "$path" = /. ]; then
            continue
        elif [ -d "$path" ] && [ ! -L "$path" ]; then
            # A directory may stay only for the other packages that hold it.
            dpkg -S "$path" >/dev/null 2>&1 || fail "left behind: the directory $path"
        elif [ -e "$path" ] || [ -L "$path" ]; then
            fail "left behind: $path"
        fi
    done <"$work/files.list"
    ! grep -qx application/x-zarn1-print /usr/share/mime/types ||
        fail "the MIME database still knows application/x-zarn1-print"
    ! grep -q "$package.desktop" /usr/share/applications/mimeinfo.cache 2>/dev/null ||
        fail "the desktop database still offers $package"
    if $was_installed; then
        apt-get install -y -qq --no-install-recommends "$deb" >/dev/null 2>&1
    fi
fi

if [ "$failures" -gt 0 ]; then
    echo "package test: $failures failures" >&2
    exit 1
fi
echo "package test: passed"
