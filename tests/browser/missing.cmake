# Stands in for a browser test when what it needs (WHAT) is missing: it
# prints SKIPPED and the reason, which CTest counts as a skip, or, on CI
# (CI=true), which must run every browser test, fails.
if("$ENV{CI}" MATCHES "^(1|true|TRUE|yes)$")
  message(FATAL_ERROR "FAILED: ${WHAT} is missing, and CI must run the browser tests")
endif()
message("SKIPPED: ${WHAT} is missing; the browser tests did not run")
