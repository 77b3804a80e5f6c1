// The type library that widl builds from the IDL, loaded under Wine without registering it:
// library attributes, the type infos in order, the class, the enumeration, and for every
// interface in it the function names, vtable offsets and parameter types against the C++
// declarations (interface_tables.h).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "interface_tables.h"
#include "platform/com_ptr.h"

// Type-library access needs the Windows headers that platform/com.h brings in first.
#include <oleauto.h>

namespace {

using platform::ComPtr;

// {00020430-0000-0000-C000-000000000046}, the standard OLE library.
constexpr GUID kStdOleLibrary{0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct BstrFree {
    void operator()(BSTR text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

std::string Narrow(const BSTR text) {
    std::string narrow;
    for (const OLECHAR* c = text; c != nullptr && *c != 0; ++c) {
        narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    }
    return narrow;
}

// Name and help string of a type info (index >= 0) or of the library (index -1).
std::pair<std::string, std::string> Documentation(ITypeLib* library, INT index) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    EXPECT_EQ(library->GetDocumentation(index, &name, &help, nullptr, nullptr), S_OK);
    const Bstr nameHolder(name), helpHolder(help);
    return {Narrow(name), Narrow(help)};
}

std::string MemberName(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    EXPECT_EQ(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr), S_OK);
    const Bstr holder(name);
    return Narrow(name);
}

std::string TypeInfoName(ITypeInfo* info) {
    return MemberName(info, MEMBERID_NIL);
}

// RAII views of the descriptions a type info lends out.
template <class Description, void (STDMETHODCALLTYPE ITypeInfo::*Release)(Description*)>
class Borrowed {
  public:
    Borrowed(ITypeInfo* info, Description* description) : info_(info), d_(description) {}
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
    ~Borrowed() {
        if (d_ != nullptr) (info_->*Release)(d_);
    }
    const Description* operator->() const { return d_; }
    explicit operator bool() const { return d_ != nullptr; }

  private:
    ITypeInfo* info_;
    Description* d_;
};
using TypeAttr = Borrowed<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDesc = Borrowed<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;
using VarDesc = Borrowed<VARDESC, &ITypeInfo::ReleaseVarDesc>;

TypeAttr AttributesOf(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attributes), S_OK);
    return TypeAttr(info, attributes);
}

class TypeLibraryTest : public testing::Test {
  protected:
    void SetUp() override {
        // The build copies the library next to this program.
        WCHAR path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
        std::wstring file(path, length);
        file.erase(file.find_last_of(L"\\/") + 1);
        file += L"VELDO_VORNProtocol.tlb";
        ASSERT_EQ(LoadTypeLibEx(file.c_str(), REGKIND_NONE, library_.put()), S_OK);
    }

    ComPtr<ITypeInfo> InfoOf(const GUID& guid) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(library_->GetTypeInfoOfGuid(guid, info.put()), S_OK);
        return info;
    }

    // How IDL spells a parameter type (the counterpart of interface_tables::TypeText). Names
    // of types from other libraries are collected in externalLibraries_.
    std::string TypeText(ITypeInfo* info, const TYPEDESC& type) {
        switch (type.vt) {
            case VT_I4:
                return "long";
            case VT_UI4:
                return "unsigned long";
            case VT_UI1:
                return "unsigned char";
            case VT_LPWSTR:
                return "LPWSTR";
            case VT_UNKNOWN:
                return "IUnknown*";
            case VT_HRESULT:
                return "HRESULT";
            case VT_PTR:
                return TypeText(info, *type.lptdesc) + "*";
            case VT_USERDEFINED: {
                ComPtr<ITypeInfo> referenced;
                EXPECT_EQ(info->GetRefTypeInfo(type.hreftype, referenced.put()), S_OK);
                if (!referenced) return "?";
                ComPtr<ITypeLib> owner;
                UINT index = 0;
                EXPECT_EQ(referenced->GetContainingTypeLib(owner.put(), &index), S_OK);
                if (owner && owner.get() != library_.get()) {
                    TLIBATTR* attributes = nullptr;
                    EXPECT_EQ(owner->GetLibAttr(&attributes), S_OK);
                    if (attributes != nullptr) {
                        externalLibraries_.insert(attributes->guid);
                        owner->ReleaseTLibAttr(attributes);
                    }
                }
                return TypeInfoName(referenced.get());
            }
            default:
                return "vt " + std::to_string(type.vt);
        }
    }

    struct GuidLess {
        bool operator()(const GUID& a, const GUID& b) const {
            return std::memcmp(&a, &b, sizeof(GUID)) < 0;
        }
    };

    ComPtr<ITypeLib> library_;
    std::set<GUID, GuidLess> externalLibraries_;
};

