# Shared by the whole-process comparisons (sourced, not run).

# Sets bin and work, absolute, from BIN_DIR and WORK_DIR (created if missing).
take_folders() {
  bin=$(cd "$1" && pwd)
  mkdir -p "$2"
  work=$(cd "$2" && pwd)
}

# The median, min and max of the second field of the lines of $results that begin with "$1 ".
median() { grep "^$1 " "$results" | awk '{print $2}' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)], a[1], a[NR]}'; }
