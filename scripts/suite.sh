# Sourced by the scripts that build and run the test suite: the two builds
# (plain Release and AddressSanitizer/UndefinedBehaviorSanitizer) and what
# the tests need around them. Expects $root.

build_release() {
  cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
    -DKORVIX_WERROR=ON >/dev/null
  cmake --build "$root/build-test" -j"$(nproc)"
}

build_sanitized() {
  cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=ON -DKORVIX_BENCH=OFF -DKORVIX_WERROR=ON -DKORVIX_SANITIZE=ON >/dev/null
  cmake --build "$root/build-asan" -j"$(nproc)"
}

# Headless widgets and web engine; the engine's start-up dump silenced.
export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="qt.webenginecontext.info=false"
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

# For the suite in the sanitized build.
sanitizer_options() {
  # Chromium inside Qt WebEngine frees some of its objects through a base
  # class of another size; that check would stop every web test in engine code.
  export ASAN_OPTIONS="new_delete_type_mismatch=0"
  # An absolute path: the tests start the program as a child, which inherits it.
  export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp"
  export UBSAN_OPTIONS="print_stacktrace=1"
}
