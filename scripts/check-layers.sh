#!/usr/bin/env bash
# Checks that every project include points down the layers (docs/architecture.md), that
# the chart's computing code stays free of Qt and that only tests set the file's step hook.
# Prints each include that breaks a rule and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

# The folders a folder may include from, itself first.
declare -A may_use=(
    [core]="core"
    [platform]="platform"
    [file]="file"
    [canvas]="canvas"
    [chart]="chart canvas platform"
    [widgets]="widgets core platform"
    [editor]="editor chart canvas widgets core platform file"
    [app]="app editor chart canvas widgets core platform file"
    [tools]="tools editor chart canvas widgets core platform file"
)

# The drawing surface is a layer of its own inside chart/: the folder chart/canvas/.
layer_of() {
    case $1 in
    chart/canvas/*) echo canvas ;;
    *) echo "${1%%/*}" ;;
    esac
}

# Where the chart meets Qt: the painter-backed surface (chart/canvas/ but the abstract surface
# that the chart's computing code draws through) and the widget shell.
qt_allowed='^chart/(canvas/[A-Za-z]+|Chart|ChartAccessible)\.(h|cpp)$'
qt_free='^chart/canvas/ChartCanvas\.(h|cpp)$'

status=0
for folder in "${!may_use[@]}"; do
    [ "$folder" = canvas ] && continue
    [ -d "$folder" ] || continue
    while IFS= read -r file; do
        from=$(layer_of "$file")
        while IFS= read -r target; do
            to=$(layer_of "$target")
            if [[ " ${may_use[$from]} " != *" $to "* ]]; then
                echo "$file includes $target: $from may not use $to"
                status=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
        if [ "$from" = chart ] || [ "$from" = canvas ]; then
            if [[ ! $file =~ $qt_allowed || $file =~ $qt_free ]] &&
                grep -q '^#include <Q' "$file"; then
                echo "$file includes Qt: the chart's computing code stays free of it"
                status=1
            fi
        fi
    done < <(find "$folder" -name '*.h' -o -name '*.cpp' | sort)
done

# The hook that lets tests act between two steps of a file's read or write is theirs alone:
# outside tests/, only the file that keeps it includes its header.
step_hook=file/FileStepHook.h
while IFS= read -r file; do
    if [ "$file" != file/FileStep.cpp ]; then
        echo "$file includes $step_hook: only the tests may set the file's step hook"
        status=1
    fi
done < <(grep -rlF --include='*.h' --include='*.cpp' "#include \"$step_hook\"" \
    app bench chart core editor file fuzz platform tools widgets 2>/dev/null | sort)
exit $status
