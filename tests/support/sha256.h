#pragma once

#include "common/sha256.h"

// The tests compare planted files with their fixture manifests by the
// program's own SHA-256.
namespace brinvale::test {
using brinvale::Sha256Hex;
}  // namespace brinvale::test
