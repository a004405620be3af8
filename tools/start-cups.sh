#!/usr/bin/env bash
# The PDF queue TapePDF for the print test, which names it for its own jobs; the
# system's default printer is never set. Nothing of the machine's printing is changed:
# a scheduler that runs is used as it is, and a TapePDF queue that exists is left so.
#
# Sourced (test.sh): `start_cups` starts the scheduler when it does not run and adds
# the queue when it is missing; `stop_cups` removes that queue and stops that scheduler
# again, and nothing else. Run by hand: sets the queue up and leaves it (lpadmin -x
# TapePDF removes it). Without CUPS or cups-pdf nothing happens and the print test skips.
# Needs (Debian 12): cups printer-driver-cups-pdf

tapecalc_cups_queue=TapePDF

scheduler_up() { lpstat -r 2>/dev/null | grep -q 'is running'; }

# Returns 1 when no queue is there to print to.
start_cups() {
    tapecalc_cups_pid="" tapecalc_cups_added=""
    PATH="$PATH:/usr/sbin:/sbin"
    if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1; then
        echo "start-cups: CUPS is not installed; print tests will skip" >&2
        return 1
    fi
    if ! scheduler_up; then
        # In the foreground of a background job, so its process is the one to stop.
        cupsd -f >/dev/null 2>&1 &
        tapecalc_cups_pid=$!
        local tries=0
        until scheduler_up; do
            tries=$((tries + 1))
            if [ "$tries" -gt 50 ] || ! kill -0 "$tapecalc_cups_pid" 2>/dev/null; then
                echo "start-cups: the scheduler does not answer; print tests will skip" >&2
                stop_cups
                return 1
            fi
            sleep 0.2
        done
    fi

    local queue=$tapecalc_cups_queue
    if ! lpstat -p "$queue" >/dev/null 2>&1; then
        local ppd="" candidate
        for candidate in lsb/usr/cups-pdf/CUPS-PDF_opt.ppd lsb/usr/cups-pdf/CUPS-PDF_noopt.ppd; do
            if lpinfo -m 2>/dev/null | grep -q "^$candidate "; then
                ppd=$candidate
                break
            fi
        done
        if [ -z "$ppd" ]; then
            echo "start-cups: no cups-pdf driver (printer-driver-cups-pdf); print tests will skip" >&2
            return 1
        fi
        lpadmin -p "$queue" -v cups-pdf:/ -E -m "$ppd" || return 1
        tapecalc_cups_added=$queue
    fi

    # cups-pdf writes to "Out" of its configuration, with ${HOME} the home of the job's
    # user; jobs of an unknown user go to AnonDirName.
    local conf=/etc/cups/cups-pdf.conf out anon
    out=$(sed -n 's/^Out[[:space:]]\{1,\}//p' "$conf" 2>/dev/null | tail -n 1)
    anon=$(sed -n 's/^AnonDirName[[:space:]]\{1,\}//p' "$conf" 2>/dev/null | tail -n 1)
    # shellcheck disable=SC2016 # cups-pdf's own placeholder, filled in below
    [ -n "$out" ] || out='/var/spool/cups-pdf/${USER}'
    out=$(printf '%s' "$out" | sed "s|\${HOME}|$HOME|; s|\${USER}|$(id -un)|")
    # cups-pdf makes that folder at the first job (~/PDF on Debian): one it makes for
    # these runs goes again with the queue, when they left it empty.
    tapecalc_cups_out_made=""
    [ -e "$out" ] || tapecalc_cups_out_made=$out
    echo "start-cups: queue $queue${tapecalc_cups_added:+ (added)}${tapecalc_cups_pid:+, scheduler started}; PDFs of $(id -un)'s jobs land in $out, anonymous jobs in ${anon:-/var/spool/cups-pdf/ANONYMOUS}" >&2
}

# Undoes what start_cups did in this shell. Safe to call twice.
stop_cups() {
    if [ -n "${tapecalc_cups_added:-}" ]; then
        cancel -a -x "$tapecalc_cups_added" 2>/dev/null || true # its job history too
        lpadmin -x "$tapecalc_cups_added" || true
        tapecalc_cups_added=""
    fi
    if [ -n "${tapecalc_cups_pid:-}" ]; then
        kill "$tapecalc_cups_pid" 2>/dev/null || true
        wait "$tapecalc_cups_pid" 2>/dev/null || true
        tapecalc_cups_pid=""
    fi
    if [ -n "${tapecalc_cups_out_made:-}" ]; then
        rmdir "$tapecalc_cups_out_made" 2>/dev/null || true
        tapecalc_cups_out_made=""
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    start_cups || exit 0
    # A scheduler started here would end with this script: let it run instead.
    [ -z "$tapecalc_cups_pid" ] || disown "$tapecalc_cups_pid"
    [ -z "$tapecalc_cups_added" ] ||
        echo "start-cups: remove the queue with: lpadmin -x $tapecalc_cups_queue" >&2
fi
