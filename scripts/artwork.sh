# Sourced by the scripts that draw the checked-in artwork (make-title-bitmap.sh,
# make-icon.sh): their common arguments, little-endian fields, and the --check that
# compares a fresh drawing with the checked-in file.
#   artwork_args CHECKED_IN "$@"   sets out (where to write) and check (non-empty: --check)
#   artwork_done CHECKED_IN        after writing $out: compare it (--check) or report it

le16() { printf '\\x%02x\\x%02x' $(( $1 & 255 )) $(( $1 >> 8 & 255 )); }
le32() { printf '%s%s' "$(le16 $(( $1 & 65535 )))" "$(le16 $(( $1 >> 16 & 65535 )))"; }

artwork_args() {
  local checked_in=$1
  check=
  out=$checked_in
  case "${2:-}" in
    --check) check=1; out=$(mktemp) ;;
    "") ;;
    *) out=$2 ;;
  esac
}

artwork_done() {
  local checked_in=$1
  if [ -n "$check" ]; then
    local status=0
    cmp -s "$out" "$checked_in" ||
      { echo "${checked_in#"$root"/} differs from a fresh drawing" >&2; status=1; }
    rm -f "$out"
    exit $status
  fi
  echo "wrote $out"
}
