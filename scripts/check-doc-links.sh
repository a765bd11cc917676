#!/usr/bin/env bash
# Checks that the documentation's references lead somewhere: in every *.md of the checkout, each
# relative link or picture ([text](path), ![text](path), with an optional #heading) names a file
# that exists, and its heading when it names one; and each file of the checkout named in
# backquotes (`docs/site.md`, `scripts/build.sh`) exists. Prints each broken reference with its
# file and line; exit code 1 when there is one. Usage: scripts/check-doc-links.sh [ROOT]
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root" || exit 2

# A heading's anchor as the usual Markdown renderers make it: lower case, punctuation dropped,
# blanks as hyphens.
slug() {
  printf '%s' "$1" | tr '[:upper:]' '[:lower:]' | sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}

anchors_of() {
  grep -E '^#{1,6} ' "$1" | sed -E 's/^#+ +//; s/ +#*$//' | while IFS= read -r h; do slug "$h"; echo; done
}

# Folders whose files the documents name in backquotes.
tops='(docs|bench|scripts|tools|tests|packaging|cmake|fuzz|sim|qt|cli|src|win32|\.ci)'

broken=0
report() {
  echo "$1: $2" >&2
  broken=1
}

while IFS= read -r md; do
  dir=$(dirname "$md")
  # Links and pictures.
  while IFS=: read -r n target; do
    [ -n "$target" ] || continue
    target=${target#*](}
    target=${target%)}
    target=${target%% *}  # a title after the path
    case "$target" in
      http://* | https://* | mailto:*) continue ;;
    esac
    path=${target%%#*}
    anchor=
    [[ "$target" == *"#"* ]] && anchor=${target#*#}
    file=$md
    if [ -n "$path" ]; then
      file=$path
      [ "$dir" = . ] || file="$dir/$path"
      if [ ! -e "$file" ]; then
        report "$md:$n" "no file $path"
        continue
      fi
    fi
    if [ -n "$anchor" ] && [[ "$file" == *.md ]] && ! grep -qxF -- "$anchor" <(anchors_of "$file"); then
      report "$md:$n" "no heading #$anchor in $file"
    fi
  done < <(grep -noE '\]\([^) ]+( "[^"]*")?\)' "$md")
  # Files of the checkout in backquotes: a name with a wildcard, a placeholder or a blank is a
  # pattern, not a file.
  while IFS=: read -r n quoted; do
    [ -n "$quoted" ] || continue
    path=${quoted//\`/}
    case "$path" in
      *'*'* | *'<'* | *' '* | *'...'* | *'{'* | *'$'* | *','*) continue ;;
    esac
    [ -e "$path" ] || report "$md:$n" "no file $path"
  done < <(grep -noE "\`$tops/[^\`]*\`" "$md")
done < <(find . -name '*.md' -not -path './build*' -not -path './.git/*' | sed 's|^\./||' | sort)

exit $broken
