#pragma once

#include <filesystem>
#include <string_view>

#include "platform/file.h"

// Where a preview extraction puts a found file.
namespace brinvale {

// The file a preview of `name` is written to in `folder`: documents and
// archives (the preview-document list) under their own name, made safe;
// audio and video as "tmp.avi"; pictures as "tmp.jpg". Empty when the data
// goes into the caller's buffer instead: any other extension, no extension,
// or a path of 260 characters or more.
std::filesystem::path PreviewTarget(std::string_view name, const std::filesystem::path& folder);

// Creates the target's folder, deletes an old file of that name and opens a
// new one for writing. Returns 0 or the system error.
int OpenPreviewFile(const std::filesystem::path& target, platform::UniqueHandle& out);

}  // namespace brinvale
