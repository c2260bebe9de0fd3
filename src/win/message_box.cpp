#include "win/message_box.h"

#include "resources/resource_ids.h"

std::string LoadResourceString(UINT id, const char* fallback)
{
    char buffer[512];
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string(fallback);
}

std::string LoadMessageText(DWORD id, const char* fallback)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        GetModuleHandleA(nullptr), id, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0 || !text) {
        return fallback;
    }
    std::string result(text, length);
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result;
}

int ShowNote(HWND owner, const std::string& text, UINT type)
{
    const std::string caption = LoadResourceString(IDS_NOTE, "Note");
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}
