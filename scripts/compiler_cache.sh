# Sourced by the build scripts: compile through ccache when it is there, with
# paths taken relative to the checkout so that another clone of the same
# sources finds the same cache entries.
cache_flags=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD"
  # Debug builds would otherwise hash the build folder's absolute path.
  export CCACHE_NOHASHDIR=1
  cache_flags=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
