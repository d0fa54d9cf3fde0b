#!/usr/bin/env bash
# Checks what Quillberry installs and what its Debian package holds and needs.
#
#   check-package.sh [install|deb|hardening|all] [BUILD_DIR] [OUT_DIR]
#
# hardening: the built program (BUILD_DIR/quillberry) is hardened as distributions build theirs.
# install: `cmake --install` into a temporary prefix, then the installed tree is validated.
# deb:     `cpack -G DEB` into OUT_DIR (default BUILD_DIR), then the package's name, control fields,
#          contents and dependencies are checked and its extracted tree is validated like an install.
# all:     all three (the default; CI runs this after the tests). The installed and packaged programs are
#          checked for the same hardening.
# Exits 77 when a tool it needs is missing (ctest counts that as skipped), or 1 with
# QUILLBERRY_REQUIRE_ORACLES=1 (as in CI); 1 on the first failed check.
set -euo pipefail

mode=${1:-all}
build=$(cd "${2:-build}" && pwd)
out=${3:-$build}
app_id=com.brackenlow.quillberry
icon_sizes=(16 32 48 64 128 256)

scratch=()
trap 'rm -rf "${scratch[@]}"' EXIT
new_scratch() {
    local dir
    dir=$(mktemp -d)
    scratch+=("$dir")
    echo "$dir"
}

fail() {
    echo "check-package: $*" >&2
    exit 1
}
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null && continue
        if [[ "${QUILLBERRY_REQUIRE_ORACLES:-}" == 1 ]]; then
            fail "$tool is not installed (required: QUILLBERRY_REQUIRE_ORACLES=1)"
        fi
        echo "check-package: $tool is not installed; skipped" >&2
        exit 77
    done
}

project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt"
}

# Width and height of a PNG, read from its header.
png_size() {
    local hex
    hex=$(od -An -tx1 -j16 -N8 "$1" | tr -d ' \n')
    echo "$((16#${hex:0:8}))x$((16#${hex:8:8}))"
}

# The files an installed tree below PREFIX must hold, relative to it, sorted; the manual page as named.
expected_files() {
    local manual=$1
    {
        echo bin/quillberry
        echo share/applications/$app_id.desktop
        echo share/metainfo/$app_id.metainfo.xml
        for s in "${icon_sizes[@]}"; do echo "share/icons/hicolor/${s}x${s}/apps/$app_id.png"; done
        echo share/icons/hicolor/scalable/apps/$app_id.svg
        echo "share/man/man1/$manual"
    } | LC_ALL=C sort
}

# The program built as distributions build theirs: position-independent, its relocations read-only after
# start-up and all bound then (-z relro -z now), its stack protected, and the C library's checked
# functions called where the sizes are known (_FORTIFY_SOURCE).
check_hardening() {
    local file=$1
    local header dynamic segments symbols
    header=$(readelf -hW "$file")
    dynamic=$(readelf -dW "$file")
    segments=$(readelf -lW "$file")
    symbols=$(readelf --dyn-syms -W "$file" | awk 'NF >= 8 {print $8}')  # the name; a version index may follow
    grep -qE '^ *Type: +DYN' <<<"$header" || fail "$file is not position-independent (ELF type is not DYN)"
    grep -qE '\(FLAGS_1\).* PIE( |$)' <<<"$dynamic" || fail "$file has no PIE flag: not linked with -pie"
    grep -qE '\(FLAGS\).* BIND_NOW( |$)' <<<"$dynamic" || fail "$file has no BIND_NOW: not linked with -z now"
    grep -qE '^ *GNU_RELRO ' <<<"$segments" || fail "$file has no GNU_RELRO segment: not linked with -z relro"
    grep -q '^__stack_chk_fail' <<<"$symbols" || fail "$file calls no __stack_chk_fail: no stack protector"
    # A here-string, not a pipe: with pipefail, grep -q ending first would fail the pipe.
    grep -vq '^__stack_chk_fail' <<<"$(grep -E '^__[a-z0-9_]+_chk(@|$)' <<<"$symbols")" ||
        fail "$file calls no checked C library function (__*_chk): built without _FORTIFY_SOURCE"
}

check_built_program() {
    need readelf
    check_hardening "$build/quillberry"
    echo "check-package: $build/quillberry is position-independent, -z relro -z now, stack-protected and fortified"
}

