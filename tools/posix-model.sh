#!/bin/sh
# Compiler and link launcher for the test programs: runs the posix-thread-model
# driver in place of the win32 one that CMake names (any other tool runs as it
# is). GoogleTest needs std::mutex, which the win32 model lacks; what ships
# never goes through here.
tool=$1
shift
case "$tool" in
  *-win32) exec "${tool%-win32}-posix" "$@" ;;
  *) exec "$tool" "$@" ;;
esac
