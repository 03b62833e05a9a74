#!/bin/bash
# Times zvword against a peer tool on the same files with hyperfine and prints the ratio
# zvword / peer of the mean times (at most 1.0 means zvword is as fast or faster).
#
#   bench/side-by-side.sh [-z ZVWORD] [-r RUNS] 'PEER COMMAND {}' 'ZVWORD ARGS {}' FILE...
#
# {} stands for the file; hyperfine discards what the commands print. Example:
#   bench/side-by-side.sh 'txt2pdbdoc -d {} /dev/stdout' '-r pdb {}' book.pdb
#
#   bench/side-by-side.sh --all [-z ZVWORD] [-c CORPUS_DIR] [-l LARGE_DIR] [-r RUNS] [-f FORMATS]
#
# runs every reader against its fastest peer over a corpus and large documents (bench/make-large.sh
# makes a set) and prints CPU-time ratios; see bench/side_by_side.py.
set -euo pipefail
if [ "${1:-}" = --all ]; then
  shift
  exec python3 "$(dirname "$0")/side_by_side.py" "$@"
fi
zvword=${ZVWORD:-build-bench/zvword}
runs=10
while getopts "z:r:" opt; do
  case $opt in
    z) zvword=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || { sed -n '2,14p' "$0"; exit 2; }
peer=$1
ours=$2
shift 2
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 2; }
[ -x "$zvword" ] || { echo "no zvword binary at $zvword (make bench builds build-bench/zvword)" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '%-40s %12s %12s %8s\n' file "peer s" "zvword s" ratio
for f in "$@"; do
  p=${peer//\{\}/\'$f\'}
  z="'$zvword' ${ours//\{\}/\'$f\'}"
  # Without a shell in between (-N) the times are the programs' own; hyperfine discards their output.
  hyperfine -N --warmup 2 --runs "$runs" --export-json "$tmp/r.json" "$p" "$z" >/dev/null
  python3 - "$tmp/r.json" "$f" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))['results']
peer, ours = r[0]['mean'], r[1]['mean']
print('%-40s %12.4f %12.4f %8.2f' % (sys.argv[2][-40:], peer, ours, ours / peer))
PY
done
