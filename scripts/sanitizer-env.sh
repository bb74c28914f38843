# Sourced by scripts/fuzz.sh and .ci/run: how the ASan + UBSan programs report. Every finding
# stops the program with a failing status. Leak detection stays at its default (on); only the
# test programs that host GTK, WebKitGTK and libmpv turn it off for themselves, in code
# (platform/toolkit_sanitizer_options.h says why), so it is not set here where it would override that.
export ASAN_OPTIONS="halt_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
