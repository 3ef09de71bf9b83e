#!/bin/sh
# The filled disks of the orbit benchmark: restart files of real runs, made once and cached.
#
#   bench/make_disks.sh VELMORA_CLI [CACHE_DIR]
#
# CACHE_DIR (default build-bench/disks, outside git) receives disk5k_rs.vlm, disk10k_rs.vlm and
# disk25k_rs.vlm: q 0.15 and 16 orbits from an empty disk, each at the largest smoothing length
# the Disk Setup rules allow for its particle count (0.0339, 0.0278 and 0.0200), so that a
# particle has about as many neighbours in each. A disk already in the folder is kept; a run is
# made in a scratch folder and moved in only when complete. The 25000-particle disk takes about
# ten minutes with one thread.
set -eu
cli=${1:?usage: make_disks.sh VELMORA_CLI [CACHE_DIR]}
cache=${2:-build-bench/disks}
case $cli in /*) ;; *) cli=$(pwd)/$cli ;; esac
mkdir -p "$cache"

make_disk() {  # name particles h
  out=$cache/$1_rs.vlm
  [ -f "$out" ] && return 0
  work=$(mktemp -d "$cache/.make_$1.XXXXXX")
  echo "make_disks: $1 ($2 particles, h $3, 16 orbits) into $out"
  (cd "$work" && "$cli" run --q 0.15 --h "$3" --particles "$2" --orbits 16 --restart-every 16 \
     --name "$1" --quiet > run.log) || { cat "$work/run.log" >&2; rm -rf "$work"; exit 1; }
  mv "$work/$1_rs.vlm" "$out"
  rm -rf "$work"
}

make_disk disk5k 5000 0.0339
make_disk disk10k 10000 0.0278
make_disk disk25k 25000 0.0200
