# Sourced from bash: the prefix is the directory this script lies in,
# wherever the prefix was moved.

if [ -n "${COLCON_CURRENT_PREFIX:-}" ]; then
  . "$COLCON_CURRENT_PREFIX/local_setup.sh"
else
  _brisvane_here="$(builtin cd "$(dirname "${BASH_SOURCE[0]}")" > /dev/null && pwd)"
  COLCON_CURRENT_PREFIX="$_brisvane_here"
  . "$_brisvane_here/local_setup.sh"
  unset COLCON_CURRENT_PREFIX _brisvane_here
fi
