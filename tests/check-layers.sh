#!/bin/sh
# Includes run one way. Inside the module: os < diagnostics < appenders, buffering, file, rolling, network < factory;
# a folder includes its own headers and those of lower folders, never a higher one. The framework and
# utility stand-ins include nothing of the module.
cd "$1" || exit 2

rank() {
  case "$1" in
    os) echo 0 ;;
    diagnostics) echo 1 ;;
    appenders|buffering|file|rolling|network) echo 2 ;;
    factory) echo 3 ;;
    *) echo "" ;;
  esac
}

# The file an include names: beside the includer first, then from src/module, then from src.
resolve() {
  for candidate in "$(dirname "$1")/$2" "src/module/$2" "src/$2"; do
    if [ -f "$candidate" ]; then
      realpath --relative-to=. "$candidate"
      return
    fi
  done
}

status=0
for file in $(find src -name '*.cpp' -o -name '*.h' | sort); do
  from=$(echo "$file" | cut -d/ -f2)
  [ "$from" = module ] && from=$(echo "$file" | cut -d/ -f3)
  for name in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
    target=$(resolve "$file" "$name")
    [ -n "$target" ] || continue
    case "$target" in
      src/module/*) to=$(echo "$target" | cut -d/ -f3) ;;
      *) to=$(echo "$target" | cut -d/ -f2) ;;
    esac
    [ "$to" = "$from" ] && continue
    case "$from" in
      host|utility)
        case "$target" in
          src/module/*) echo "$file includes $target: the stand-ins include nothing of the module"; status=1 ;;
        esac
        continue ;;
    esac
    from_rank=$(rank "$from")
    to_rank=$(rank "$to")
    if [ -n "$from_rank" ] && [ -n "$to_rank" ] && [ "$to_rank" -gt "$from_rank" ]; then
      echo "$file includes $target: $from may not include $to"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "layers: every include runs downwards"
exit $status
