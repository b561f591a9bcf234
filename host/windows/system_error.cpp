#include "system_error.h"

#include "wide.h"

namespace pulsaro {

std::string hostReason(DWORD error) {
    wchar_t* text = nullptr;
    const HMODULE wininet = GetModuleHandleW(L"wininet.dll");
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_IGNORE_INSERTS | (wininet ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    const DWORD length =
        FormatMessageW(flags, wininet, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : narrow(message);
}

OpResult systemFailure(const FailureOf& fail, DWORD error, std::string_view where) {
    std::string reason(where);
    if (!reason.empty()) reason.append(": ");
    reason.append(hostReason(error));
    return fail(std::move(reason), ErrorCode::system(static_cast<long>(error)));
}

}  // namespace pulsaro
