# Shared by the scripts: named steps whose output is shown when they fail, and a
# one-line summary at the end. Source it; set `script` to the script's name first.

# Runs a command whose output is only noise when it works (configure, locale-gen,
# wineboot). Its output goes to a log; when the command fails the log is printed.
quiet_step() {  # description command...
    local what=$1; shift
    local log
    log=$(mktemp "${TMPDIR:-/tmp}/${script:-step}.XXXXXX.log")
    local rc=0
    "$@" >"$log" 2>&1 || rc=$?
    if [ $rc -eq 0 ]; then
        rm -f "$log"
        return 0
    fi
    echo "${script:-step}: $what failed (status $rc); its output:" >&2
    sed 's/^/    /' "$log" >&2
    rm -f "$log"
    return $rc
}

# Ends the script: a one-line summary of what failed, or of success.
finish() {  # failure descriptions...
    if [ $# -ne 0 ]; then
        local IFS=';'
        echo "${script:-script}: FAILED: $*" >&2
        exit 1
    fi
    echo "${script:-script}: all steps passed" >&2
    exit 0
}
