#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <span>

// Bytes shown as text: UTF-8 when they are valid UTF-8, else the Windows
// Western code page's letters; NUL and other control bytes but tab and line
// ends show as ".".
namespace brinvale::preview {

QString BytesAsText(std::span<const uint8_t> bytes);

// The first `limit` bytes of a file as text (empty when it cannot be read).
QString FileHeadText(const std::filesystem::path& path, size_t limit = 8192);

}  // namespace brinvale::preview