# Validates an installed tree: exactly the expected files, each valid for the tools that read it.
check_tree() {
    local prefix=$1 manual=$2
    local found
    found=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    if [[ "$found" != "$(expected_files "$manual")" ]]; then
        diff <(expected_files "$manual") <(echo "$found") >&2 || true
        fail "the installed files under $prefix differ from the expected list (< expected, > found)"
    fi
    [[ -x "$prefix/bin/quillberry" ]] || fail "bin/quillberry is not executable"
    check_hardening "$prefix/bin/quillberry"
    # libgsf is loaded when a workbook is first read or written: linked, every start would load it, with
    # GObject and GIO. The installed program still writes a workbook.
    if readelf -d "$prefix/bin/quillberry" | grep -qE 'NEEDED.*\[lib(gsf|gio|gobject)-'; then
        fail "bin/quillberry links libgsf, GIO or GObject"
    fi
    local home
    home=$(new_scratch)
    XDG_CONFIG_HOME="$home" "$prefix/bin/quillberry" --export-xls "$home/check.xls" ||
        fail "the installed program cannot write a workbook"
    [[ -s "$home/check.xls" ]] || fail "the installed program wrote no workbook"

    desktop-file-validate "$prefix/share/applications/$app_id.desktop" ||
        fail "desktop-file-validate rejects the desktop entry"
    grep -qx "Icon=$app_id" "$prefix/share/applications/$app_id.desktop" ||
        fail "the desktop entry names another icon than $app_id"
    grep -qx "Exec=quillberry" "$prefix/share/applications/$app_id.desktop" ||
        fail "the desktop entry does not start quillberry"

    local report
    report=$(appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" 2>&1) ||
        { echo "$report" >&2; fail "appstreamcli rejects the metainfo"; }
    if grep -qE '^[EWIP]: ' <<<"$report"; then
        echo "$report" >&2
        fail "appstreamcli reports issues in the metainfo"
    fi
    local version newest
    version=$(project_version)
    newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$prefix/share/metainfo/$app_id.metainfo.xml" |
        sed -n 1p)
    [[ "$newest" == "$version" ]] || fail "the metainfo's newest release is $newest, the project is $version"

    for s in "${icon_sizes[@]}"; do
        local size
        size=$(png_size "$prefix/share/icons/hicolor/${s}x${s}/apps/$app_id.png")
        [[ "$size" == "${s}x${s}" ]] || fail "the ${s}x${s} icon is $size"
    done
    xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg" 2>/dev/null ||
        grep -q '<svg ' "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg" ||
        fail "the scalable icon is no SVG"

    # The manual page: groff's warnings are failures, and every option and file it must describe is there.
    local page="$prefix/share/man/man1/$manual" text warnings
    if [[ "$manual" == *.gz ]]; then text=$(zcat "$page"); else text=$(cat "$page"); fi
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z <<<"$text" 2>&1) || true
    [[ -z "$warnings" ]] || { echo "$warnings" >&2; fail "groff warns about the manual page"; }
    local rendered
    rendered=$(LC_ALL=C.UTF-8 groff -man -rHY=0 -Tutf8 -P-cbou <<<"$text" 2>/dev/null | tr -s ' \n' ' ')
    for term in --help --version "--export-xls FILE" "--export-pdf FILE" "--export-png FILE" \
        "EXIT STATUS" "~/.config/Brackenlow/Brackenlow.conf" TEMP TMPDIR "quillberry-UID" HAND-M.CUR \
        x/o.cjs "Quillberry $version"; do
        grep -qF -- "$term" <<<"$rendered" || fail "the manual page does not mention '$term'"
    done
    echo "check-package: the installed tree under $prefix is complete and valid"
}

check_install() {
    need cmake desktop-file-validate appstreamcli groff readelf od
    local root
    root=$(new_scratch)
    cmake --install "$build" --prefix "$root/usr" >/dev/null
    check_tree "$root/usr" quillberry.1
}

# The package that holds a library file, under any of its names (the /lib and /usr/lib spellings of a merged
# /usr, the link or the file it points to).
package_owning() {
    local real candidate
    real=$(readlink -f "$1")
    for candidate in "$1" "$real" "/usr${1#/usr}" "${1#/usr}" "/usr${real#/usr}" "${real#/usr}"; do
        if dpkg -S "$candidate" >/dev/null 2>&1; then
            dpkg -S "$candidate" | sed -n '1s/:.*//p'
            return 0
        fi
    done
    return 1
}

