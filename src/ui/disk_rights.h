#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "app/scan_source.h"
#include "ui/ui_context.h"

class QWidget;

namespace brinvale::ui {

// Opens whole disk `diskNumber` for reading and closes it again; 0 or the
// system error.
using DiskOpener = std::function<int(int diskNumber)>;
int TryOpenDisk(int diskNumber);

// What the user is told when the disk `device` may not be read: how to
// start the program with the rights to read disks.
std::string DiskRightsMessage(const std::filesystem::path& device);

// Before a partition is scanned or copied: opens its disk through `open`
// (empty: TryOpenDisk), and when that is refused (5) shows
// DiskRightsMessage in an error box owned by `owner`. An image needs no
// rights and is not opened. Returns the open's result; 0 for an image.
int CheckDiskRights(const ScanSource& source, const UiContext& context, QWidget* owner,
                    const DiskOpener& open = {});

}  // namespace brinvale::ui
