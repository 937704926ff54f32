#!/bin/sh
# Prepares a real print queue for the end-to-end printing test: installs CUPS and the PDF
# backend when missing, starts cupsd when it is not running, and makes a queue "VistrelPDF" on
# the PDF backend the default printer. Its output lands in one fixed folder that the test reads
# (VISTREL_PRINT_OUT, default /var/spool/cups-pdf/vistrel). Run as root; safe to run again.
set -eu

queue=VistrelPDF
out=${VISTREL_PRINT_OUT:-/var/spool/cups-pdf/vistrel}

if ! command -v cupsd >/dev/null 2>&1 || [ ! -x /usr/lib/cups/backend/cups-pdf ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends cups cups-client cups-bsd printer-driver-cups-pdf
fi

# Every job, whoever sends it, is written into the same folder.
conf=/etc/cups/cups-pdf.conf
if [ -f "$conf" ]; then
    sed -i -e '/^[#[:space:]]*Out[[:space:]]/d' -e '/^[#[:space:]]*AnonDirName[[:space:]]/d' \
        -e '/^[#[:space:]]*Label[[:space:]]/d' "$conf"
    printf 'Out %s\nAnonDirName %s\nLabel 1\n' "$out" "$out" >>"$conf"
fi
mkdir -p "$out"
chmod 1777 "$out"

scheduler_up() { lpstat -r 2>/dev/null | grep -q 'is running'; }

if ! scheduler_up; then
    # No init system in containers: start the daemon itself, which forks into the background.
    mkdir -p /run/cups
    cupsd
    i=0
    until scheduler_up; do
        i=$((i + 1))
        [ "$i" -gt 50 ] && { echo "cupsd did not start" >&2; exit 1; }
        sleep 0.2
    done
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
    ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -n 1 || true)
    if [ -n "$ppd" ]; then
        lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd"
    else
        lpadmin -p "$queue" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
    fi
fi
cupsenable "$queue"
cupsaccept "$queue"
lpadmin -d "$queue"
lpoptions -d "$queue" >/dev/null
echo "default printer: $(lpstat -d)"
echo "output folder: $out"
