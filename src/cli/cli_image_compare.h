#pragma once
// Two device images compared as the read results view shows them, for
// k8w-cli diff and program --verify.
#include <QStringList>

#include <cstdint>

namespace k8w::cli {

enum class CompareScope {
    // The view's fields without the build date and the checksum, and the key
    // slots: what a card and a device should agree on.
    Settings,
    // The same with the build date and the checksum, then every other byte
    // that differs: a device read back after a write.
    EveryByte,
};

// One line per difference: the view's control name (or "key P.S", or
// "byte N"), a tab, the value in `expected`, a tab, the value in `actual`.
// Both images are 585 bytes. Empty when nothing in the scope differs.
QStringList ImageDifferences(const std::uint8_t* expected, const std::uint8_t* actual, CompareScope scope);

} // namespace k8w::cli
