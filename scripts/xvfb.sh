# A private X server for the scripts that run the programs in a window. Xvfb picks a free display number
# itself (-displayfd) and writes it once it accepts connections, so runs side by side never share a server
# and nothing has to poll for it. Sets `display` (":N") and `xvfb` (the server's process id); the caller
# stops the server.
#   source scripts/xvfb.sh; startXvfb WxH || exit 1
startXvfb() {
  local numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [[ -s $numberFile ]] && break
    sleep 0.1
  done
  display=:$(<"$numberFile")
  rm -f "$numberFile"
  [[ $display != : ]] || { echo "Xvfb did not start within 10 s" >&2; return 1; }
}
