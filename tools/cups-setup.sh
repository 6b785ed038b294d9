#!/usr/bin/env bash
# Gives this machine real printers for the print tests: a running CUPS
# scheduler and two cups-pdf queues that write every job as a PDF file.
#   BrevaltoPDF     the default printer, Letter paper
#   BrevaltoPDF-A5  a second printer with smaller paper (A5)
# The PDFs land in /var/spool/cups-pdf/<user name of the job>, one file per
# job named after its title with "-job_<id>" appended, so jobs with the same
# title never overwrite each other. Safe to run again; runs as root, or
# through sudo otherwise. Works without systemd (containers): cupsd is
# started directly.
set -euo pipefail

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

packages=(cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils)
"$(dirname "$0")/install-packages.sh" "${packages[@]}"

out_root=/var/spool/cups-pdf
conf=/etc/cups/cups-pdf.conf

# One setting of cups-pdf.conf: replace the active line, or add one.
set_conf() {
  local key=$1 value=$2
  if $sudo grep -q "^${key}[[:space:]]" "$conf"; then
    $sudo sed -i "s|^${key}[[:space:]].*|${key} ${value}|" "$conf"
  else
    echo "${key} ${value}" | $sudo tee -a "$conf" >/dev/null
  fi
}
# ${USER} is expanded by cups-pdf to the job's user name.
set_conf Out "${out_root}/\${USER}"
set_conf Label 2
# The title given with the job names the file, not one found in the document.
set_conf TitlePref 1
$sudo mkdir -p "$out_root"

scheduler_running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

if ! scheduler_running; then
  # Debian's cupsd forks into the background by itself when started without -f.
  $sudo /usr/sbin/cupsd
  for _ in $(seq 1 100); do
    scheduler_running && break
    sleep 0.1
  done
  if ! scheduler_running; then
    echo "cups-setup: the CUPS scheduler did not start" >&2
    exit 1
  fi
fi

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -f "$ppd" ] || ppd=$(find /usr/share/ppd/cups-pdf -name 'CUPS-PDF*.ppd' | head -n 1)
if [ -z "$ppd" ] || [ ! -f "$ppd" ]; then
  echo "cups-setup: no cups-pdf PPD found under /usr/share/ppd/cups-pdf" >&2
  exit 1
fi

# lpadmin on an existing queue just updates it.
add_queue() {
  local name=$1 paper=$2
  $sudo lpadmin -p "$name" -E -v cups-pdf:/ -P "$ppd" -o PageSize="$paper" -o printer-error-policy=abort-job
  $sudo cupsenable "$name"
  $sudo cupsaccept "$name"
}
add_queue BrevaltoPDF Letter
add_queue BrevaltoPDF-A5 A5
$sudo lpadmin -d BrevaltoPDF
lpoptions -d BrevaltoPDF >/dev/null

echo "CUPS is running; default printer: $(lpstat -d | sed 's/.*: //')"
echo "PDFs of print jobs land in ${out_root}/<user name>, e.g. ${out_root}/$(id -un)"
