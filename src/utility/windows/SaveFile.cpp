#include "utility/SaveFile.h"

#include "utility/windows/Handles.h"

#include <algorithm>
#include <string>

namespace zlv {

bool SaveWholeFile(const std::string& path, std::string_view bytes)
{
    // Written beside the file and moved over it: a move within one folder replaces the
    // file at once, so a crash or a full disk leaves the old file whole.
    const std::string temporary = path + ".saving-" + std::to_string(GetCurrentProcessId());
    HANDLE raw = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    {
        const win::OwnedHandle file(raw);
        std::size_t at = 0;
        while (written && at < bytes.size()) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 20));
            DWORD wrote = 0;
            written = WriteFile(file.get(), bytes.data() + at, chunk, &wrote, nullptr) && wrote > 0;
            at += wrote;
        }
        written = written && FlushFileBuffers(file.get());
    }
    if (!written || !MoveFileExA(temporary.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace zlv
