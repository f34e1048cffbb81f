#!/bin/sh
# The build and test steps of `make mutate`. A fault planted in a Windows source
# (*_windows.cpp) changes nothing in the Linux build, so while one is planted the steps also
# build the Windows executables and run the command-line tests against them under wine, as CI
# does; every other fault is built and tested natively. A test's limit is well above the 30
# seconds each program run may take, so a fault that makes a run hang fails that row.
#   tests/mutant_step.sh build|test LINUX_BUILD WINDOWS_BUILD
set -eu
step=$1 linux=$2 windows=$3
planted_in_windows_source=$(git diff --name-only -- '*_windows.cpp')
case $step in
  build)
    cmake --build "$linux" -j2
    if [ -n "$planted_in_windows_source" ]; then
      cmake --build "$windows" -j2 --target corvane pellux
    fi
    ;;
  test)
    if [ -n "$planted_in_windows_source" ]; then
      sh tests/windows_cli_tests.sh "$linux" "$windows"
    else
      ctest --test-dir "$linux" -j2 --timeout 120
    fi
    ;;
esac