TEST_F(TypeLibraryTest, LibraryAttributes) {
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_VELDO_VORNPROTOCOLLib));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x409u);
    EXPECT_EQ(attributes->syskind, SYS_WIN64);
    library_->ReleaseTLibAttr(attributes);

    const auto [name, help] = Documentation(library_.get(), -1);
    EXPECT_EQ(name, "VELDO_VORNPROTOCOLLib");
    EXPECT_EQ(help, "VELDO_VORNProtocol 1.0 Type Library");
}

TEST_F(TypeLibraryTest, TypeInfosInLibraryOrder) {
    struct Entry {
        const char* name;
        TYPEKIND kind;
        const char* help;
        GUID guid;
    };
    // widl always writes a base interface ahead of the first interface derived from it, so
    // IVELDO_ReceiveMessage comes before IVELDO_ProtocolMessage.
    const Entry expected[] = {
        {"CoVELDO_VORNProtocol", TKIND_COCLASS, "VORNProtocol Class", CLSID_VORNProtocol},
        {"IVELDO_ProtocolComms", TKIND_INTERFACE, "IVELDO_ProtocolComms interface",
         IID_IVELDO_ProtocolComms},
        {"IVELDO_DeviceInfo", TKIND_INTERFACE, "IVELDO_DeviceInfo Interface",
         IID_IVELDO_DeviceInfo},
        {"IVELDO_ReceiveMessage", TKIND_INTERFACE, "IVELDO_ReceiveMessage interface",
         IID_IVELDO_ReceiveMessage},
        {"IVELDO_ProtocolMessage", TKIND_INTERFACE, "IVELDO_ProtocolMessage interface",
         IID_IVELDO_ProtocolMessage},
        {"_tagRetryMethod", TKIND_ENUM, "", GUID{}},
        {"IVELDO_NetworkMessage", TKIND_INTERFACE, "IVELDO_NetworkMessage interface",
         IID_IVELDO_NetworkMessage},
    };
    ASSERT_EQ(library_->GetTypeInfoCount(), std::size(expected));
    for (UINT i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        const auto [name, help] = Documentation(library_.get(), static_cast<INT>(i));
        EXPECT_EQ(name, expected[i].name);
        EXPECT_EQ(help, expected[i].help);
        TYPEKIND kind{};
        ASSERT_EQ(library_->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, expected[i].kind);

        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library_->GetTypeInfo(i, info.put()), S_OK);
        const TypeAttr attributes = AttributesOf(info.get());
        ASSERT_TRUE(attributes);
        EXPECT_TRUE(IsEqualGUID(attributes->guid, expected[i].guid));
        // Custom interfaces: neither dual nor for automation.
        EXPECT_EQ(attributes->wTypeFlags &
                      (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
                  0);
    }

    ComPtr<ITypeInfo> absent;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(IID_IVELDO_RuntimeInformation, absent.put()),
              TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibraryTest, ClassListsOnlyTheLayerContractAsDefault) {
    const auto coclass = InfoOf(CLSID_VORNProtocol);
    ASSERT_TRUE(coclass);
    const TypeAttr attributes = AttributesOf(coclass.get());
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE((attributes->wTypeFlags & TYPEFLAG_FCANCREATE) != 0);
    ASSERT_EQ(attributes->cImplTypes, 1);

    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, implemented.put()), S_OK);
    const TypeAttr implementedAttributes = AttributesOf(implemented.get());
    ASSERT_TRUE(implementedAttributes);
    EXPECT_TRUE(IsEqualGUID(implementedAttributes->guid, IID_IVELDO_ProtocolComms));
}

