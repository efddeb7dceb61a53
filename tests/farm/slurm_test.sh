#!/usr/bin/env bash
# The README's Slurm job array as it stands, on a one-node Slurm of the test's own (munge,
# slurmctld, slurmd in the foreground; configuration, state and logs in a temporary folder;
# loopback ports), over four shots: a whole one, one with a missing frame, one whose movie
# exists, and a long one cancelled while it runs, then requeued. Skipped, saying why, where the
# daemons cannot start. Usage: slurm_test.sh PROGRAM REPOSITORY
program=$(realpath "$1") repo=$(realpath "$2") work=$(mktemp -d) daemons=()
# Whether every daemon runs (one that ended is a zombie until it is waited for).
alive() {
  local pid
  for pid in "${daemons[@]}"; do
    [[ "$(cat /proc/"$pid"/stat 2>/dev/null)" =~ ^[0-9]+\ \(.*\)\ [^Z] ]] || return 1
  done
}
no_jobs() { [ -z "$(squeue -h 2>/dev/null)" ]; }
stop() {
  # No task may outlive the test: slurmstepd would go on without slurmd.
  if [ ${#daemons[@]} -gt 0 ] && alive; then
    scancel --quiet --user=root || true
    wait_for 15 no_jobs || echo "tasks still running at the end" >&2
  fi
  [ ${#daemons[@]} = 0 ] || kill "${daemons[@]}" 2>/dev/null || true
  wait
  rm -rf "$work"
}
trap stop EXIT
cd "$work" && source "$repo/tests/farm/lib.sh"
for tool in munged slurmctld slurmd sbatch ffprobe; do
  command -v $tool >/dev/null || skip "$tool is missing (scripts/install-deps.sh --test)"
done
[ "$(id -u)" = 0 ] || skip "slurmd runs its tasks as their users, which takes root"

ports=()
while [ ${#ports[@]} -lt 2 ]; do
  port=$((20000 + RANDOM % 20000))
  ss -Htln "sport = :$port" | grep -q . || ports+=("$port")
done
mkdir -p slurm/state slurm/spool slurm/munge && chmod 700 slurm/munge
head -c 1024 /dev/urandom >slurm/munge/key && chmod 600 slurm/munge/key
export SLURM_CONF=$work/slurm/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=tga2avitest
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=${ports[0]}
SlurmdPort=${ports[1]}
CommunicationParameters=NoInAddrAny,NoCtldInAddrAny
AuthInfo=socket=$work/slurm/munge/socket,cred_expire=5
SlurmUser=root
StateSaveLocation=$work/slurm/state
SlurmdSpoolDir=$work/slurm/spool
SlurmctldPidFile=$work/slurm/slurmctld.pid
SlurmdPidFile=$work/slurm/slurmd.pid
ProctrackType=proctrack/linuxproc
SchedulerParameters=sched_interval=1
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
NodeName=$(hostname -s) NodeAddr=127.0.0.1 CPUs=8 RealMemory=4000
PartitionName=test Nodes=ALL Default=YES State=UP
CONF
munged -F --force -S "$work/slurm/munge/socket" --key-file=slurm/munge/key \
  --pid-file=slurm/munge/pid --seed-file=slurm/munge/seed >slurm/munged.log 2>&1 &
daemons+=($!)
slurmctld -D -i >slurm/slurmctld.log 2>&1 &
daemons+=($!)
slurmd -D >slurm/slurmd.log 2>&1 &
daemons+=($!)
up() {
  alive || skip "the daemons did not start: $(tail -n 3 slurm/*.log)"
  [ "$(sinfo -h -o %T 2>/dev/null)" = idle ]
}
wait_for 30 up || skip "the node did not come up: $(tail -n 3 slurm/*.log)"

for shot in sh010 sh020 sh030; do make_shot $shot 4 64x48; done
rm renders/sh020/sh020.1002.tga
echo "an older movie" >renders/sh030/sh030.avi
make_shot sh040 150 640x360 same
readme_block tests/farm/slurm_test.sh 1 >movies.sbatch
readme_block tests/farm/slurm_test.sh 2 >submit.sh
job=$(bash submit.sh | sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p')
[ -n "$job" ] || fail "sbatch took no job"
wait_for 30 test -s renders/sh040/sh040.avi || fail "sh040 did not start: $(cat logs/*.log)"
scancel "${job}_4"
wait_for 30 no_jobs || fail "the array did not end: $(squeue)"

# Slurm's record of task $1 while the controller keeps it: "ExitCode=130:0 JobState=CANCELLED".
record() { scontrol -o show job "${job}_$1" | grep -o 'ExitCode=[0-9:]*\|JobState=[A-Z]*' | sort | xargs; }
for task in 1:0:COMPLETED 2:1:FAILED 3:0:COMPLETED 4:130:CANCELLED; do
  IFS=: read -r n status state <<<"$task"
  [ "$(record "$n")" = "ExitCode=$status:0 JobState=$state" ] ||
    fail "task $n: $(record "$n"), not $status $state: $(cat "logs/${job}_$n.log")"
  check_shot "logs/${job}_$n.json" "$status"
done
grep -qx "tga2avi: sh020.avi: Error on opening renders/sh020/sh020.1002.tga" "logs/${job}_2.log" ||
  fail "task 2's log: $(cat "logs/${job}_2.log")"
echo "cancelled: $(grep -h frames "logs/${job}_4.log")"

# Requeued, the long shot runs from the start again and writes over what it left.
scontrol requeue "${job}_4"
completed() { [ "$(record 4)" = "ExitCode=0:0 JobState=COMPLETED" ]; }
wait_for 40 completed || fail "the requeued task: $(record 4) $(cat "logs/${job}_4.log")"
check_shot "logs/${job}_4.json" 0 150
echo "requeued: $(grep -h frames "logs/${job}_4.log")"
