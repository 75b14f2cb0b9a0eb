// MessageBoxA of the Linux stand-in: nobody is there to read the box, so it is recorded for the
// tests and answered at once, as if the user had pressed OK.
#include "win32_messagebox.h"

#include <mutex>
#include <vector>

#include "standin.h"

namespace {
std::mutex boxesMutex;
std::vector<standin::MessageBoxRecord> boxes;
}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    standin::MessageBoxRecord record;
    record.owner = owner;
    record.text = text != nullptr ? text : "";
    record.caption = caption != nullptr ? caption : "Error";  // the caption Windows shows for null
    record.type = type;
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.push_back(record);
    return IDOK;
}

namespace standin {

std::vector<MessageBoxRecord> messageBoxes() {
    std::lock_guard<std::mutex> lock(boxesMutex);
    return boxes;
}

void clearMessageBoxes() {
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.clear();
}

}  // namespace standin
