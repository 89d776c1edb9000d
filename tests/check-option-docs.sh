#!/bin/sh
# Every option key the module matches is documented in docs/configuration.md.
cd "$1" || exit 2
keys=$(grep -rhoE '"/?[A-Za-z-]+(/[A-Za-z]+)*/(value|ref)"' src/module --include='*.cpp' --include='*.h' | tr -d '"' | sort -u)
missing=""
for key in $keys; do
  grep -qF -- "$key" docs/configuration.md || missing="$missing $key"
done
if [ -n "$missing" ]; then
  echo "option keys missing from docs/configuration.md:$missing"
  exit 1
fi
echo "every option key is documented ($(echo "$keys" | wc -l) keys)"
