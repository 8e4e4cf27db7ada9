#!/usr/bin/env bash
# Starts or ends the Wine session of the Windows tests in a build folder's prefix.
#   wine_session.sh start <prefix>   makes the prefix once (zh_TW: code page 950), then starts a
#                                    persistent wineserver and the prefix's services, detached
#                                    from the caller's output (ctest waits for every process that
#                                    holds its pipes, and Wine's services outlive the program
#                                    that started them)
#   wine_session.sh stop <prefix>    ends the wineserver and everything it runs
set -euo pipefail
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all LANG=zh_TW.UTF-8
case $action in
  start)
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      wineboot -i </dev/null >/dev/null 2>&1
      wineserver -w
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true  # one may be running already
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
