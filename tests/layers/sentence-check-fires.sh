#!/usr/bin/env bash
# Usage: tests/layers/sentence-check-fires.sh <check-layers.sh>
# Plants decisions on error sentences in a scratch tree and makes sure the layer check names each one, and none
# of the look-alikes: a kind compared, a JSON-RPC message searched, a sentence worded in its error's own file.
set -uo pipefail
check="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/ui" "$root/updater"
cat > "$root/ui/Planted.cpp" <<'CODE'
bool a = check.sentence.startsWith(QLatin1String("Connected"));
bool b = message == describe(ConfluenceError::http(401, {}));
bool c = store.errorMessage().value_or("").find("401") != std::string::npos;
bool d = reason == "locked";
bool e = describe(error).starts_with("Confluence returned HTTP 401");
bool f = "Connected" != sentence;
bool kind = reason == Unreadable::locked;
auto id = message.find("id");
CODE
cat > "$root/updater/PlantedError.cpp" <<'CODE'
std::string words = message.starts_with("[") ? message.substr(1) : message;
CODE
output="$(bash "$check" "$root")"
status=$?
expected="$(printf 'ui/Planted.cpp:%s\n' 1 2 3 4 5 6)"
reported="$(grep -oE '^[a-z]+/[A-Za-z]+\.cpp:[0-9]+' <<<"$output")"
if [ "$status" -ne 1 ] || [ "$reported" != "$expected" ]; then
  echo "expected the check to fail naming exactly:"; echo "$expected"; echo "it said (status $status):"; echo "$output"
  exit 1
fi