# The Depends field as one package name per line, without versions or alternatives.
depends_names() {
    tr ',' '\n' <<<"$1" | sed 's/|.*//; s/(.*//; s/^ *//; s/ *$//' | sed '/^$/d' | LC_ALL=C sort -u
}

check_deb() {
    need cpack dpkg-deb dpkg-shlibdeps dpkg desktop-file-validate appstreamcli groff readelf od
    mkdir -p "$out"
    (cd "$build" && cpack -G DEB -B "$out" >/dev/null) || fail "cpack -G DEB failed"
    local version arch deb
    version=$(project_version)
    arch=$(dpkg --print-architecture)
    deb="$out/quillberry_${version}_${arch}.deb"
    [[ -f "$deb" ]] || fail "cpack made no $deb"
    echo "check-package: $deb ($(du -k "$deb" | cut -f1) kB)"

    field() { dpkg-deb -f "$deb" "$1"; }
    [[ "$(field Package)" == quillberry ]] || fail "Package is '$(field Package)'"
    [[ "$(field Version)" == "$version" ]] || fail "Version is '$(field Version)'"
    [[ "$(field Architecture)" == "$arch" ]] || fail "Architecture is '$(field Architecture)'"
    [[ -n "$(field Section)" ]] || fail "the package has no Section"
    [[ "$(field Maintainer)" == *"<"*@*">" ]] || fail "Maintainer is '$(field Maintainer)'"
    local description
    description=$(field Description)
    [[ $(wc -l <<<"$description") -ge 2 ]] || fail "the Description has no long part"
    [[ "$(head -1 <<<"$description")" != *"CPack"* ]] || fail "the Description is CPack's default"

    # Dependencies: the libraries the program links, each from a package in Depends (as dpkg-shlibdeps
    # computed them), and what shlibdeps cannot see, named by hand.
    local depends
    depends=$(depends_names "$(field Depends)")
    echo "check-package: Depends: $(field Depends)"
    echo "check-package: Recommends: $(field Recommends)"
    for pkg in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6-sqlite fonts-liberation2; do
        grep -qx "$pkg" <<<"$depends" || fail "Depends lacks $pkg"
    done
    grep -q 'libgsf-1-' <<<"$depends" || fail "Depends lacks libgsf"
    grep -q '(>=' <<<"$(field Depends)" || fail "Depends carries no versions: dpkg-shlibdeps did not run"
    [[ "$(field Recommends)" == *fonts-dejavu-core* ]] || fail "Recommends lacks fonts-dejavu-core"

    local root
    root=$(new_scratch)
    dpkg-deb -x "$deb" "$root"
    local lib path owner
    for lib in $(readelf -d "$root/usr/bin/quillberry" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        # The readers take the whole listing: one that stopped early would fail the pipeline (pipefail).
        path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64|64bit/ && path == "" {path = $NF} END {print path}')
        [[ -n "$path" ]] || path=$(ldconfig -p | awk -v l="$lib" '$1 == l && path == "" {path = $NF} END {print path}')
        [[ -n "$path" ]] || fail "$lib, which the program needs, is not on this system"
        owner=$(package_owning "$path") || fail "no package owns $path"
        grep -qx "$owner" <<<"$depends" || fail "$lib comes from $owner, which Depends lacks"
    done
    [[ "$(readelf -S "$root/usr/bin/quillberry")" != *.debug_info* ]] || fail "the program is not stripped"

    # Owner, modes: root's files, programs 0755, the rest 0644.
    local listing
    listing=$(dpkg-deb -c "$deb")
    if grep -v ' root/root ' <<<"$listing" | grep -q .; then fail "files not owned by root/root"; fi
    grep -qE '^-rwxr-xr-x .*\./usr/bin/quillberry$' <<<"$listing" || fail "usr/bin/quillberry is not 0755"
    if grep '^-' <<<"$listing" | grep -v '/usr/bin/quillberry$' | grep -vq '^-rw-r--r-- '; then
        fail "a data file is not 0644"
    fi
    [[ -z "$(find "$root" -maxdepth 1 -mindepth 1 ! -name usr)" ]] || fail "the package puts files outside /usr"
    check_tree "$root/usr" quillberry.1.gz
}

case "$mode" in
    install) check_install ;;
    deb) check_deb ;;
    hardening) check_built_program ;;
    all)
        check_built_program
        check_install
        check_deb
        ;;
    *) fail "unknown mode '$mode' (install, deb, hardening or all)" ;;
esac
