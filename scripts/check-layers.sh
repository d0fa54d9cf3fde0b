#!/usr/bin/env bash
# Fails when a C++ file includes a header of a folder its layer may not use, naming the file and the line.
#   bash scripts/check-layers.sh [TREE]      (TREE: the source tree to check, by default this one)
#
# The layers, one a line: a folder, then the folders its files may include besides their own. A file's
# layer is the longest folder of this list that its path starts with. (resources/ is the template builder,
# which lays the template out as generation/'s cell map names its cells.)
#   *              everything
#   engine-public  the engine's public headers: the .h files at the top of spreadsheet/
#   engine-levels  the engine's own rule: a level's files (spreadsheet/<level>/, and the public headers its
#                  CMakeLists.txt lists) include their own level and lower ones, public headers included.
#                  The order of the levels is cmake/QuillberryEngine.cmake's.
read -r -d '' LAYERS <<'EOF' || true
app/          *
bench/        *
tests/        *
entry/        generation/ shell/core/ shell/ui/
preview/      generation/ shell/core/ shell/ui/
history/      generation/ shell/core/ shell/ui/
generation/   shell/core/ engine-public
shell/ui/     shell/core/
shell/core/
resources/    generation/ engine-public
spreadsheet/  engine-levels
EOF
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

levels=$(sed -n 's/^set(QUILLBERRY_ENGINE_LEVELS \(.*\))$/\1/p' cmake/QuillberryEngine.cmake)
if [ -z "$levels" ]; then
    echo "check-layers: no engine levels in cmake/QuillberryEngine.cmake" >&2
    exit 2
fi
# Each public header with the level whose CMakeLists.txt lists it ("../workbook.h").
public=""
for level in $levels; do
    for header in $(grep -o '\.\./[A-Za-z0-9_]*\.h' "spreadsheet/$level/CMakeLists.txt" | cut -c4-); do
        public+="$header $level"$'\n'
    done
done

# The tracked files (and new ones not ignored) in a git tree; every file outside build folders elsewhere.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
    mapfile -t files < <(find . \( -name 'build*' -o -name '.git' \) -prune -o \
        \( -name '*.cpp' -o -name '*.h' \) -type f -print | sed 's|^\./||' | sort)
fi

{ grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" || true; } | awk \
    -v layers="$LAYERS" -v levels="$levels" -v public="$public" '
function dir(path) { return path ~ /\// ? substr(path, 1, match(path, /\/[^\/]*$/)) : "" }
# The layer of a path: the longest listed folder it starts with, "" when none.
function layerOf(path,    l, best) {
    best = ""
    for (l in rules)
        if (index(path, l) == 1 && length(l) > length(best))
            best = l
    return best
}
# The engine level of a path inside spreadsheet/, "" when it has none.
function levelOf(path,    rest, name) {
    if (index(path, "spreadsheet/") != 1)
        return ""
    rest = substr(path, 13)
    if (rest !~ /\//)
        return (rest in publicLevel) ? publicLevel[rest] : ""
    name = substr(rest, 1, index(rest, "/") - 1)
    return (name in rank) ? name : ""
}
function allowed(from, target, layer,    n, i, uses, own, theirs) {
    if (index(target, layer) == 1)
        return layer == "spreadsheet/" ? rank[levelOf(target)] <= rank[levelOf(from)] : 1
    n = split(rules[layer], uses, " ")
    for (i = 1; i <= n; i++) {
        if (uses[i] == "*" || index(target, uses[i]) == 1)
            return 1
        if (uses[i] == "engine-public" && target ~ /^spreadsheet\/[^\/]+\.h$/)
            return 1
    }
    return 0
}
BEGIN {
    n = split(layers, lines, "\n")
    for (i = 1; i <= n; i++) {
        if (split(lines[i], words, " ") == 0)
            continue
        rules[words[1]] = substr(lines[i], index(lines[i], words[1]) + length(words[1]))
    }
    n = split(levels, names, " ")
    for (i = 1; i <= n; i++)
        rank[names[i]] = i
    n = split(public, lines, "\n")
    for (i = 1; i <= n; i++)
        if (split(lines[i], words, " ") == 2)
            publicLevel[words[1]] = words[2]
    broken = 0
}
{
    # grep -Hn: FILE:LINE:TEXT
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    line = rest; sub(/:.*/, "", line)
    target = rest; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
    if (target !~ /\//) {
        # Beside the including file, or made by the build (ui_*.h, *.moc): neither crosses a layer.
        next
    }
    layer = layerOf(file)
    if (layer == "") {
        printf "%s:%s: the folder has no layer in scripts/check-layers.sh\n", file, line
        broken++
        next
    }
    if (layer == "spreadsheet/" && levelOf(file) == "") {
        printf "%s:%s: the file belongs to no engine level (a public header no level lists?)\n", file, line
        broken++
        next
    }
    if (layer == "spreadsheet/" && index(target, "spreadsheet/") == 1 && levelOf(target) == "") {
        printf "%s:%s: \"%s\" belongs to no engine level\n", file, line, target
        broken++
        next
    }
    if (allowed(file, target, layer))
        next
    if (layer == "spreadsheet/")
        printf "%s:%s: \"%s\" is of the engine level %s, above %s\n", file, line, target, levelOf(target),
            levelOf(file)
    else
        printf "%s:%s: \"%s\": %s may not use %s\n", file, line, target, layer, dir(target)
    broken++
}
END {
    if (broken) {
        printf "%d include(s) cross the layers (rules: scripts/check-layers.sh)\n", broken
        exit 1
    }
}
' >&2
echo "Every include of ${#files[@]} C++ files keeps to the layers."
