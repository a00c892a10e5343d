# Sourced by test.sh and scripts/sanitize.sh: the surroundings every test run gets. Qt's offscreen
# platform, a private runtime folder, and a state folder of the run's own, so the journals of the
# tests' windows and recorders are kept apart from the user's (none of the user's is found and
# offered for restoring by a window a test starts). Both folders go when the shell exits; a caller
# that needs more clean-up adds it to test_env_cleanup.
export QT_QPA_PLATFORM=offscreen
runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
export XDG_RUNTIME_DIR="$runtime_dir"
state_dir=$(mktemp -d)
export XDG_STATE_HOME="$state_dir"
test_env_cleanup=("$runtime_dir" "$state_dir")
trap 'rm -rf "${test_env_cleanup[@]}"' EXIT
