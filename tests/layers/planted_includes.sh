#!/usr/bin/env bash
# Plants one include at a time in a copy of the source tree and runs scripts/check-layers.sh on it: each
# include that crosses a layer must fail the check with the file and the line named, each that keeps to
# the layers must pass.
#   bash tests/layers/planted_includes.sh SOURCE_TREE
set -euo pipefail
source_tree=$(cd "$1" && pwd)
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT

# What the check reads: the C++ files, the engine's level order and the level folders' CMakeLists.txt.
(cd "$source_tree" && git ls-files -- '*.cpp' '*.h' cmake/QuillberryEngine.cmake 'spreadsheet/*/CMakeLists.txt' |
    while read -r f; do mkdir -p "$copy/$(dirname "$f")" && cp "$f" "$copy/$f"; done)
check() { bash "$source_tree/scripts/check-layers.sh" "$copy" 2>&1; }

failures=0
if ! out=$(check); then
    echo "FAIL: the unchanged copy does not pass: $out"
    failures=$((failures + 1))
fi

# file | included header | expected: pass, or fail
cases='
spreadsheet/model/workbook.cpp      | spreadsheet/renderer.h                      | fail
spreadsheet/biff/tokens.cpp         | spreadsheet/formula/parser.h                | fail
spreadsheet/workbook.h              | spreadsheet/format/number_format_internal.h | fail
spreadsheet/formula/functions/text.cpp | spreadsheet/render/text.h                | fail
spreadsheet/render/grid.h           | spreadsheet/formula/values.h                | pass
spreadsheet/pages/page_plan.h       | spreadsheet/renderer.h                      | pass
spreadsheet/io/workbook_reader.cpp  | spreadsheet/container/compound_file.h       | pass
spreadsheet/model/cell_ref.cpp      | shell/core/error_report.h                   | fail
spreadsheet/io/workbook_writer.cpp  | spreadsheet/unlisted.h                      | fail
preview/form2.cpp                   | spreadsheet/workbook.h                      | fail
preview/picture_commands.cpp        | generation/generated_statement.h            | pass
entry/form1.cpp                     | preview/form2.h                             | fail
entry/form1.cpp                     | shell/ui/skin.h                             | pass
generation/cell_map.cpp             | spreadsheet/render/grid.h                   | fail
generation/cell_map.cpp             | spreadsheet/renderer.h                      | pass
generation/cell_map.cpp             | shell/ui/skin.h                             | fail
generation/cell_map.cpp             | entry/form1.h                               | fail
shell/core/product.h                | shell/ui/skin.h                             | fail
shell/core/product.h                | generation/statement.h                      | fail
shell/ui/skin.cpp                   | shell/core/product.h                        | pass
resources/template_builder.cpp      | spreadsheet/biff/kept.h                     | fail
tests/preview/tst_form2.cpp         | spreadsheet/render/grid.h                   | pass
app/program.cpp                     | spreadsheet/workbook_reader.h               | pass
unknown/new.cpp                     | shell/core/product.h                        | fail
'
while IFS='|' read -r file header expected; do
    file=$(echo $file) header=$(echo $header) expected=$(echo $expected)
    [ -n "$file" ] || continue
    mkdir -p "$copy/$(dirname "$file")"
    touch "$copy/$file"
    cp "$copy/$file" "$copy/$file.kept"
    echo "#include \"$header\"" >>"$copy/$file"
    line=$(wc -l <"$copy/$file")
    if out=$(check); then result=pass; else result=fail; fi
    mv "$copy/$file.kept" "$copy/$file"
    [ -s "$copy/$file" ] || rm "$copy/$file"
    if [ "$result" != "$expected" ]; then
        echo "FAIL: $file including $header: expected $expected, got $result: $out"
        failures=$((failures + 1))
    elif [ "$expected" = fail ] && ! grep -q "^$file:$line: " <<<"$out"; then
        echo "FAIL: $file including $header: the report does not name $file:$line: $out"
        failures=$((failures + 1))
    fi
done <<<"$cases"
if ((failures)); then
    echo "$failures case(s) failed"
    exit 1
fi
echo "Every planted include was judged as the layers say."
