# Sourced from bash: this prefix extends no other, so its setup is its local
# setup.
. "$(builtin cd "$(dirname "${BASH_SOURCE[0]}")" > /dev/null && pwd)/local_setup.bash"
