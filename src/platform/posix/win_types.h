// The Windows base types, result codes and identifiers that the component and the device
// stack use, for Linux. Sizes follow the Windows data model (LONG and ULONG are 32 bits), so
// interface signatures mean the same on both targets. Include platform/com.h, not this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define WINAPI

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using HRESULT = std::int32_t;
using SIZE_T = std::size_t;

// Interfaces carry UTF-16 text on both targets.
using WCHAR = char16_t;
using OLECHAR = WCHAR;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LCID = std::uint32_t;

// A loaded module (DLL or shared object), as DllMain receives it.
using HINSTANCE = void*;
using HMODULE = void*;

// DllMain's reasons.
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPCLSID = CLSID*;

inline bool IsEqualGUID(REFGUID a, REFGUID b) noexcept {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) noexcept { return IsEqualGUID(a, b); }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) noexcept { return IsEqualGUID(a, b); }
inline bool operator==(REFGUID a, REFGUID b) noexcept { return IsEqualGUID(a, b); }

constexpr HRESULT MakeHresult(std::uint32_t code) noexcept { return static_cast<HRESULT>(code); }

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
constexpr HRESULT E_HANDLE = MakeHresult(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
constexpr HRESULT REGDB_E_READREGDB = MakeHresult(0x80040150u);
constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151u);
constexpr HRESULT REGDB_E_KEYMISSING = MakeHresult(0x80040152u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0u);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9u);
constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3u);
constexpr HRESULT CO_E_OBJNOTCONNECTED = MakeHresult(0x800401FDu);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHresult(0x80010106u);
constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009u);

// Class contexts.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                             CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Class-object registration flags and apartment models.
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;
constexpr DWORD REGCLS_MULTI_SEPARATE = 2;
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Marshaling contexts, as IMarshal passes them.
constexpr DWORD MSHCTX_LOCAL = 0;
constexpr DWORD MSHCTX_NOSHAREDMEM = 1;
constexpr DWORD MSHCTX_DIFFERENTMACHINE = 2;
constexpr DWORD MSHCTX_INPROC = 3;
constexpr DWORD MSHLFLAGS_NORMAL = 0;
