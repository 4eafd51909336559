# Wine set-up shared by run-wine.sh and .ci/windows.sh; source it.
#
# vex_windows_tools: installs (as root, or through sudo) the mingw-w64 cross
# compilers, 64- and 32-bit Wine (the i386 architecture is added for the
# latter) and the fonts and locale Japanese texts need; packages already
# present are left alone.
#
# vex_wine_prefix DIR [null]: makes (once) a 64-bit Wine prefix in DIR that
# shows Japanese texts, and exports WINEPREFIX and friends. With "null" the
# prefix uses Wine's null graphics driver: windows, dialogs and GDI work
# without any X server, which is what the GUI tests use. The "wine" wrapper
# runs the x86_64 and the i686 programs in the same prefix.

VEX_WINE=${VEX_WINE:-/usr/bin/wine}
VEX_WINESERVER=${VEX_WINESERVER:-/usr/bin/wineserver}

vex_wine_prefix() {
  local dir=$1 graphics=${2:-}
  export WINEPREFIX=$dir
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko download prompts; the programs need neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -f "$dir/.vexilon-ready" ]; then return 0; fi
  mkdir -p "$dir"
  "$VEX_WINE" wineboot --init >/dev/null 2>&1
  "$VEX_WINESERVER" -w
  local fonts="$dir/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/*.ttf "$fonts"/ 2>/dev/null || true
  local reg
  reg=$(mktemp --suffix=.reg)
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
    echo '"Managed"="N"'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    echo '"SimSun"="Noto Sans CJK JP"'
    echo '"MS UI Gothic"="Noto Sans CJK JP"'
    if [ "$graphics" = null ]; then
      echo
      echo '[HKEY_CURRENT_USER\Software\Wine\Drivers]'
      echo '"Graphics"="null"'
    fi
  } >"$reg"
  "$VEX_WINE" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
  "$VEX_WINESERVER" -w
  rm -f "$reg"
  touch "$dir/.vexilon-ready"
}

# The Windows path of a Unix path (Wine maps / to drive Z:).
winepath_of() {
  local path
  path=$(readlink -f "$1")
  echo "Z:${path//\//\\}"
}

# Japanese texts need a Japanese locale on the Unix side.
vex_wine_locale() {
  if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    export LANG=ja_JP.UTF-8
  else
    export LANG=C.UTF-8
  fi
}

# vex_install PACKAGE...: installs those of the packages that are missing.
vex_install() {
  local missing=() p sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null |
      grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [[ " ${missing[*]}" == *:i386* ]] &&
      ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y \
      --no-install-recommends "${missing[@]}"
  fi
}

vex_windows_tools() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  vex_install cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 \
    wine wine64 wine32:i386 fonts-wine fonts-noto-cjk locales
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    $sudo locale-gen >/dev/null
  fi
}

# lpstat -r answers 0 either way; its text says whether the scheduler runs.
vex_cups_running() {
  LC_ALL=C lpstat -r 2>/dev/null | grep -qx 'scheduler is running'
}

# vex_pdf_printer: installs CUPS, its PDF printer and pdftoppm (and the
# 32-bit CUPS library the i686 Wine needs to see the printers), starts the
# scheduler unless one runs (VEX_CUPSD_PID is then its process, for the
# caller to stop) and makes the cups-pdf queue "PDF" the default printer.
# Its PDF files land in $HOME/PDF.
vex_pdf_printer() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  vex_install cups cups-bsd printer-driver-cups-pdf poppler-utils libcups2:i386
  VEX_CUPSD_PID=
  if ! vex_cups_running; then
    $sudo cupsd -f &
    VEX_CUPSD_PID=$!
    for _ in $(seq 50); do
      vex_cups_running && break
      sleep 0.2
    done
  fi
  if ! lpstat -v PDF >/dev/null 2>&1; then
    $sudo lpadmin -p PDF -v cups-pdf:/ -E \
      -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
  fi
  $sudo lpadmin -d PDF
  mkdir -p "$HOME/PDF"
}
