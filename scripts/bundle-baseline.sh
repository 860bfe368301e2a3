# Sourced by the bundle scripts: in_baseline SONAME is true when packaging/baseline-libraries.txt names
# the library (shell patterns allowed), i.e. when every supported desktop provides it.
baseline_file="${FOLIOPORT_BASELINE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/packaging/baseline-libraries.txt}"
mapfile -t baseline_patterns < <(sed -e 's/#.*//' "$baseline_file" | tr -s ' \t' '\n' | sed '/^$/d')
in_baseline() {
  local pattern
  for pattern in "${baseline_patterns[@]}"; do
    # shellcheck disable=SC2053  # the pattern is a glob on purpose
    [[ $1 == $pattern ]] && return 0
  done
  return 1
}
