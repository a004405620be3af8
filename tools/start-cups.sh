#!/bin/sh
# Starts CUPS with the PDF queue TapePDF as the default printer, for the print test.
# Safe to run again; exits 0 without CUPS, and the print test then skips.
set -u
PATH="$PATH:/usr/sbin:/sbin"
queue=TapePDF

if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1; then
    echo "start-cups: CUPS is not installed; print tests will skip"
    exit 0
fi

if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    cupsd || { echo "start-cups: cupsd did not start"; exit 0; }
    tries=0
    until lpstat -r 2>/dev/null | grep -q 'is running'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 50 ]; then
            echo "start-cups: the scheduler does not answer"
            exit 0
        fi
        sleep 0.2
    done
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
    ppd=""
    for candidate in lsb/usr/cups-pdf/CUPS-PDF_opt.ppd lsb/usr/cups-pdf/CUPS-PDF_noopt.ppd; do
        if lpinfo -m 2>/dev/null | grep -q "^$candidate "; then
            ppd=$candidate
            break
        fi
    done
    if [ -z "$ppd" ]; then
        echo "start-cups: no cups-pdf driver (printer-driver-cups-pdf); print tests will skip"
        exit 0
    fi
    lpadmin -p "$queue" -v cups-pdf:/ -E -m "$ppd" || exit 0
fi
lpadmin -d "$queue"
cupsenable "$queue" 2>/dev/null
cupsaccept "$queue" 2>/dev/null

# cups-pdf writes to "Out" of its configuration, with ${HOME} the home of the job's
# user; jobs of an unknown user go to AnonDirName.
conf=/etc/cups/cups-pdf.conf
out=$(sed -n 's/^Out[[:space:]]\{1,\}//p' "$conf" 2>/dev/null | tail -n 1)
anon=$(sed -n 's/^AnonDirName[[:space:]]\{1,\}//p' "$conf" 2>/dev/null | tail -n 1)
echo "start-cups: default printer $(lpstat -d 2>/dev/null | sed 's/.*: //')"
[ -n "$out" ] || out='/var/spool/cups-pdf/${USER}'
home_out=$(printf '%s' "$out" | sed "s|\${HOME}|$HOME|; s|\${USER}|$(id -un)|")
echo "start-cups: PDFs of $(id -un)'s jobs land in $home_out, anonymous jobs in ${anon:-/var/spool/cups-pdf/ANONYMOUS}"
exit 0
