// Windows stand-in for one of the controls the installer copies and registers with regsvr32.
// Built once per control: PULSARO_CONTROL_NAME ("MSWINSCK") and PULSARO_CONTROL_CLSID (the
// control's fixed class id, with braces) say which one. Registration is per user, under
// HKEY_CURRENT_USER\Software\Classes, so that it needs no elevation:
//   PulsaroStandin.<name>\CLSID            = <class id>
//   CLSID\<class id>\InprocServer32        = full path of this file

// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <olectl.h>

#include <string>

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kProgId[] = L"PulsaroStandin." PULSARO_CONTROL_NAME;
constexpr wchar_t kClassId[] = L"" PULSARO_CONTROL_CLSID;

std::wstring classesKey(const std::wstring& relative) {
    return kClasses + relative;
}
std::wstring classIdKey() {
    return classesKey(std::wstring(L"CLSID\\") + kClassId);
}

std::wstring ownPath() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&ownPath), &self)) {
        return {};
    }
    // The call truncates silently when the buffer is too small, so grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

LSTATUS setDefault(const std::wstring& key, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, value.c_str(), bytes);
}

// Removing what is not there succeeds: unregistering twice, or before registering, is harmless.
LSTATUS removeTree(const std::wstring& key) {
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT result(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

}  // namespace

STDAPI DllRegisterServer() {
    const std::wstring path = ownPath();
    if (path.empty()) return SELFREG_E_CLASS;
    LSTATUS status = setDefault(classesKey(kProgId) + L"\\CLSID", kClassId);
    if (status == ERROR_SUCCESS) status = setDefault(classIdKey() + L"\\InprocServer32", path);
    return result(status);
}

STDAPI DllUnregisterServer() {
    const LSTATUS status = removeTree(classesKey(kProgId));
    const LSTATUS classStatus = removeTree(classIdKey());
    return result(status != ERROR_SUCCESS ? status : classStatus);
}
