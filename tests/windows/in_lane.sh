#!/bin/sh
# Runs a test command in the lane ctest gave it (its resource group "lanes"):
# the lane's own virtual display and Wine prefix, set up by scripts/test.sh.
# Without lanes the command runs in the environment as it is.
lane=${CTEST_RESOURCE_GROUP_0_LANES:-}
lane=${lane#id:}
lane=${lane%%,*}
case "$lane" in
  ''|*[!0-9]*) ;;
  *)
    eval "DISPLAY=\${ZENTRIK_LANE${lane}_DISPLAY:-\$DISPLAY}"
    eval "WINEPREFIX=\${ZENTRIK_LANE${lane}_PREFIX:-\$WINEPREFIX}"
    export DISPLAY WINEPREFIX
    ;;
esac
exec "$@"
