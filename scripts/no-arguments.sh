# Sourced by the scripts that take no argument but --help:
#   source scripts/no-arguments.sh "$0" "$@"
# prints the calling script's opening comment for --help (and exits 0), and
# refuses anything else with exit status 2.
no_arguments_usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$1"; }
no_arguments_script=$1
shift
for arg in "$@"; do
  case "$arg" in
    -h|--help) no_arguments_usage "$no_arguments_script"; exit 0 ;;
    *) echo "$(basename "$no_arguments_script"): $arg is not an argument it takes (it takes none, or --help)" >&2
       exit 2 ;;
  esac
done
