# Counting checks for the script tests. Source it, set CHECKS_NAME, call
# `check WHAT COMMAND...` for each check and `checks_done` at the end: it
# prints "NAME: N passed, N failed" and returns non-zero on any failure.
passed=0
failed=0

check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "$CHECKS_NAME: FAILED: $what"
  fi
}

checks_done() {
  echo "$CHECKS_NAME: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
