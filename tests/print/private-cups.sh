#!/bin/sh
# A print scheduler of the tests' own, in a folder of its own: its configuration, spool, state,
# logs, a unix socket and a backend that writes every job it is given into DIR/out as the PDF
# the print system hands over. Nothing of the system's printers, settings or files is touched;
# the system's filters and MIME tables are only read.
#
#   private-cups.sh start DIR    makes DIR (if needed) and starts the scheduler on DIR/cups.sock
#   private-cups.sh stop DIR     stops it (the folder stays; its caller removes it)
#   private-cups.sh queue DIR NAME PAPER   adds an enabled, accepting queue whose default paper
#                                is PAPER (Letter or A4); its jobs land in DIR/out/NAME
#   private-cups.sh driverqueue DIR NAME PAGESIZE   the same with the printer description of a
#                                real PDF printer driver (printer-driver-cups-pdf), a PostScript
#                                printer: its default page size set to PAGESIZE (lpadmin -o
#                                PageSize=), "driver" for the description's own default, or
#                                "none" for a description that has no default
#
# PostScript that a queue produces is turned into PDF by the backend (Ghostscript), as that
# driver does.
# Clients reach it with CUPS_SERVER=DIR/cups.sock (and CUPS_SERVERROOT=DIR/etc, so that no
# client setting of the system applies).
set -eu

command=${1:?usage: private-cups.sh start|stop|queue DIR ...}
dir=${2:?usage: private-cups.sh start|stop|queue DIR ...}

socket=$dir/cups.sock
export CUPS_SERVER=$socket CUPS_SERVERROOT=$dir/etc

running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

start() {
    cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
    [ -x "$cupsd" ] || { echo "cupsd is not installed (Debian package cups-daemon)" >&2; exit 1; }
    mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/state" "$dir/cache" "$dir/log" "$dir/out" \
        "$dir/bin/backend"
    # Filters run as an unprivileged user when the scheduler runs as root: they must reach the
    # spool and the backend must write the output.
    chmod 755 "$dir" "$dir/bin" "$dir/bin/backend"
    chmod 1777 "$dir/out"
    for part in filter daemon cgi-bin monitor notifier driver; do
        [ -e "/usr/lib/cups/$part" ] && ln -sfn "/usr/lib/cups/$part" "$dir/bin/$part"
    done

    cat >"$dir/bin/backend/vistrelpdf" <<'EOF'
#!/bin/sh
# Writes the job's document into the folder named by the device address vistrelpdf:/FOLDER.
if [ $# -eq 0 ]; then
    echo 'file vistrelpdf:/ "Vistrel test PDF" "Vistrel test PDF"'
    exit 0
fi
out=${DEVICE_URI#vistrelpdf:}
part="$out/.job-$1.part"
if [ $# -ge 6 ]; then cat "$6" >"$part"; else cat >"$part"; fi || exit 1
if [ "$(head -c 4 "$part")" = "%!PS" ]; then
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$part.pdf" "$part" || exit 1
    mv "$part.pdf" "$part"
fi
mv "$part" "$out/job-$1.pdf"
EOF
    chmod 755 "$dir/bin/backend/vistrelpdf"

    user=$(id -un)
    group=$(id -gn)
    if [ "$(id -u)" = 0 ]; then
        user=lp
        group=lp
    fi
    cat >"$dir/etc/cups-files.conf" <<EOF
ServerRoot $dir/etc
ServerBin $dir/bin
RequestRoot $dir/spool
TempDir $dir/spool/tmp
StateDir $dir/state
CacheDir $dir/cache
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
FileDevice No
User $user
Group $group
SystemGroup $(id -gn)
EOF
    cat >"$dir/etc/cupsd.conf" <<EOF
LogLevel warn
Listen $socket
Browsing No
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    : >"$dir/etc/client.conf"

    "$cupsd" -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
        >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    i=0
    until running; do
        i=$((i + 1))
        if [ "$i" -gt 100 ] || ! kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null; then
            echo "the private cupsd did not start:" >&2
            cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
            exit 1
        fi
        sleep 0.1
    done
    echo "CUPS_SERVER=$socket"
}

stop() {
    [ -f "$dir/cupsd.pid" ] || return 0
    pid=$(cat "$dir/cupsd.pid")
    rm -f "$dir/cupsd.pid"
    kill "$pid" 2>/dev/null || return 0
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        [ "$i" -gt 100 ] && { kill -9 "$pid" 2>/dev/null || true; break; }
        sleep 0.05
    done
}

queue() {
    name=${3:?queue NAME}
    paper=${4:?queue PAPER}
    ppd="$dir/etc/vistrel-$paper.ppd"
    [ -f "$ppd" ] || write_ppd "$paper" >"$ppd"
    mkdir -p "$dir/out/$name"
    chmod 1777 "$dir/out/$name"
    lpadmin -p "$name" -E -v "vistrelpdf:$dir/out/$name" -P "$ppd" 2>/dev/null
    cupsenable "$name"
    cupsaccept "$name"
}

driverqueue() {
    name=${3:?driverqueue NAME}
    size=${4:?driverqueue PAGESIZE}
    driver=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    [ -f "$driver" ] || { echo "$driver is missing (Debian package printer-driver-cups-pdf)" >&2; exit 1; }
    ppd=$driver
    set --
    case $size in
    driver) ;;
    none)
        ppd="$dir/etc/vistrel-nodefault.ppd"
        grep -v -E '^\*Default(PageSize|PageRegion|ImageableArea|PaperDimension):' "$driver" >"$ppd"
        ;;
    *) set -- -o "PageSize=$size" ;;
    esac
    mkdir -p "$dir/out/$name"
    chmod 1777 "$dir/out/$name"
    lpadmin -p "$name" -E -v "vistrelpdf:$dir/out/$name" -P "$ppd" "$@" 2>/dev/null
    cupsenable "$name"
    cupsaccept "$name"
}

# A PostScript printer description that takes PDF as it comes and knows two sheets, without
# unprintable borders.
write_ppd() {
    cat <<EOF
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VISTREL.PPD"
*Manufacturer: "Vistrel"
*Product: "(Vistrel test PDF)"
*ModelName: "Vistrel test PDF"
*ShortNickName: "Vistrel test PDF"
*NickName: "Vistrel test PDF, $1"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: $1
*PageSize Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: $1
*PageRegion Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: $1
*ImageableArea Letter/US Letter: "0 0 612 792"
*ImageableArea A4/A4: "0 0 595 842"
*DefaultPaperDimension: $1
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension A4/A4: "595 842"
EOF
}

case $command in
start) start ;;
stop) stop ;;
queue) queue "$@" ;;
driverqueue) driverqueue "$@" ;;
*)
    echo "usage: private-cups.sh start|stop|queue|driverqueue DIR ..." >&2
    exit 2
    ;;
esac
