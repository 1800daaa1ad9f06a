#!/usr/bin/env bash
# Collects the host's own texts (marked tr(...) or N_(...) in host/) into a template and
# merges that into po/ru.po, so that a new text shows up there untranslated. With --check,
# changes nothing and fails when ru.po lacks a translation of any text the host marks.
set -euo pipefail
cd "$(dirname "$0")/.."
pot=$(mktemp --suffix=.pot)
trap 'rm -f "$pot"' EXIT
# The listing's rows name their labels through its line/point/length/angle helpers.
mapfile -t sources < <(find host/app host/input host/i18n host/view -name '*.cpp' | sort)
xgettext --from-code=UTF-8 --language=C++ --no-location --sort-output --package-name=arxhost \
    --keyword=tr --keyword=N_ --keyword=line:1 --keyword=point:1 --keyword=length:1 \
    --keyword=angle:1 -o "$pot" "${sources[@]}"
if [[ "${1:-}" == "--check" ]]; then
    # Every msgid of the sources must be in ru.po with a translation.
    missing=$(msgcmp --use-untranslated "po/ru.po" "$pot" 2>&1 || true)
    untranslated=$(msgattrib --untranslated --no-obsolete po/ru.po | grep -c '^msgid ' || true)
    if [[ -n "$missing" || "$untranslated" -gt 0 ]]; then
        echo "po/ru.po is not complete:"
        echo "$missing"
        msgattrib --untranslated --no-obsolete po/ru.po | grep '^msgid ' | grep -v '^msgid ""$' || true
        exit 1
    fi
    echo "po/ru.po translates every host text"
    exit 0
fi
msgmerge --quiet --update --backup=none --no-fuzzy-matching po/ru.po "$pot"
