#!/bin/sh
# Prepares a CUPS queue VORLAN_PDF that writes every job as a PDF file, for
# the printing integration tests, and one more such queue for every name
# given as an argument (each enabled and accepting jobs). Run as root;
# running it again changes nothing else. Prints the folder the PDFs land in
# on its last line.
# Exit codes: 0 ready, 2 not root, 3 CUPS or cups-pdf missing, 4 cupsd
# would not start, 5 the queue could not be added.
set -u
OUT="${VORLAN_CUPS_PDF_OUT:-/var/spool/cups-pdf/VORLAN}"
QUEUE=VORLAN_PDF
CONF=/etc/cups/cups-pdf.conf
PATH="$PATH:/usr/sbin:/sbin"

if [ "$(id -u)" != 0 ]; then
    echo "cups-setup: must run as root" >&2
    exit 2
fi
CUPSD=$(command -v cupsd || true)
if [ -z "$CUPSD" ] || ! command -v lpadmin >/dev/null || ! command -v lpstat >/dev/null \
   || [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f "$CONF" ]; then
    echo "cups-setup: cups, cups-client, cups-bsd or printer-driver-cups-pdf not installed" >&2
    exit 3
fi

# cups-pdf writes into one known folder, whoever printed.
mkdir -p "$OUT" && chmod 1777 "$OUT"
for key in Out AnonDirName; do
    if grep -q "^$key " "$CONF"; then
        sed -i "s|^$key .*|$key $OUT|" "$CONF"
    else
        printf '%s %s\n' "$key" "$OUT" >> "$CONF"
    fi
done

running() { lpstat -r 2>/dev/null | grep -q "is running"; }
if ! running; then
    mkdir -p /run/cups /var/spool/cups /var/log/cups
    "$CUPSD" >/dev/null 2>&1 || true
    i=0
    while ! running && [ $i -lt 100 ]; do
        sleep 0.2
        i=$((i + 1))
    done
    if ! running; then
        echo "cups-setup: cupsd did not start" >&2
        exit 4
    fi
fi

add_queue() {
    if ! lpstat -p "$1" >/dev/null 2>&1; then
        PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
        if [ -f "$PPD" ]; then
            lpadmin -p "$1" -E -v cups-pdf:/ -P "$PPD"
        else
            MODEL=$(lpinfo -m 2>/dev/null | grep -i 'cups-pdf' | head -n1 | cut -d' ' -f1)
            [ -n "$MODEL" ] && lpadmin -p "$1" -E -v cups-pdf:/ -m "$MODEL"
        fi
        if ! lpstat -p "$1" >/dev/null 2>&1; then
            echo "cups-setup: could not add the queue $1" >&2
            exit 5
        fi
    fi
    cupsenable "$1" 2>/dev/null || true
    cupsaccept "$1" 2>/dev/null || true
}
for q in "$QUEUE" "$@"; do
    add_queue "$q"
done
echo "$OUT"
