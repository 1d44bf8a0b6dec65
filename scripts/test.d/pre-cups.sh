#!/usr/bin/env bash
# Starts the print system that the printing tests print through: CUPS with
# a PDF queue "OxilumePDF" (cups-pdf) as the default printer, writing its
# files to /var/spool/cups-pdf/<user>. Safe to run again while CUPS runs.
# The packages come from scripts/packages.txt; this stage installs nothing.
set -euo pipefail

QUEUE=OxilumePDF
OUT_BASE=/var/spool/cups-pdf
CONF=/etc/cups/cups-pdf.conf

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo -n"; else
    echo "pre-cups: needs root (or sudo without a password) to start CUPS" >&2
    exit 1
  fi
fi

for tool in cupsd lpadmin lpstat lpinfo cupsenable cupsaccept pdftotext; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] || {
    echo "pre-cups: $tool is missing (run scripts/install-deps.sh)" >&2
    exit 1
  }
done
[ -f "$CONF" ] || { echo "pre-cups: $CONF is missing (printer-driver-cups-pdf)" >&2; exit 1; }

# A fixed output folder per user instead of ${HOME}/PDF, so that a test finds
# the files whoever runs it (root's home differs between machines).
want="Out $OUT_BASE/\${USER}"
if ! grep -qxF "$want" "$CONF"; then
  $SUDO sed -i -e '/^[[:space:]]*Out[[:space:]]/d' "$CONF"
  echo "$want" | $SUDO tee -a "$CONF" >/dev/null
fi
$SUDO mkdir -p "$OUT_BASE"
$SUDO chmod 0755 "$OUT_BASE"

scheduler_up() { lpstat -r 2>/dev/null | grep -q "is running"; }

if ! scheduler_up; then
  # No init system in the container: run the daemon directly.
  $SUDO mkdir -p /run/cups /var/spool/cups /var/cache/cups /var/log/cups
  $SUDO /usr/sbin/cupsd
  for _ in $(seq 1 60); do
    scheduler_up && break
    sleep 0.5
  done
fi
if ! scheduler_up; then
  echo "pre-cups: the CUPS scheduler did not start" >&2
  $SUDO tail -n 30 /var/log/cups/error_log 2>/dev/null >&2 || true
  exit 1
fi

if ! lpstat -p "$QUEUE" >/dev/null 2>&1; then
  model=$(lpinfo -m 2>/dev/null | awk 'tolower($0) ~ /cups-pdf/ { print $1 }' | grep -i 'opt' | grep -vi noopt | head -n 1 || true)
  [ -n "$model" ] || model=$(lpinfo -m 2>/dev/null | awk 'tolower($0) ~ /cups-pdf/ { print $1; exit }' || true)
  if [ -n "$model" ]; then
    $SUDO lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m "$model"
  else
    ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null || true)
    [ -n "$ppd" ] || { echo "pre-cups: no cups-pdf printer model found" >&2; exit 1; }
    $SUDO lpadmin -p "$QUEUE" -E -v cups-pdf:/ -P "$ppd"
  fi
fi
# A4: the page footer stands 11.27 in below the printable area's top, which
# fits an A4 page (11.69 in) but not a Letter page (11 in).
$SUDO lpadmin -p "$QUEUE" -o PageSize=A4 -o media=A4
# The PDF the program submits goes to PostScript for cups-pdf and back. The
# default converter turns the fonts into Type 3 glyphs without their text;
# poppler's cairo converter keeps the embedded fonts and their text.
$SUDO lpadmin -p "$QUEUE" -o pdftops-renderer-default=pdftocairo
$SUDO lpadmin -d "$QUEUE"
$SUDO cupsenable "$QUEUE"
$SUDO cupsaccept "$QUEUE"

lpstat -d | grep -q "$QUEUE" || { echo "pre-cups: $QUEUE is not the default printer" >&2; exit 1; }
lpstat -p "$QUEUE" | grep -q "enabled" || { echo "pre-cups: $QUEUE is not enabled" >&2; exit 1; }
echo "pre-cups: CUPS is running; default printer $QUEUE writes to $OUT_BASE/<user>"
