# Sourced by the set-up scripts. step NAME COMMAND...: runs one step quietly into
# $step_log; on failure prints "$step_who: NAME failed (exit code N):" and the end
# of the step's own output, then exits non-zero.
step() {
  local name=$1; shift
  local code=0
  "$@" >"$step_log" 2>&1 || code=$?
  [ "$code" = 0 ] && return 0
  echo "$step_who: $name failed (exit code $code):" >&2
  tail -n 25 "$step_log" >&2
  exit 1
}
