#!/usr/bin/env bash
# Succeeds when this machine can run 32-bit Windows programs under wine32.
# Some kernels are built or booted without 32-bit support (ia32_emulation=off);
# there the same code is tested as a 64-bit build under wine64 instead.
exec /usr/lib/wine/wine --version >/dev/null 2>&1
