#pragma once

// The one way a file is written whole: the checkpoint, the roster, and every
// file the tool and the exam server write.

#include "definition/Fault.h"

#include <filesystem>
#include <functional>
#include <string_view>

class QIODevice;

namespace qd {

// Writes `path` whole or not at all. The contents go to a temporary file in
// the same folder (so the rename stays on one file system), which is flushed
// and synced to the disk, renamed over the old file, and the folder synced
// too, or a power cut may bring the old file back. A reader never sees half
// a file, and a failure leaves the old one as it was and no temporary file.
// A file replaced keeps its permission bits (the exam server may read the
// roster as another user); a new one gets 0666 less the umask. The fault's
// message is the reason, in UTF-8.
Status writeWholeFile(const std::filesystem::path& path, std::string_view bytes);

// The same for contents a writer puts into the device itself (an image's
// encoder); its false abandons the file.
Status writeWholeFile(const std::filesystem::path& path,
                      const std::function<bool(QIODevice&)>& fill);

// Syncs a folder's own data (the names in it) to the disk: a rename or an
// unlink is lost in a power cut until this is done.
Status syncFolder(const std::filesystem::path& dir);

} // namespace qd
