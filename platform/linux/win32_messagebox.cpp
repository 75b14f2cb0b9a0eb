// MessageBoxA on Linux: the box goes to standard error and is answered with OK.
#include "win32_messagebox.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "platform_records.h"

namespace {
std::mutex boxesMutex;
std::vector<linux_platform::MessageBoxRecord> boxes;
}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    linux_platform::MessageBoxRecord record;
    record.owner = owner;
    record.text = text != nullptr ? text : "";
    record.caption = caption != nullptr ? caption : "Error";  // the caption Windows shows for null
    record.type = type;
    std::lock_guard<std::mutex> lock(boxesMutex);
    std::fprintf(stderr, "%s: %s\n", record.caption.c_str(), record.text.c_str());
    std::fflush(stderr);
    boxes.push_back(record);
    return IDOK;
}

namespace linux_platform {

std::vector<MessageBoxRecord> messageBoxes() {
    std::lock_guard<std::mutex> lock(boxesMutex);
    return boxes;
}

void clearMessageBoxes() {
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.clear();
}

}  // namespace linux_platform