TEST_F(TypeLibraryTest, RetryMethodNamesAndValues) {
    ComPtr<ITypeInfo> enumeration;
    ASSERT_EQ(library_->GetTypeInfo(5, enumeration.put()), S_OK);
    const TypeAttr attributes = AttributesOf(enumeration.get());
    ASSERT_TRUE(attributes);
    ASSERT_EQ(attributes->typekind, TKIND_ENUM);

    const std::pair<const char*, _tagRetryMethod> expected[] = {
        {"rm_NONE", rm_NONE},
        {"rm_CHECKSUMONLY", rm_CHECKSUMONLY},
        {"rm_TIMEOUTONLY", rm_TIMEOUTONLY},
        {"rm_BOTH", rm_BOTH}};
    ASSERT_EQ(attributes->cVars, std::size(expected));
    for (UINT i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].first);
        VARDESC* raw = nullptr;
        ASSERT_EQ(enumeration->GetVarDesc(i, &raw), S_OK);
        const VarDesc variable(enumeration.get(), raw);
        EXPECT_EQ(MemberName(enumeration.get(), variable->memid), expected[i].first);
        ASSERT_EQ(variable->varkind, VAR_CONST);
        VARIANT value;
        VariantInit(&value);
        ASSERT_EQ(VariantChangeType(&value, variable->lpvarValue, 0, VT_I4), S_OK);
        EXPECT_EQ(V_I4(&value), static_cast<LONG>(expected[i].second));
    }
}

TEST_F(TypeLibraryTest, InterfacesMatchTheCppDeclarations) {
    for (const auto& table : interface_tables::LayerInterfaceTables()) {
        if (!table.inTypeLibrary) continue;
        SCOPED_TRACE(table.name);
        const auto info = InfoOf(table.iid);
        ASSERT_TRUE(info);
        EXPECT_EQ(TypeInfoName(info.get()), table.name);
        const TypeAttr attributes = AttributesOf(info.get());
        ASSERT_TRUE(attributes);
        EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
        EXPECT_EQ(attributes->cbSizeVft, table.vtableSize);
        ASSERT_EQ(attributes->cFuncs, table.methods.size());

        ASSERT_EQ(attributes->cImplTypes, 1);
        HREFTYPE baseReference = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &baseReference), S_OK);
        ComPtr<ITypeInfo> base;
        ASSERT_EQ(info->GetRefTypeInfo(baseReference, base.put()), S_OK);
        EXPECT_EQ(TypeInfoName(base.get()), table.baseName);

        for (UINT i = 0; i < table.methods.size(); ++i) {
            const auto& method = table.methods[i];
            SCOPED_TRACE(method.name);
            FUNCDESC* raw = nullptr;
            ASSERT_EQ(info->GetFuncDesc(i, &raw), S_OK);
            const FuncDesc function(info.get(), raw);
            EXPECT_EQ(MemberName(info.get(), function->memid), method.name);
            EXPECT_EQ(function->oVft, method.vtableOffset);
            EXPECT_EQ(function->funckind, FUNC_PUREVIRTUAL);
            EXPECT_EQ(function->invkind, INVOKE_FUNC);
            EXPECT_EQ(function->callconv, CC_STDCALL);
            EXPECT_EQ(TypeText(info.get(), function->elemdescFunc.tdesc), "HRESULT");
            ASSERT_EQ(static_cast<std::size_t>(function->cParams), method.parameterTypes.size());
            for (SHORT p = 0; p < function->cParams; ++p) {
                EXPECT_EQ(TypeText(info.get(), function->lprgelemdescParam[p].tdesc),
                          method.parameterTypes[static_cast<std::size_t>(p)])
                    << "parameter " << p;
            }
        }
    }
    // IUnknown and GUID come from the standard OLE library and from nowhere else.
    EXPECT_EQ(externalLibraries_.size(), 1u);
    EXPECT_EQ(externalLibraries_.count(kStdOleLibrary), 1u);
}

}  // namespace
