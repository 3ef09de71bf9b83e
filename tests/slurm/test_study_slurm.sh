#!/usr/bin/env bash
# A two-row study submitted as a Slurm job array to a private single-node cluster, waited for
# (bounded), and compared byte for byte with the same rows run here. The cluster is stopped
# however the test ends. Usage: test_study_slurm.sh VELMORA_CLI SLURM_LOCAL
set -u
cli=$1
slurm_local=$2
wait_limit=${VELMORA_SLURM_WAIT:-600}   # seconds the job array may take

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "the private cluster needs root (slurmd starts the jobs as their owner)"
for b in munged mungekey slurmctld slurmd sbatch squeue scontrol sinfo; do
    command -v "$b" >/dev/null 2>&1 || skip "$b is missing: scripts/install-deps installs munge and Slurm"
done

work=$(mktemp -d /tmp/velmora-slurm.XXXXXX)
cluster=$work/cluster
ok=0
finish() {
    "$slurm_local" stop "$cluster" >/dev/null 2>&1
    if [ "$ok" = 1 ]; then rm -rf "$work"; else echo "files kept in $work"; fi
}
trap finish EXIT

fail() {
    echo "FAIL: $*"
    for f in "$work"/slurm/s_slurm/*.out; do
        [ -f "$f" ] && { echo "----- $f"; tail -n 20 "$f"; }
    done
    for f in "$cluster"/log/slurmctld.log "$cluster"/log/slurmd.log; do
        [ -f "$f" ] && { echo "----- $f"; tail -n 20 "$f"; }
    done
    exit 1
}

mkdir -p "$cluster" "$work/slurm" "$work/here"
t0=$SECONDS
conf=$("$slurm_local" start "$cluster") || fail "the cluster did not start"
eval "$conf"
echo "cluster up after $((SECONDS - t0)) s"

# The study: two mass ratios, a few hundred particles, two orbits, with a recording.
cd "$work/slurm" || fail "no folder"
"$cli" study plan s.tsv --q 0.1,0.2 --particles 300 --orbits 2 --lc 1 --record 1 --frame-step 7 >/dev/null ||
    fail "study plan failed"
cp s.tsv "$work/here/s.tsv"
said=$("$cli" study slurm s.tsv --cpus 1 --max-parallel 2 --time 00:10:00 --submit) || fail "study slurm failed: $said"
echo "$said"
job=$(echo "$said" | sed -n 's/^Submitted job array \([0-9][0-9]*\).*/\1/p')
[ -n "$job" ] || fail "no job id in: $said"

# Wait for the array to leave the queue.
t1=$SECONDS
while [ -n "$(squeue -h -j "$job" 2>/dev/null)" ]; do
    [ $((SECONDS - t1)) -lt "$wait_limit" ] || fail "job $job still queued after $wait_limit s"
    sleep 1
done
echo "job array $job done after $((SECONDS - t1)) s"
states=$(scontrol show job "$job" | grep -o 'JobState=[A-Z_]*' | sort | uniq -c | tr -s ' ')
echo "states:$states"
case "$states" in *" 2 JobState=COMPLETED"*) ;; *) fail "the tasks did not both complete:$states" ;; esac
status=$("$cli" study status s.tsv)
echo "$status"
case "$status" in *"2 rows: 2 done"*) ;; *) fail "study status does not show both rows done" ;; esac

# The same rows here, by hand.
cd "$work/here" || fail "no folder"
for k in 1 2; do "$cli" study run s.tsv --task "$k" --quiet >/dev/null || fail "study run --task $k here failed"; done
for name in q0.10 q0.20; do
    for f in "${name}_lc.vlm" "${name}_rs.vlm" "${name}.vlm" analysis.json done; do
        [ -s "$work/slurm/$name/$f" ] || fail "$name/$f missing after the Slurm run"
    done
    for f in "${name}_lc.vlm" "${name}_rs.vlm" "${name}.vlm" analysis.json; do
        cmp "$work/slurm/$name/$f" "$work/here/$name/$f" || fail "$name/$f differs between Slurm and here"
    done
done
echo "both rows byte-identical to the rows run here; whole test $((SECONDS - t0)) s"
ok=1
