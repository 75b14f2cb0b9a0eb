// The Linux layer's modal dialog: a window object per control, messages delivered synchronously to
// the dialog procedure, combo boxes that keep their items unsorted, as CBS_SORT is not set.
#include "win32_dialog.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "dialog_records.h"

namespace {

enum class Kind { Dialog, Button, ComboBox };

struct Window {
    Kind kind = Kind::Button;
    int id = 0;
    bool enabled = true;
    // Combo box.
    std::vector<std::string> items;
    int selection = CB_ERR;
    // Dialog.
    DLGPROC procedure = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    std::vector<std::unique_ptr<Window>> children;
};

struct DialogState {
    std::mutex mutex;
    std::set<const Window*> live;
    std::vector<linux_platform::DialogRecord> records;
    linux_platform::DialogHook hook;
};

DialogState& state() {
    static DialogState dialogs;
    return dialogs;
}

Window* lookup(HWND handle) {
    auto* window = reinterpret_cast<Window*>(handle);
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().live.count(window) != 0 ? window : nullptr;
}

HWND handleOf(Window* window) {
    return reinterpret_cast<HWND>(window);
}

// The controls of dialog resource 101, in template order.
std::unique_ptr<Window> buildDialog(DLGPROC procedure) {
    auto dialog = std::make_unique<Window>();
    dialog->kind = Kind::Dialog;
    dialog->procedure = procedure;
    const struct {
        int id;
        Kind kind;
    } controls[] = {{IDOK, Kind::Button},  {IDCANCEL, Kind::Button}, {-1, Kind::Button},
                    {1000, Kind::Button},  {1001, Kind::Button},     {1002, Kind::Button},
                    {1003, Kind::ComboBox}};
    for (const auto& control : controls) {
        auto child = std::make_unique<Window>();
        child->kind = control.kind;
        child->id = control.id;
        dialog->children.push_back(std::move(child));
    }
    return dialog;
}

void registerWindows(Window* dialog, bool live) {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (live) {
        state().live.insert(dialog);
        for (auto& child : dialog->children) state().live.insert(child.get());
    } else {
        state().live.erase(dialog);
        for (auto& child : dialog->children) state().live.erase(child.get());
    }
}

LRESULT comboMessage(Window& combo, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<int>(combo.items.size());
    const auto index = static_cast<int>(static_cast<intptr_t>(wParam));
    switch (message) {
        case CB_ADDSTRING:
            if (lParam == 0) return CB_ERR;
            combo.items.emplace_back(reinterpret_cast<const char*>(lParam));
            return count;
        case CB_GETCOUNT:
            return count;
        case CB_GETCURSEL:
            return combo.selection;
        case CB_SETCURSEL:
            // Out of range clears the selection and reports CB_ERR, as the system does.
            combo.selection = (index >= 0 && index < count) ? index : CB_ERR;
            return combo.selection;
        case CB_GETLBTEXTLEN:
            return (index >= 0 && index < count)
                       ? static_cast<LRESULT>(combo.items[static_cast<size_t>(index)].size())
                       : CB_ERR;
        case CB_GETLBTEXT: {
            if (index < 0 || index >= count || lParam == 0) return CB_ERR;
            const std::string& text = combo.items[static_cast<size_t>(index)];
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
            return static_cast<LRESULT>(text.size());
        }
        case CB_RESETCONTENT:
            combo.items.clear();
            combo.selection = CB_ERR;
            return 0;
        default:
            return 0;
    }
}

Window* child(Window* dialog, int id) {
    if (dialog == nullptr || dialog->kind != Kind::Dialog) return nullptr;
    for (auto& control : dialog->children) {
        if (control->id == id) return control.get();
    }
    return nullptr;
}

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam) {
    if (dialogProc == nullptr) return -1;
    std::unique_ptr<Window> dialog = buildDialog(dialogProc);
    Window* window = dialog.get();
    registerWindows(window, true);

    linux_platform::DialogRecord record;
    record.instance = instance;
    record.templateId = reinterpret_cast<uintptr_t>(templateName);
    record.parent = parent;
    record.initParam = initParam;
    record.initResult = dialogProc(handleOf(window), WM_INITDIALOG, 0, initParam) != FALSE;

    linux_platform::DialogHook hook;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        hook = state().hook;
    }
    if (hook) hook(handleOf(window));
    // The window goes away either way: after EndDialog the dialog manager destroys it, and a
    // hook that returned without ending it stands for the window being closed by other means.
    // Both deliver WM_DESTROY.
    dialogProc(handleOf(window), WM_DESTROY, 0, 0);
    if (!window->ended) window->result = 0;
    record.result = window->result;
    registerWindows(window, false);
    std::lock_guard<std::mutex> lock(state().mutex);
    state().records.push_back(record);
    return record.result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Window* window = lookup(dialog);
    if (window == nullptr || window->kind != Kind::Dialog) return FALSE;
    if (!window->ended) {
        window->ended = true;
        window->result = result;
    }
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    return handleOf(child(lookup(dialog), id));
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = lookup(handle);
    if (window == nullptr) return 0;
    switch (window->kind) {
        case Kind::Dialog:
            return window->procedure(handle, message, wParam, lParam);
        case Kind::ComboBox:
            return comboMessage(*window, message, wParam, lParam);
        case Kind::Button:
            return 0;
    }
    return 0;
}

BOOL WINAPI EnableWindow(HWND handle, BOOL enable) {
    Window* window = lookup(handle);
    if (window == nullptr) return FALSE;
    const bool wasDisabled = !window->enabled;
    window->enabled = enable != FALSE;
    return wasDisabled ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND handle) {
    Window* window = lookup(handle);
    return (window != nullptr && window->enabled) ? TRUE : FALSE;
}

namespace linux_platform {

void setDialogHook(DialogHook hook) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().hook = std::move(hook);
}

void clearDialogHook() {
    setDialogHook(nullptr);
}

std::vector<DialogRecord> dialogsShown() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().records;
}

void clearDialogs() {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().records.clear();
}

std::vector<std::string> dialogComboItems(HWND dialog, int id) {
    Window* combo = child(lookup(dialog), id);
    return combo != nullptr ? combo->items : std::vector<std::string>();
}

int dialogComboSelection(HWND dialog, int id) {
    Window* combo = child(lookup(dialog), id);
    return combo != nullptr ? combo->selection : CB_ERR;
}

bool dialogItemEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool dialogEnded(HWND dialog) {
    Window* window = lookup(dialog);
    return window != nullptr && window->ended;
}

INT_PTR dialogClick(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr || !IsWindowEnabled(button)) return FALSE;  // a disabled button is inert
    return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(button));
}

INT_PTR dialogPressEnter(HWND dialog) {
    return SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}

INT_PTR dialogPressEscape(HWND dialog) {
    return SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace linux_platform
